// The device session: what the device window holds for one connection and
// every command that works on it, without any user-interface toolkit.
//
// It owns the links (and with them the bus address), the description model,
// the menu tree, the rows and the table. Front ends call the commands and
// draw the state; every message and question goes through the seam. One
// thread at a time.
//
//   DeviceSession session(ProgramFiles{folder}, ui, menus);
//   session.start();                 // communication type, drivers bound
//   if (session.connect()) draw(session.view().table());
//   session.shutdown();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/background_refresh.h"
#include "app/commands.h"
#include "app/configuration.h"
#include "app/device_lookup.h"
#include "app/links.h"
#include "app/menu_view.h"
#include "app/password.h"
#include "app/session_observer.h"
#include "builtins/builtins.h"
#include "model/session.h"

namespace tavrin::app {

// The two questions before a Write that would send the description's
// default values (nothing has been read yet).
inline constexpr std::string_view kDefaultDownloadWarning =
    "WARNING: Read operation has not been implemented. The default value will be downloaded to the transmitter!";
inline constexpr std::string_view kDefaultDownloadConfirmation =
    "WARNING: Please confirm to download default data to the transmitter again?";

using MenuAccessFactory = std::function<std::unique_ptr<MenuAccess>(model::Session&)>;

// The front end's batch calibration dialogs (calibration/), which the
// built-ins MY_Z7310MassLineTrim and MY_Z7310MassTempTrim open through the
// session; runs the dialog modally and returns true, or false when the front
// end has none.
using BatchCalibrationRunner = std::function<bool(builtins::BatchCalibration)>;

// The session is the host of the methods' built-ins: they are installed on
// its method engine, and MY_SET_ADDRESS and MY_SET_BAUD come back here.
class DeviceSession : public builtins::MethodHost {
 public:
  DeviceSession(const ProgramFiles& files, ui::UserInterface& ui, const MenuAccessFactory& menus);
  // The device window goes: the background refresh stops, both drivers are
  // unbound.
  ~DeviceSession() override;
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // --- life of the device window ---
  // Its client area is created: the communication type is read from com.ini
  // (an unknown one is reported and leaves no bus selected) and the Modbus
  // and then the Profibus driver are bound.
  void start();
  // The main window closes: refresh stopped, session reset, the Modbus port
  // and then the Profibus port closed.
  void shutdown();

  // Hooks told when the background refresh starts (filling the function
  // view) and stops (before every device operation); tests record them.
  void setBackgroundRefresh(std::function<void()> start, std::function<void()> stop);
  // Whether filling the function view starts the session's own refresh
  // (background_refresh.h). The window wants it; a command line that
  // refreshes only when asked (watch) does not. Off at first.
  void setAutomaticRefresh(bool on) { automaticRefresh_ = on; }
  // The refresh worker: its flags, its wait and its notifier. The front end
  // answers the notifier (worker thread) by calling applyRefreshChanges()
  // on the session's thread.
  BackgroundRefresh& backgroundRefresh() { return refresh_; }
  // Starts the refresh on the current table, whatever the view.
  void startRefresh();
  // Puts the cell changes the worker found into the table (columns 1 and 2,
  // with their row notices) and shows the messages of a read that failed
  // as one error box. The rows changed, in the order found.
  std::vector<int> applyRefreshChanges();
  // How the session and its links wait; tests record instead.
  void setPause(const Pause& pause);
  // The dialogs of the batch calibrations; without them the built-ins say
  // that there are none.
  void setBatchCalibrationRunner(BatchCalibrationRunner runner) { batchCalibration_ = std::move(runner); }

  // Front ends hear of every change of tree, table and command states
  // (session_observer.h). The observer must outlive the session or be
  // removed first.
  void addObserver(SessionObserver* observer) { menuView_->notices().add(observer); }
  void removeObserver(SessionObserver* observer) { menuView_->notices().remove(observer); }

  // --- state ---
  const ProgramFiles& files() const { return files_; }
  CommunicationType communicationType() const { return type_; }
  uint8_t busAddress() const { return links_.busAddress(); }
  bool connected() const { return connected_; }
  UserType userType() const { return userType_; }
  const std::string& descriptionPath() const { return descriptionPath_; }
  // What the last Profibus identification read (all zero before one).
  const Identification& identification() const { return identification_; }
  // The block directory the last device-table lookup read, if any.
  const std::optional<BlockDirectory>& blockDirectory() const { return blockDirectory_; }
  ViewMode viewMode() const { return view_; }
  const EddNode* currentMenu() const { return currentMenu_; }
  uint32_t flags() const { return flags_; }
  CommandState commandState() const { return {flags_, connected_, type_, view_}; }
  const MenuView& view() const { return *menuView_; }
  MenuView& view() { return *menuView_; }
  DeviceLinks& links() { return links_; }
  model::Session& model() { return model_; }

  // --- commands ---
  // True when a device is connected afterwards in the parameter view.
  bool connect();
  // The end of a connect once the description file is known: the user
  // type, loading and registering, the role check and the parameter view.
  // Without a bus (the links never started) it opens a description for
  // working offline; device transfers then fail as without a link.
  bool openDescription(const std::string& path);
  void disconnect();
  // View none, flags cleared, no user type, empty rows and tree, the
  // description freed with the symbol table and the method engine's state.
  void reset();
  // Modbus or Profibus from the Communication menu (only while not connected).
  void chooseCommunicationType(CommunicationType type);
  // A new bus address for com.ini under the current type.
  void storeBusAddress(int address);
  // Closes and reopens the port of the current type (new serial settings).
  void reopenPort();

  bool enterParameterView();
  bool enterFunctionView();
  bool enterCalibrationView();
  // The person selected tree item `item`.
  void selectTreeItem(int item);
  // The person expanded or collapsed tree item `item`; the next rebuild
  // that keeps the tree state keeps it so.
  void setTreeItemExpanded(int item, bool expanded) { menuView_->setTreeItemExpanded(item, expanded); }
  // A double-click on the table; row counted from 1 (0 is the header).
  // True when a method ran to success (and the view was refreshed) or a
  // sub-menu opened; false when the click was ignored or the method failed.
  bool doubleClick(int row, int column);
  // Whether a right-click at that column opens the table's context menu
  // ("Update modified variables", "Update all variables").
  bool contextMenuAt(int column) const;
  // The variable of table row `row` (counted from 1) in the function view
  // when it is a dynamic one, whose trend the front end may show; null
  // otherwise.
  const EddNode* dynamicVariableAt(int row);

  bool changePassword();

  // --- the parameter table's bulk transfers ---
  // Read: uploads the menu "download_variables" and shows the table again.
  // True when every variable was read.
  bool readAll();
  // Write and Update all variables: downloads "upload_variables" after the
  // questions (two of them while nothing has been read). True when the
  // menu was downloaded; a failed write has said so itself.
  bool writeAll();
  // Update modified variables: writes the Changed variables of
  // "upload_variables" without its actions.
  bool writeChanged();
  // Set by a successful Read, cleared by the session reset.
  bool hasRead() const { return readFlag_; }

  // --- the built-ins' host ---
  // The address of every further transfer, stored for the current type.
  void setBusAddress(uint8_t address) override;
  // A rate of the settings dialog's list is stored in com.ini and the port
  // of the current type reopened with it; any other is refused with an
  // error, since the next load of the settings would reset them all.
  bool setBaudRate(int32_t baudRate) override;
  // The batch calibration dialog through the front end's runner.
  bool runBatchCalibration(builtins::BatchCalibration which) override;

  // Every device operation and every rebuild of the table stops the
  // background refresh first.
  void stopRefresh();
  // Shows the current view again after its values changed: the tree rebuilt
  // keeping its state, the rows of the current menu, the table filled.
  void refreshView();
  // The parameter table from its root, its first tree item selected.
  void showParameterTable();

 private:
  // Brackets a command: the notices are held until the outermost command
  // ends, and a changed command state is told then.
  class Command {
   public:
    explicit Command(DeviceSession& session);
    ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

   private:
    DeviceSession& session_;
    HeldNotices held_;
  };

  void pause(int milliseconds);
  // Empties tree, rows and table and resets the session.
  void cleanup();
  const EddNode* role(model::Role role) const;
  void setView(ViewMode mode);
  bool enterView(ViewMode mode);
  void treeSelection(const EddNode* node, bool fromRestore);
  void fillTable(uint32_t flags);
  bool runMethod(const EddNode& method);
  void selectFirstTreeItem();
  const EddNode* namedMenu(std::string_view name) const;

  ProgramFiles files_;
  ui::UserInterface& ui_;
  // What the links and the model see of ui_: the refresh worker's
  // messages are kept for one box.
  RefreshSeam seam_{ui_};
  DeviceLinks links_;
  model::Session model_;
  builtins::Builtins builtins_{model_, this};
  std::unique_ptr<MenuAccess> menus_;
  std::unique_ptr<MenuView> menuView_;
  Pause pause_;
  std::function<void()> startRefresh_;
  std::function<void()> stopRefresh_;
  bool automaticRefresh_ = false;
  BackgroundRefresh refresh_;
  BatchCalibrationRunner batchCalibration_;

  CommunicationType type_ = CommunicationType::None;
  bool connected_ = false;
  UserType userType_ = UserType::None;
  std::string descriptionPath_;
  Identification identification_;
  std::optional<BlockDirectory> blockDirectory_;
  ViewMode view_ = ViewMode::None;
  const EddNode* currentMenu_ = nullptr;
  uint32_t flags_ = 0;
  bool readFlag_ = false;
  int commandDepth_ = 0;
  CommandState stateBefore_;
};

}  // namespace tavrin::app
