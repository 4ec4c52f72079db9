#include "model/session.h"

#include "messages.h"
#include "platform/program_folder.h"
#include "ui/user_interface.h"

namespace tavrin::model {

Session::Session(ui::UserInterface& ui, std::string programFolder)
    : ui_(ui),
      description_(ui, std::move(programFolder)),
      engine_(ui, *this),
      attributes_(ui, engine_, description_),
      variables_(ui, description_, symbols_, attributes_),
      dialogs_(ui, variables_),
      menus_(attributes_, variables_),
      commands_(attributes_, menus_, blockDirectory_),
      transfer_(attributes_, symbols_, variables_, commands_, menus_),
      menuTransfer_(ui, description_, symbols_, variables_, menus_, transfer_) {
  variables_.setReadHook([this](int32_t id) { return transfer_.readVariable(id); });
  // The symbol table, and what the variables keep, point into the trees:
  // they go whenever the trees do.
  description_.setClearHandler([this] {
    variables_.forget();
    symbols_.clear();
    engine_.reset();
  });
}

Session::Session(ui::UserInterface& ui) : Session(ui, platform::executableFolder()) {}

Session::~Session() {
  description_.setClearHandler({});
  description_.clear();
}

bool Session::loadDescription(const std::string& path) { return description_.load(path); }

void Session::registerVariables() {
  symbols_.clear();
  variables_.registerAll();
}

void Session::clear() { description_.clear(); }

std::string_view Session::text(int32_t index) const { return description_.text(index); }

const EddNode* Session::findObject(int32_t id) const { return description_.findObject(id); }

std::optional<methods::Entry> Session::variableValue(int32_t variableId) { return variables_.value(variableId); }

bool Session::assignVariable(int32_t variableId, const methods::Entry& value) {
  return variables_.assign(variableId, value);
}

std::optional<int32_t> Session::resolveReference(const EddNode& reference) {
  const auto id = attributes_.resolveObject(&reference);
  if (!id) return std::nullopt;
  if (!symbols_.find(*id)) {
    ui_.errorBox(msg::withText(msg::NotInSymbolTable, description_.nameById(*id)));
    return std::nullopt;
  }
  return id;
}

}  // namespace tavrin::model
