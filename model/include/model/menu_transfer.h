// Moving a menu's variables in bulk: the upload and download menus with
// their progress dialog, and menu processing (read, write, save to and
// restore from a configuration file).
//
// Upload and download run their reads and writes on the worker of a
// progress run of the user-interface seam, one progress step ("%d%%") per
// variable, and stop at the first failure or when cancel is asked for
// (between variables). A download first marks every listed variable
// pending (state 3) and then writes only those still pending, so two
// variables that share one request send it once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lirrand.h"

namespace tavrin::platform {
class KeyFile;
}

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::model {

class Description;
class Menus;
class SymbolTable;
class Transfer;
class Variables;

// Menu processing operations.
namespace process {
inline constexpr int32_t Read = 394;
inline constexpr int32_t Write = 395;
inline constexpr int32_t Save = 499;     // value texts into the configuration file
inline constexpr int32_t Restore = 500;  // value texts from the configuration file
inline constexpr int32_t Nothing = 501;

// Flags.
inline constexpr uint32_t OnlyChanged = 1;  // write only Changed variables; no pre- or post-actions
inline constexpr uint32_t KeepChanged = 4;  // a read skips Changed variables
}  // namespace process

class MenuTransfer {
 public:
  MenuTransfer(ui::UserInterface& ui, Description& description, SymbolTable& symbols, Variables& variables,
               Menus& menus, Transfer& transfer);

  // Reads every variable of the menu under the progress dialog. True unless
  // there is no menu, or the run was cancelled or a read failed. The menu's
  // post-read actions run only after a complete run.
  bool upload(const EddNode* menu, uint32_t flags = 0);
  // Writes the menu's variables under the progress dialog. True whenever
  // the menu exists; variables not written keep the pending state.
  bool download(const EddNode* menu, uint32_t flags = 0);
  // Runs an operation on every variable the menu's items stand for, without
  // a progress dialog; the first failure stops. Save and Restore use the
  // configuration file at configurationPath (section CONFIG_VARIABLES, the
  // variables' names as keys). 1 on success (also without a menu: said).
  int processMenu(int32_t operation, const EddNode* menu, uint32_t flags, const std::string& configurationPath = {});

 private:
  // Runs the menu's pre-actions under the wait cursor and lists its variables.
  std::vector<int32_t> prepare(const EddNode& menu, uint16_t preActions);
  int processVariable(int32_t operation, int32_t variableId, uint32_t flags, const std::string& configurationPath,
                      platform::KeyFile* saved);

  ui::UserInterface& ui_;
  Description& description_;
  SymbolTable& symbols_;
  Variables& variables_;
  Menus& menus_;
  Transfer& transfer_;
};

}  // namespace tavrin::model
