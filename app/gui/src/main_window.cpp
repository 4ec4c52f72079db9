#include "main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "bus_monitor_pane.h"
#include "device_window.h"
#include "icons.h"
#include "lock_indicators.h"
#include "plain_dialogs.h"
#include "qt_user_interface.h"

namespace tavrin::gui {

namespace {

QString plainText(const char* text) { return QString::fromUtf8(text).remove(QLatin1Char('&')); }

}  // namespace

MainWindow::MainWindow(const app::ProgramFiles& files, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<QtUserInterface>()), files_(files) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowIcon(icon(IconId::Program));
  resize(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) move(initialPosition(screen->geometry().size()));

  createActions();
  createToolBar();
  createStatusBar();
  setWindowTitle(qtText(app::readTitle(files_.comIni())));
  createMenus();
  ui_->setOwner(this);
  ui_->setStatusSink([this](const QString& text) { setStatusText(text); });

  device_ = new DeviceWindow(files_, *ui_, this);
  setCentralWidget(device_);
  device_->setContextMenuActions({action(ActionId::UpdateModified), action(ActionId::UpdateAll)});
  connect(device_, &DeviceWindow::commandsChanged, this, &MainWindow::updateActions);
  updateActions();
  createBusMonitor();
  device_->start();
}

MainWindow::~MainWindow() {
  // The session goes before the seam it talks through.
  delete device_;
  device_ = nullptr;
}

QPoint MainWindow::initialPosition(const QSize& screen) {
  return {(screen.width() - kWidth) / 2, (screen.height() - kHeight) / 3};
}

void MainWindow::createActions() {
  for (const ActionSpec& spec : actionSpecs()) {
    auto* a = new QAction(QString::fromUtf8(spec.text), this);
    a->setObjectName(QStringLiteral("action") + plainText(spec.text).remove(QLatin1Char(' ')).remove(QLatin1Char('.')));
    if (*spec.toolText) a->setIconText(QString::fromUtf8(spec.toolText));
    if (spec.icon) a->setIcon(icon(*spec.icon));
    a->setShortcuts(shortcutsOf(spec.id));
    a->setCheckable(checkable(spec.id));
    a->setToolTip(plainText(spec.text));
    a->setStatusTip(plainText(spec.text));
    // Accelerators work whether or not the toolbar or a menu shows them.
    addAction(a);
    const ActionId id = spec.id;
    connect(a, &QAction::triggered, this, [this, id] { trigger(id); });
    actions_[static_cast<size_t>(id)] = a;
  }
  // Qt's menus show the accelerator beside the text.
  action(ActionId::Connect)->setShortcutVisibleInContextMenu(true);
}

void MainWindow::createMenus() {
  auto add = [this](MenuId id, const QString& title, std::initializer_list<std::optional<ActionId>> entries) {
    QMenu* m = menuBar()->addMenu(title);
    m->setObjectName(QStringLiteral("menu") + QString(title).remove(QLatin1Char('&')));
    for (const auto& e : entries) {
      if (e)
        m->addAction(action(*e));
      else
        m->addSeparator();
    }
    menus_[static_cast<size_t>(id)] = m;
  };
  menuBar()->setAccessibleName(tr("Menu bar"));
  add(MenuId::Device, tr("&Device"), {ActionId::Connect, ActionId::Export, ActionId::Import, std::nullopt, ActionId::Exit});
  add(MenuId::View, tr("&View"), {ActionId::ToolBar, ActionId::StatusBar});
  add(MenuId::Operation, tr("&Operation"), {ActionId::Parameter, ActionId::Function, ActionId::Calibration});
  add(MenuId::Communication, tr("&Communication"),
      {ActionId::Hart, ActionId::Profibus, ActionId::Modbus, std::nullopt, ActionId::AddressSetting,
       ActionId::AddressPolling, std::nullopt, ActionId::ComSetting});
  add(MenuId::Setting, tr("&Setting"), {ActionId::AddFile, ActionId::ChangePassword});
  add(MenuId::Help, tr("&Help"), {ActionId::About});
}

void MainWindow::createToolBar() {
  toolBar_ = new QToolBar(tr("Tool"), this);
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  toolBar_->setAccessibleName(tr("Toolbar"));
  toolBar_->setMovable(true);
  toolBar_->setFloatable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolBar_->setIconSize(QSize(24, 24));
  for (const auto& entry : toolBarLayout()) {
    if (entry)
      toolBar_->addAction(action(*entry));
    else
      toolBar_->addSeparator();
  }
  addToolBar(Qt::TopToolBarArea, toolBar_);
  QAction* tool = action(ActionId::ToolBar);
  tool->setChecked(true);
  connect(tool, &QAction::toggled, toolBar_, &QToolBar::setVisible);
  connect(toolBar_, &QToolBar::visibilityChanged, tool, [this, tool] { tool->setChecked(!toolBar_->isHidden()); });
}

void MainWindow::createStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusBar"));
  bar->setAccessibleName(tr("Status bar"));
  connectionPane_ = new QLabel(QString::fromUtf8(kInitialState), bar);
  connectionPane_->setObjectName(QStringLiteral("connectionPane"));
  connectionPane_->setAccessibleName(tr("Connection state"));
  // At least its width; a larger font gets the room it needs.
  connectionPane_->setMinimumWidth(kConnectionPaneWidth);
  connectionPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bar->addPermanentWidget(connectionPane_);
  locks_ = new LockIndicators(bar);
  QAction* status = action(ActionId::StatusBar);
  status->setChecked(true);
  connect(status, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void MainWindow::createBusMonitor() {
  // Device: Compare with file... after Import; View: Bus monitor after the bars.
  QMenu* device = menu(MenuId::Device);
  const QList<QAction*> entries = device->actions();
  const qsizetype import = entries.indexOf(action(ActionId::Import));
  device->insertAction(import + 1 < entries.size() ? entries[import + 1] : nullptr, action(ActionId::CompareWithFile));
  menu(MenuId::View)->addAction(action(ActionId::BusMonitor));

  busMonitor_ = new BusMonitorPane(*device_, *ui_, this);
  addDockWidget(Qt::BottomDockWidgetArea, busMonitor_);
  busMonitor_->hide();
  QAction* shown = action(ActionId::BusMonitor);
  connect(shown, &QAction::toggled, busMonitor_, &QDockWidget::setVisible);
  connect(busMonitor_, &QDockWidget::visibilityChanged, shown,
          [this, shown] { shown->setChecked(!busMonitor_->isHidden()); });
}

void MainWindow::setStatusText(const QString& text) {
  connectionPane_->setText(text);
  connectionPane_->setAccessibleDescription(text);
}

void MainWindow::updateActions() {
  const app::CommandState state = device_->session().commandState();
  for (const ActionSpec& spec : actionSpecs()) {
    if (!spec.command) continue;
    QAction* a = action(spec.id);
    a->setEnabled(app::commandEnabled(*spec.command, state));
    if (a->isCheckable()) a->setChecked(app::commandChecked(*spec.command, state));
  }
}

void MainWindow::trigger(ActionId id) {
  switch (id) {
    case ActionId::Connect: device_->connectDevice(); break;
    case ActionId::Export: device_->exportParameters(); break;
    case ActionId::Import: device_->importParameters(); break;
    case ActionId::Exit: close(); break;
    case ActionId::ToolBar:
    case ActionId::StatusBar: break;  // their toggles show and hide the bars
    case ActionId::Parameter: device_->enterView(app::ViewMode::Parameter); break;
    case ActionId::Function: device_->enterView(app::ViewMode::Function); break;
    case ActionId::Calibration: device_->enterView(app::ViewMode::Calibration); break;
    case ActionId::Hart: break;
    case ActionId::Profibus: device_->chooseCommunicationType(app::CommunicationType::Profibus); break;
    case ActionId::Modbus: device_->chooseCommunicationType(app::CommunicationType::Modbus); break;
    case ActionId::AddressSetting: device_->setAddress(); break;
    case ActionId::AddressPolling: device_->pollAddresses(); break;
    case ActionId::ComSetting: device_->comSettings(); break;
    case ActionId::AddFile: device_->addFile(); break;
    case ActionId::ChangePassword: device_->changePassword(); break;
    case ActionId::About: about(); break;
    case ActionId::Read: device_->readAll(); break;
    case ActionId::Write:
    case ActionId::UpdateAll: device_->writeAll(); break;
    case ActionId::Disconnect: device_->disconnectDevice(); break;
    case ActionId::UpdateModified: device_->updateModified(); break;
    case ActionId::Copy: device_->copy(); break;
    case ActionId::Cut: device_->cut(); break;
    case ActionId::Paste: device_->paste(); break;
    case ActionId::CompareWithFile: device_->compareWithFile(); break;
    case ActionId::BusMonitor: break;  // its toggle shows and hides the pane
  }
  // A checkable action has just toggled itself; the session says what holds.
  if (device_) updateActions();
}

void MainWindow::about() {
  QMessageBox box(QMessageBox::Information, tr("About Tavrin"), QString::fromUtf8(kVersionText), QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("aboutBox"));
  box.setIconPixmap(icon(IconId::Program).pixmap(48, 48));
  box.setInformativeText(tr("Tavrin, commissioning of pressure and temperature transmitters"));
  box.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // While a command runs its dialogs are open; the window closes after.
  if (device_->busy()) {
    event->ignore();
    return;
  }
  if (!closing_) {
    closing_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    device_->shutdown();
    QApplication::restoreOverrideCursor();
  }
  event->accept();
}

}  // namespace tavrin::gui
