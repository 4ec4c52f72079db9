// The device window: the menu tree and the parameter table side by side in
// a splitter, over the device session it owns. It draws what the session
// holds (told by the session's notices, never by polling) and hands the
// person's clicks and the main window's commands back to the session.
//
// One command at a time: a command that arrives while one runs (a timer
// firing inside a modal dialog) is not started. An edit's commit waits
// its 200 ms and then for the running command to end; it goes to the
// variable that was edited, wherever the table shows it by then, and is
// dropped when the table no longer shows it.
#pragma once

#include <QList>
#include <QWidget>
#include <deque>
#include <memory>

#include "app/edit_commit.h"
#include "app/parameter_file.h"
#include "app/session.h"
#include "app/session_observer.h"

class QAction;
class QMenu;
class QSplitter;
class QTreeView;

namespace tavrin::gui {

class MenuTreeModel;
class ParameterTableModel;
class ParameterTableView;
class QtUserInterface;

class DeviceWindow : public QWidget, private app::SessionObserver {
  Q_OBJECT
 public:
  static constexpr int kTreeWidth = 250;
  static constexpr int kTreeMinimumWidth = 100;
  static constexpr int kCommitDelayMs = 200;
  static constexpr int kContextMenuDelayMs = 10;

  DeviceWindow(const app::ProgramFiles& files, QtUserInterface& ui, QWidget* parent = nullptr);
  ~DeviceWindow() override;

  app::DeviceSession& session() { return session_; }
  QSplitter* splitter() const { return splitter_; }
  QTreeView* treeView() const { return tree_; }
  ParameterTableView* tableView() const { return table_; }
  MenuTreeModel* treeModel() const { return treeModel_; }
  ParameterTableModel* tableModel() const { return tableModel_; }
  // The table's pop-up menu; its entries are the main window's actions.
  QMenu* contextMenu() const { return contextMenu_; }
  void setContextMenuActions(const QList<QAction*>& actions);

  // Its client area is up: the session starts (communication type, drivers).
  void start();
  // The main window closes.
  void shutdown();
  bool busy() const { return busy_; }

  // --- commands ---
  void connectDevice();
  void disconnectDevice();
  void readAll();
  void writeAll();
  void updateModified();
  void enterView(app::ViewMode mode);
  void exportParameters();
  void importParameters();
  // Device -> "Compare with file...": the file, the Read, the differences.
  void compareWithFile();
  void chooseCommunicationType(app::CommunicationType type);
  void changePassword();
  void setAddress();
  // "Polling address"; OK connects to the chosen transmitter.
  void pollAddresses();
  // "Add transmitter file".
  void addFile();
  void comSettings();
  void copy();
  void cut();
  void paste();

 signals:
  // The session's command states changed (the main window updates its actions).
  void commandsChanged();
  // A command or a commit has ended.
  void commandFinished();
  // An edit's commit has run (committed or refused), or was dropped as its
  // variable is no longer in the table.
  void editSettled(bool ran);

 private:
  // A value typed into a cell, for the variable it belongs to.
  struct Edit {
    int row = 0;  // counted from 1
    const EddNode* variable = nullptr;
    unsigned generation = 0;  // of the table it was typed into
    std::string text;
  };

  // app::SessionObserver
  void treeChanged() override;
  void tableChanged() override;
  void rowsChanged(int first, int last) override;
  void commandStateChanged() override;

  // Runs a command unless one runs already; false then.
  template <class F>
  bool run(F&& command);
  void edited(int row, const QString& text);
  void commitPendingEdits();
  // The row that shows the edited variable now, 0 for none.
  int rowOf(const Edit& edit) const;
  Edit editOf(int row, std::string text) const;
  void showTree();
  void treeSelected(const QModelIndex& index);
  void rightClicked(int row, int column);

  QtUserInterface& ui_;
  app::DeviceSession session_;
  app::EditCommit edits_{session_};
  app::ParameterFiles parameterFiles_{session_};
  QSplitter* splitter_;
  QTreeView* tree_;
  ParameterTableView* table_;
  MenuTreeModel* treeModel_;
  ParameterTableModel* tableModel_;
  QMenu* contextMenu_;
  bool busy_ = false;
  bool showingTree_ = false;
  unsigned tableGeneration_ = 0;
  std::deque<Edit> pendingEdits_;
};

}  // namespace tavrin::gui
