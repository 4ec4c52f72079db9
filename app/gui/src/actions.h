// Every command of the main window as one list: its text (menus and
// accessibility), the toolbar's shorter text, shortcuts, icon and the
// session command whose enabled and checked state it follows. The main
// window makes one QAction of each entry and dispatches on the id; a new
// command is a new line here and a case there.
#pragma once

#include <QKeySequence>
#include <QList>
#include <optional>
#include <span>

#include "app/commands.h"
#include "icons.h"

namespace tavrin::gui {

//  X(id, text, toolbar text, icon, session command or None)
#define TAVRIN_GUI_ACTIONS(X)                                                              \
  X(Connect, "Connect(&N)", "Connect", Connect, Connect)                                   \
  X(Export, "Export(&E)", "", None, Export)                                                \
  X(Import, "Import(&I)", "", None, Import)                                                \
  X(Exit, "Exit(&X)", "", None, Exit)                                                      \
  X(ToolBar, "Tool(&T)", "", None, None)                                                   \
  X(StatusBar, "Status(&S)", "", None, None)                                               \
  X(Parameter, "Parameter", "Para", Parameter, Parameter)                                  \
  X(Function, "Function", "Function", Function, Function)                                  \
  X(Calibration, "Calibration", "Trim", Calibration, Calibration)                          \
  X(Hart, "HART", "", None, Hart)                                                          \
  X(Profibus, "Profibus", "", None, Profibus)                                              \
  X(Modbus, "Modbus", "", None, Modbus)                                                    \
  X(AddressSetting, "Address setting", "", None, AddressSetting)                           \
  X(AddressPolling, "Address polling", "", None, AddressPolling)                           \
  X(ComSetting, "COM Setting", "", None, ComSetting)                                       \
  X(AddFile, "Add file", "", None, AddFile)                                                \
  X(ChangePassword, "Change password", "", None, ChangePassword)                           \
  X(About, "About...", "", Program, About)                                                 \
  X(Read, "Read", "Read", Read, Read)                                                      \
  X(Write, "Write", "Write", Write, Write)                                                  \
  X(Disconnect, "Disconnect", "Disconnect", Disconnect, Disconnect)                        \
  X(UpdateModified, "Update modified variables", "", None, UpdateModified)                 \
  X(UpdateAll, "Update all variables", "", None, UpdateAll)                                \
  X(Copy, "Copy", "", None, None)                                                          \
  X(Cut, "Cut", "", None, None)                                                            \
  X(Paste, "Paste", "", None, None)                                                        \
  X(CompareWithFile, "Compare with file...", "", None, Export)                             \
  X(BusMonitor, "Bus monitor", "", None, None)

enum class ActionId {
#define TAVRIN_GUI_ACTION_ID(id, text, tool, icon, command) id,
  TAVRIN_GUI_ACTIONS(TAVRIN_GUI_ACTION_ID)
#undef TAVRIN_GUI_ACTION_ID
};

#define TAVRIN_GUI_ACTION_COUNT(id, text, tool, icon, command) +1
inline constexpr size_t kActionCount = 0 TAVRIN_GUI_ACTIONS(TAVRIN_GUI_ACTION_COUNT);
#undef TAVRIN_GUI_ACTION_COUNT

struct ActionSpec {
  ActionId id;
  const char* text;
  const char* toolText;  // empty: not on the toolbar
  std::optional<IconId> icon;
  std::optional<app::Command> command;
};

std::span<const ActionSpec> actionSpecs();
const ActionSpec& actionSpec(ActionId id);

// Connect and Read have one accelerator each; the clipboard commands the
// three pairs of the grid (Ctrl+C and Ctrl+Insert, Ctrl+X and
// Shift+Delete, Ctrl+V and Shift+Insert).
QList<QKeySequence> shortcutsOf(ActionId id);

// Commands that show a check mark: the communication types, the views and
// the two bars of the View menu.
bool checkable(ActionId id);

// The toolbar, in its order; nothing stands for a separator.
std::span<const std::optional<ActionId>> toolBarLayout();

}  // namespace tavrin::gui
