// One connected device's description model: everything a connection builds
// from the description file, owned by one object so that nothing is global
// and tests may build as many sessions as they like.
//
// The session owns the loaded description (loader binding, document block,
// object index), the symbol table, the method engine (whose model it is),
// and the parts that work on them. Connecting loads a description and
// registers its variables; disconnecting clears it all:
//
//   Session session(ui);                 // program folder of the executable
//   if (session.loadDescription(path)) session.registerVariables();
//   const EddNode* table = session.description().roleObject(Role::ParameterTable, userType);
//   session.setCommunication(&links, CommunicationType::Profibus);
//   session.menuTransfer().upload(session.description().findObject(...));
//   session.clear();
//
// Variable transfer is the variables' read hook: a display text asked for
// fresh reads a variable still in its initial state from the device.
//
// Used from one thread at a time: the user-interface thread, or the worker of
// a modal progress dialog while that thread waits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "methods/engine.h"
#include "methods/model.h"
#include "model/attributes.h"
#include "model/block_directory.h"
#include "model/commands.h"
#include "model/communication.h"
#include "model/description.h"
#include "model/menu_transfer.h"
#include "model/menus.h"
#include "model/symbol_table.h"
#include "model/transfer.h"
#include "model/value_dialogs.h"
#include "model/variables.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::model {

class Session : public methods::MethodModel {
 public:
  // programFolder ends with '/'; the loader is <programFolder>Driver/Lirrand.so.
  Session(ui::UserInterface& ui, std::string programFolder);
  // The folder of the running executable.
  explicit Session(ui::UserInterface& ui);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Binds the loader and reads the description (see Description::load).
  // Whatever was loaded before is cleared first, symbol table included.
  bool loadDescription(const std::string& path);
  // Registers every variable with its initial value (after a load).
  void registerVariables();
  // Frees the description, empties the symbol table, resets the engine.
  void clear();

  ui::UserInterface& ui() { return ui_; }
  Description& description() { return description_; }
  const Description& description() const { return description_; }
  SymbolTable& symbols() { return symbols_; }
  methods::MethodEngine& engine() { return engine_; }
  Attributes& attributes() { return attributes_; }
  Variables& variables() { return variables_; }
  ValueDialogs& dialogs() { return dialogs_; }
  // Survives clear(): a connect that does not read the directory keeps it.
  BlockDirectory& blockDirectory() { return blockDirectory_; }
  Menus& menus() { return menus_; }
  Commands& commands() { return commands_; }
  Transfer& transfer() { return transfer_; }
  MenuTransfer& menuTransfer() { return menuTransfer_; }

  // The link transfers go through and the bus it speaks (see Transfer).
  void setCommunication(Communication* link, CommunicationType type) { transfer_.setCommunication(link, type); }

  // --- the method engine's view of the model ---
  std::string_view text(int32_t index) const override;
  // Quiet: the engine says itself what it missed.
  const EddNode* findObject(int32_t id) const override;
  std::optional<methods::Entry> variableValue(int32_t variableId) override;
  bool assignVariable(int32_t variableId, const methods::Entry& value) override;
  std::optional<int32_t> resolveReference(const EddNode& reference) override;

 private:
  ui::UserInterface& ui_;
  Description description_;
  SymbolTable symbols_;
  methods::MethodEngine engine_;
  Attributes attributes_;
  Variables variables_;
  ValueDialogs dialogs_;
  BlockDirectory blockDirectory_;
  Menus menus_;
  Commands commands_;
  Transfer transfer_;
  MenuTransfer menuTransfer_;
};

}  // namespace tavrin::model
