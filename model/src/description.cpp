#include "model/description.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "messages.h"
#include "ui/user_interface.h"

namespace tavrin::model {

std::string_view roleName(Role role, int userType) {
  if (userType != kSpecialist && userType != kMaintenance) return {};
  const bool specialist = userType == kSpecialist;
  switch (role) {
    case Role::ParameterTable:
      return specialist ? "Table_Main_Specialist" : "Table_Main_Maintenance";
    case Role::MainMenu:
      return specialist ? "Menu_Main_Specialist" : "Menu_Main_Maintenance";
    case Role::CalibrationMenu:
      return specialist ? "Cali_Main_Specialist" : "Cali_Main_Maintenance";
  }
  return {};
}

namespace {

bool fileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

Description::Description(ui::UserInterface& ui, std::string programFolder)
    : ui_(ui), programFolder_(std::move(programFolder)), block_(std::make_unique<EddBlock>()) {
  std::memset(block_.get(), 0, sizeof(EddBlock));
}

Description::~Description() { clear(); }

// The library is bound afresh on every load. The new handle is opened
// before the old one goes, so the code that owns the current block stays
// loaded until the block has been handed back.
std::optional<Description::Binding> Description::bind() {
  const std::string path = programFolder_ + "Driver/Lirrand.so";
  if (!fileExists(path)) {
    ui_.errorBox(msg::NoLoader);
    return std::nullopt;
  }
  Binding b;
  if (b.library.open(path)) {
    b.read = b.library.function<int32_t(EddBlock*, const char*)>("Binary_ReadEDD");
    b.print = b.library.function<int32_t(EddBlock*, const char*)>("Binary_PrintEDD");
    b.deleteAll = b.library.function<void(EddBlock*)>("Binary_DeleteALL");
  }
  // A library without all three exports is as unusable as one that does
  // not load: calling through a missing export would crash.
  if (!b.read || !b.print || !b.deleteAll) {
    ui_.errorBox(msg::LoaderInit);
    return std::nullopt;
  }
  return b;
}

bool Description::load(const std::string& path) {
  std::optional<Binding> binding = bind();
  if (!binding) return false;
  if (!fileExists(path)) {
    ui_.errorBox(msg::withText(msg::FileNotFound, path));
    ui_.inform("Tavrin", path, ui::Icon::None);
    return false;
  }
  // The loader clears the block without freeing what it held.
  clear();
  binding_ = std::move(*binding);
  // A result of 0 is a refused file (or one without a single name): going
  // on with an empty description would only fail later and less clearly.
  if (binding_.read(block_.get(), path.c_str()) <= 0) {
    clear();
    ui_.errorBox(msg::withText(msg::FileNotRead, path));
    return false;
  }
  // The first object of an id in list order wins, as a walk of the lists finds it.
  for (int list = 0; list < kSearchedLists; ++list) {
    for (const EddElement* e = block_->heads[list].next; e; e = e->next) {
      if (e->id >= 0) objects_.emplace(e->id, e->root);
    }
  }
  return true;
}

void Description::clear() {
  if (onClear_) onClear_();
  objects_.clear();
  if (binding_.deleteAll) binding_.deleteAll(block_.get());
  std::memset(block_.get(), 0, sizeof(EddBlock));
}

int32_t Description::textCount() const { return block_->texts ? std::max(block_->textCount, 0) : 0; }

std::string_view Description::text(int64_t index) const {
  if (index < 0 || index >= textCount()) return {};
  const char* t = block_->texts[index];
  return t ? std::string_view(t) : std::string_view{};
}

int32_t Description::findId(std::string_view name) const {
  const int32_t count = textCount();
  for (int32_t i = 0; i < count; ++i) {
    const char* t = block_->texts[i];
    if (t && std::string_view(t) == name) return i;
  }
  return -1;
}

int32_t Description::idByName(std::string_view name) const {
  const int32_t id = findId(name);
  if (id < 0) ui_.errorBox(msg::withText(msg::NameNotFound, name));
  return id;
}

const EddNode* Description::findObject(int32_t id) const {
  if (id < 0) return nullptr;  // unnamed objects carry -1: no reference names them
  const auto found = objects_.find(id);
  return found == objects_.end() ? nullptr : found->second;
}

const EddNode* Description::objectById(int32_t id) const {
  const EddNode* root = findObject(id);
  if (!root) ui_.errorBox(msg::withNumber(msg::ObjectNotFound, id));
  return root;
}

const EddElement* Description::firstElement(int list) const {
  return list >= 0 && list < EDD_LIST_COUNT ? block_->heads[list].next : nullptr;
}

const EddNode* Description::roleObject(Role role, int userType) const {
  const std::string_view name = roleName(role, userType);
  if (name.empty()) {
    if (role == Role::ParameterTable) ui_.errorBox(msg::UserType);
    return nullptr;
  }
  const int32_t id = idByName(name);
  return id < 0 ? nullptr : objectById(id);
}

}  // namespace tavrin::model
