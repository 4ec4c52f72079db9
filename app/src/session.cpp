#include "app/session.h"

#include <algorithm>
#include <thread>

#include "app/serial_settings.h"

#include "edd/tags.h"
#include "ui/user_interface.h"

namespace tavrin::app {

using edd::Tag;
using model::Role;

DeviceSession::DeviceSession(const ProgramFiles& files, ui::UserInterface& ui, const MenuAccessFactory& menus)
    : files_(files),
      ui_(ui),
      links_(files, seam_),
      model_(seam_, files.folder),
      menus_(menus(model_)),
      refresh_(
          seam_, [this](int32_t id) { return model_.transfer().readVariable(id) == 1; },
          [this](int32_t id) {
            const auto text = model_.variables().format(id, false);
            return text ? std::pair{text->value, text->unit} : std::pair<std::string, std::string>{};
          }) {
  menuView_ = std::make_unique<MenuView>(model_, *menus_);
  menuView_->setRestoredSelectionHandler(
      [this](int item) { treeSelection(menuView_->tree().item(item).node, true); });
  builtins_.install();
  reset();
}

DeviceSession::Command::Command(DeviceSession& session) : session_(session), held_(session.menuView_->notices()) {
  if (session_.commandDepth_++ == 0) session_.stateBefore_ = session_.commandState();
}

DeviceSession::Command::~Command() {
  // Still inside the held notices: the state notice comes with the others.
  if (--session_.commandDepth_ == 0 && session_.commandState() != session_.stateBefore_)
    session_.menuView_->notices().commandStateChanged();
}

DeviceSession::~DeviceSession() {
  // The front end is going too: nobody to tell of the cleanup.
  menuView_->notices() = SessionNotices{};
  stopRefresh();
  cleanup();
  links_.unbind();
}

void DeviceSession::setBackgroundRefresh(std::function<void()> start, std::function<void()> stop) {
  startRefresh_ = std::move(start);
  stopRefresh_ = std::move(stop);
}

void DeviceSession::setPause(const Pause& pause) {
  pause_ = pause;
  links_.setPause(pause);
}

bool DeviceSession::runBatchCalibration(builtins::BatchCalibration which) {
  if (!batchCalibration_) return false;
  stopRefresh();
  return batchCalibration_(which);
}

void DeviceSession::stopRefresh() {
  if (refresh_.running() || refresh_.active()) {
    ui::WaitCursor busy(ui_);
    refresh_.stop();
  } else {
    refresh_.stop();  // joins a worker that ended by itself
  }
  if (stopRefresh_) stopRefresh_();
}

const EddNode* DeviceSession::dynamicVariableAt(int row) {
  const auto& rows = menuView_->rows();
  if (view_ != ViewMode::Function || row < 1 || static_cast<size_t>(row) > rows.size()) return nullptr;
  const Row& r = rows[static_cast<size_t>(row - 1)];
  if (r.kind != RowKind::Item || !r.node || r.node->tag != +Tag::Variable) return nullptr;
  return (model_.variables().classFlags(r.node) & model::kClassDynamic) ? r.node : nullptr;
}

void DeviceSession::startRefresh() {
  refresh_.start(refreshPlan(model_, menuView_->rows(), menuView_->table()));
}

std::vector<int> DeviceSession::applyRefreshChanges() {
  BackgroundRefresh::Taken taken = refresh_.takeChanges();
  std::vector<int> rows;
  for (CellChange& c : taken.changes) {
    menuView_->setCellTexts(c.row, std::move(c.value), std::move(c.unit));
    rows.push_back(c.row);
  }
  if (!taken.failure.empty()) {
    std::string text;
    for (const std::string& line : taken.failure) text += (text.empty() ? "" : "\n") + line;
    ui_.errorBox(text);
  }
  return rows;
}

void DeviceSession::pause(int milliseconds) {
  const std::chrono::milliseconds d(milliseconds);
  if (pause_)
    pause_(d);
  else
    std::this_thread::sleep_for(d);
}

void DeviceSession::start() {
  Command command(*this);
  menuView_->clear();
  flags_ = (flags_ & ~uint32_t{0x3E}) | kFlagConnect;
  type_ = readCommunicationType(files_.comIni());
  if (type_ == CommunicationType::None) ui_.errorBox("Error: The type of Communication is error!");
  links_.bind();
  model_.setCommunication(&links_, type_);
}

void DeviceSession::shutdown() {
  Command command(*this);
  ui::WaitCursor busy(ui_);
  stopRefresh();
  reset();
  links_.closePorts();
}

void DeviceSession::reset() {
  Command command(*this);
  setView(ViewMode::None);
  flags_ = 0;
  readFlag_ = false;
  userType_ = UserType::None;
  currentMenu_ = nullptr;
  // Rows and tree point into the description's trees: they go first.
  menuView_->clear();
  menuView_->dropSavedTree();
  model_.clear();
}

void DeviceSession::cleanup() { reset(); }

void DeviceSession::setView(ViewMode mode) {
  view_ = mode;
  model_.variables().setViewMode(mode);
}

const EddNode* DeviceSession::role(Role r) const {
  const std::string_view name = model::roleName(r, static_cast<int>(userType_));
  if (name.empty()) return nullptr;
  const int32_t id = model_.description().findId(name);
  return id < 0 ? nullptr : model_.description().findObject(id);
}

bool DeviceSession::connect() {
  if (connected_ &&
      !ui_.warningQuestion("WARNING: Are you sure to disconnect the transmitter and reconnet a new one?"))
    return false;
  Command command(*this);
  connected_ = false;
  descriptionPath_.clear();
  ui::WaitCursor busy(ui_);
  stopRefresh();
  cleanup();

  LookupResult found;
  switch (type_) {
    case CommunicationType::Modbus:
      links_.setBusAddress(readBusAddress(files_.comIni(), type_));
      if (!links_.modbus().open()) return false;
      found = modbusLookup(links_, files_, ui_);
      break;
    case CommunicationType::Profibus:
      links_.setBusAddress(readBusAddress(files_.comIni(), type_));
      if (!links_.profibus().open()) return false;
      found = profibusLookup(links_, files_, ui_);
      if (found.identification) identification_ = *found.identification;
      if (found.blockDirectory) blockDirectory_ = found.blockDirectory;
      break;
    case CommunicationType::None:
      break;
  }
  if (found.path.empty()) return false;
  return openDescription(found.path);
}

bool DeviceSession::openDescription(const std::string& path) {
  Command command(*this);
  const UserType chosen = chooseUserType(files_.passwordFile(), ui_);
  if (chosen == UserType::None) return false;
  if (!model_.loadDescription(path)) return false;
  model_.registerVariables();
  userType_ = chosen;
  if (!model_.description().roleObject(Role::ParameterTable, static_cast<int>(userType_))) {
    ui_.errorBox("Error: The current version of the software does not support this function!");
    cleanup();
    return false;
  }
  descriptionPath_ = path;
  enterParameterView();

  ui_.statusText("Status: Connected");
  if (role(Role::ParameterTable)) flags_ |= kFlagParameter;
  if (role(Role::MainMenu)) flags_ |= kFlagFunction;
  if (role(Role::CalibrationMenu)) flags_ |= kFlagCalibration;
  flags_ |= kFlagDisconnect;
  connected_ = true;
  return true;
}

void DeviceSession::disconnect() {
  if (connected_ && !ui_.warningQuestion("WARNING: Are you sure to quit?")) return;
  Command command(*this);
  stopRefresh();
  cleanup();
  connected_ = false;
  descriptionPath_.clear();
  ui_.statusText("Status: Disconnected");
}

void DeviceSession::chooseCommunicationType(CommunicationType type) {
  if (connected_) return;
  Command command(*this);
  if (type == CommunicationType::Modbus && type_ == CommunicationType::Profibus) {
    links_.profibus().close();
    links_.modbus().close();
    writeCommunicationType(files_.comIni(), type);
    type_ = type;
    model_.setCommunication(&links_, type_);
  } else if (type == CommunicationType::Profibus && type_ == CommunicationType::Modbus) {
    writeCommunicationType(files_.comIni(), type);
    type_ = type;
    model_.setCommunication(&links_, type_);
    links_.profibus().close();
    links_.modbus().close();
  }
}

void DeviceSession::storeBusAddress(int address) {
  if (type_ == CommunicationType::None) {
    ui_.errorBox("Error: The Communication protocol is error!");
    return;
  }
  app::storeBusAddress(files_.comIni(), type_, address);
}

void DeviceSession::reopenPort() {
  if (type_ == CommunicationType::None) {
    ui_.errorBox("Error: The Communication protocol is error!");
    return;
  }
  stopRefresh();
  links_.close(type_);
  links_.open(type_);
}

void DeviceSession::setBusAddress(uint8_t address) {
  // The worker reads at the links' address.
  stopRefresh();
  links_.setBusAddress(address);
  storeBusAddress(address);
}

bool DeviceSession::setBaudRate(int32_t baudRate) {
  if (std::find(kBaudRates.begin(), kBaudRates.end(), static_cast<uint32_t>(baudRate)) == kBaudRates.end()) {
    ui_.errorBox("Error: The baud rate " + std::to_string(baudRate) +
                 " is not one of 600, 1200, 2400, 4800, 9600, 19200 and 38400!");
    return false;
  }
  SerialSettings settings = loadSerialSettings(files_.comIni(), ui_);
  settings.baudRate = static_cast<uint32_t>(baudRate);
  if (!storeSerialSettings(files_.comIni(), settings)) {
    ui_.errorBox("Error: The file \"" + files_.comIni() + "\" cannot be written!");
    return false;
  }
  reopenPort();
  return true;
}

void DeviceSession::fillTable(uint32_t flags) {
  // The worker's rows are those of the table being replaced.
  refresh_.stop();
  menuView_->fill(flags);
  if (view_ != ViewMode::Function) return;
  if (automaticRefresh_) startRefresh();
  if (startRefresh_) startRefresh_();
}

void DeviceSession::selectFirstTreeItem() {
  if (menuView_->tree().empty()) return;
  menuView_->selectTreeItem(0);
  treeSelection(menuView_->tree().item(0).node, false);
}

namespace {

// How each view walks its rows and fills its table.
struct ViewLayout {
  Role role;
  uint32_t rowWalk;
  uint32_t fill;
};

ViewLayout layoutOf(ViewMode mode) {
  switch (mode) {
    case ViewMode::Function:
      return {Role::MainMenu, walk::Variables | walk::Methods,
              fill::VariableImages | fill::MenuImages | fill::MethodImages};
    case ViewMode::Calibration:
      return {Role::CalibrationMenu, walk::Menus | walk::Variables | walk::Methods, fill::MethodImages};
    default:
      return {Role::ParameterTable, walk::Menus | walk::Variables, 0};
  }
}

}  // namespace

bool DeviceSession::enterView(ViewMode mode) {
  const ViewLayout layout = layoutOf(mode);
  const EddNode* start = role(layout.role);
  if (view_ == mode || !start) return false;
  Command command(*this);
  if (mode == ViewMode::Parameter)
    flags_ |= kFlagRead | kFlagWrite;
  else
    flags_ &= ~(kFlagRead | kFlagWrite);
  ui::WaitCursor busy(ui_);
  stopRefresh();
  if (mode != ViewMode::Calibration) pause(100);
  menuView_->dropSavedTree();
  setView(mode);
  currentMenu_ = start;
  const uint32_t treeWalk = walk::Menus | walk::Variables | walk::Tree | (mode == ViewMode::Parameter ? 0 : walk::Methods);
  menuView_->walk(currentMenu_, treeWalk);
  selectFirstTreeItem();
  if (mode == ViewMode::Function) menuView_->walk(currentMenu_, layout.rowWalk);
  fillTable(layout.fill);
  return true;
}

bool DeviceSession::enterParameterView() { return enterView(ViewMode::Parameter); }
bool DeviceSession::enterFunctionView() { return enterView(ViewMode::Function); }
bool DeviceSession::enterCalibrationView() { return enterView(ViewMode::Calibration); }

void DeviceSession::selectTreeItem(int item) {
  const auto& items = menuView_->tree().items();
  if (item < 0 || static_cast<size_t>(item) >= items.size()) return;
  Command command(*this);
  menuView_->selectTreeItem(item);
  treeSelection(items[static_cast<size_t>(item)].node, false);
}

void DeviceSession::treeSelection(const EddNode* node, bool fromRestore) {
  if (!node) return;
  stopRefresh();
  ui::WaitCursor busy(ui_);
  if (view_ == ViewMode::None) {
    ui_.errorBox("Error: The type of current variable is error!");
    return;
  }
  currentMenu_ = node;
  if (view_ == ViewMode::Function && !fromRestore) menus_->readMenu(*node, 8);
  const ViewLayout layout = layoutOf(view_);
  menuView_->walk(node, layout.rowWalk);
  fillTable(layout.fill);
}

bool DeviceSession::runMethod(const EddNode& method) {
  stopRefresh();
  if (model_.engine().runMethod(method) != 1) return false;
  if (view_ != ViewMode::Function && view_ != ViewMode::Calibration) {
    ui_.errorBox("Error: The current interface type is error!");
    return false;
  }
  const ViewLayout layout = layoutOf(view_);
  if (view_ == ViewMode::Function && currentMenu_) menus_->readMenu(*currentMenu_, 4);
  menuView_->walk(role(layout.role), walk::SaveTree | walk::RestoreTree | walk::Tree | walk::Methods |
                                         walk::Variables | walk::Menus);
  menuView_->walk(currentMenu_, layout.rowWalk);
  fillTable(layout.fill);
  return true;
}

void DeviceSession::refreshView() {
  Command command(*this);
  if (view_ == ViewMode::None) {
    ui_.errorBox("Error: The current interface type is error!");
    return;
  }
  const ViewLayout layout = layoutOf(view_);
  const uint32_t keepTree = walk::SaveTree | walk::RestoreTree | walk::Tree | walk::Variables | walk::Menus;
  menuView_->walk(role(layout.role), view_ == ViewMode::Parameter ? keepTree : keepTree | walk::Methods);
  menuView_->walk(currentMenu_, layout.rowWalk);
  fillTable(layout.fill);
}

void DeviceSession::showParameterTable() {
  Command command(*this);
  currentMenu_ = role(Role::ParameterTable);
  if (!currentMenu_) return;
  menuView_->walk(currentMenu_, walk::Menus | walk::Variables | walk::Tree);
  selectFirstTreeItem();
  fillTable(0);
}

bool DeviceSession::doubleClick(int row, int column) {
  const auto& rows = menuView_->rows();
  if (column != 0 || row < 1 || static_cast<size_t>(row) > rows.size()) return false;
  if (view_ != ViewMode::Function && view_ != ViewMode::Calibration) return false;
  const Row& r = rows[static_cast<size_t>(row - 1)];
  if (r.kind == RowKind::Text || (r.qualifiers & kQualifierReadOnly) || !r.node) return false;
  const uint16_t tag = r.node->tag;
  if (view_ == ViewMode::Calibration && tag != +Tag::Method) return false;
  Command command(*this);
  {
    ui::WaitCursor busy(ui_);
    pause(50);
  }
  // The row list is rebuilt below: keep the node, not the row.
  const EddNode* node = r.node;
  if (tag == +Tag::Method) return runMethod(*node);
  if (tag == +Tag::Menu && view_ == ViewMode::Function) {
    treeSelection(node, false);
    return true;
  }
  return false;
}

bool DeviceSession::contextMenuAt(int column) const {
  return column == 0 && (view_ == ViewMode::Parameter || view_ == ViewMode::None);
}

const EddNode* DeviceSession::namedMenu(std::string_view name) const {
  const int32_t id = model_.description().findId(name);
  return id < 0 ? nullptr : model_.description().findObject(id);
}

bool DeviceSession::readAll() {
  if (view_ != ViewMode::Parameter) {
    ui_.errorBox("Error: The operation can only be operated in parameter table!");
    return false;
  }
  Command command(*this);
  stopRefresh();
  // Reading everything uses "download_variables": the description's names
  // are from the transmitter's side.
  if (!model_.menuTransfer().upload(namedMenu("download_variables"))) return false;
  readFlag_ = true;
  menuView_->walk(role(Role::ParameterTable),
                  walk::SaveTree | walk::Tree | walk::Menus | walk::Variables | walk::RestoreTree);
  menuView_->walk(currentMenu_, walk::Menus | walk::Variables);
  fillTable(0);
  return true;
}

bool DeviceSession::writeAll() {
  if (view_ != ViewMode::Parameter) {
    ui_.errorBox(" Error: The operation can only be operated in parameter table!");
    return false;
  }
  if (readFlag_) {
    if (!ui_.warningQuestion("WARNING: Are you sure to download the variables?")) return false;
  } else if (!ui_.warningQuestion(kDefaultDownloadWarning) || !ui_.warningQuestion(kDefaultDownloadConfirmation)) {
    return false;
  }
  Command command(*this);
  stopRefresh();
  ui::WaitCursor busy(ui_);
  const EddNode* menu = namedMenu("upload_variables");
  const bool downloaded = model_.menuTransfer().download(menu);
  if (menu) fillTable(0);
  return downloaded;
}

bool DeviceSession::writeChanged() {
  if (!ui_.warningQuestion("WARNING: The operation will only download the modified variables to the transmitter?"))
    return false;
  Command command(*this);
  stopRefresh();
  ui::WaitCursor busy(ui_);
  if (view_ != ViewMode::Parameter) {
    ui_.errorBox("Error: 用户选择界面类型错误!");
    return false;
  }
  if (model_.menuTransfer().processMenu(model::process::Write, namedMenu("upload_variables"),
                                        model::process::OnlyChanged) != 1)
    return false;
  menuView_->walk(currentMenu_, walk::Menus | walk::Variables);
  fillTable(0);
  return true;
}

bool DeviceSession::changePassword() { return app::changePassword(files_.passwordFile(), ui_); }

}  // namespace tavrin::app
