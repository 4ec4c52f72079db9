// The main window: menus, toolbar and status bar around the one device
// window. It comes up 1100 x 700, centred across the screen and a third of
// the free height from the top, titled from com.ini; every action's enabled
// and checked state follows the session after every command. Closing it
// shuts the session down in its order (refresh stopped, session reset, the
// Modbus port and then the Profibus port closed).
//
// Later parts add to it through action() and menu(): a new entry of a menu
// is an action added to that menu, a new command a line in actions.h.
#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

#include "actions.h"
#include "app/configuration.h"

class QLabel;
class QMenu;
class QToolBar;

namespace tavrin::gui {

class BusMonitorPane;
class DeviceWindow;
class LockIndicators;
class QtUserInterface;

enum class MenuId { Device, View, Operation, Communication, Setting, Help };

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kWidth = 1100;
  static constexpr int kHeight = 700;
  static constexpr int kConnectionPaneWidth = 100;
  static constexpr const char* kVersionText = "Software V1.0.1";
  static constexpr const char* kInitialState = "State: Disconnect";

  // Comes up as the start-up order says, up to the session's start (the
  // communication type read, both drivers bound); main() shows it.
  explicit MainWindow(const app::ProgramFiles& files, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Where a window of this size starts on a screen of that size.
  static QPoint initialPosition(const QSize& screen);

  QAction* action(ActionId id) const { return actions_[static_cast<size_t>(id)]; }
  QMenu* menu(MenuId id) const { return menus_[static_cast<size_t>(id)]; }
  QToolBar* toolBar() const { return toolBar_; }
  QLabel* connectionPane() const { return connectionPane_; }
  LockIndicators* lockIndicators() const { return locks_; }
  DeviceWindow* deviceWindow() const { return device_; }
  BusMonitorPane* busMonitor() const { return busMonitor_; }
  QtUserInterface& userInterface() const { return *ui_; }

  void setStatusText(const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  void createBusMonitor();
  void trigger(ActionId id);
  // Enabled and checked as the session's command state says.
  void updateActions();
  void about();

  std::unique_ptr<QtUserInterface> ui_;
  app::ProgramFiles files_;
  std::array<QAction*, kActionCount> actions_{};
  std::array<QMenu*, 6> menus_{};
  QToolBar* toolBar_ = nullptr;
  QLabel* connectionPane_ = nullptr;
  LockIndicators* locks_ = nullptr;
  DeviceWindow* device_ = nullptr;
  BusMonitorPane* busMonitor_ = nullptr;
  bool closing_ = false;
};

}  // namespace tavrin::gui
