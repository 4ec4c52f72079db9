#include "device_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/description_menus.h"
#include "add_file_dialog.h"
#include "address_dialogs.h"
#include "calibration_dialogs.h"
#include "compare_dialog.h"
#include "plain_dialogs.h"
#include "qt_user_interface.h"
#include "serial_settings_dialog.h"
#include "table_model.h"
#include "table_view.h"
#include "tree_model.h"
#include "user_dialogs.h"

namespace tavrin::gui {

DeviceWindow::DeviceWindow(const app::ProgramFiles& files, QtUserInterface& ui, QWidget* parent)
    : QWidget(parent),
      ui_(ui),
      session_(files, ui, app::descriptionMenus()),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      tree_(new QTreeView(splitter_)),
      table_(new ParameterTableView(splitter_)),
      treeModel_(new MenuTreeModel(this)),
      tableModel_(new ParameterTableModel(this)),
      contextMenu_(new QMenu(this)) {
  setObjectName(QStringLiteral("deviceWindow"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter_);

  tree_->setObjectName(QStringLiteral("menuTree"));
  tree_->setAccessibleName(tr("Menu tree"));
  tree_->setAccessibleDescription(tr("The menus of the current view; selecting one shows it in the table"));
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setUniformRowHeights(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setMinimumWidth(kTreeMinimumWidth);
  tree_->setModel(treeModel_);
  table_->setTableModel(tableModel_);
  splitter_->setChildrenCollapsible(false);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kTreeWidth, 1100 - kTreeWidth});
  contextMenu_->setObjectName(QStringLiteral("tableContextMenu"));
  contextMenu_->setAccessibleName(tr("Table menu"));

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { treeSelected(current); });
  connect(tree_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
    if (!showingTree_) session_.setTreeItemExpanded(treeModel_->itemOf(index), true);
  });
  connect(tree_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
    if (!showingTree_) session_.setTreeItemExpanded(treeModel_->itemOf(index), false);
  });
  connect(tableModel_, &ParameterTableModel::valueEdited, this,
          [this](int row, int, const QString& text) { edited(row, text); });
  connect(table_, &ParameterTableView::editStarted, this, [this] { session_.stopRefresh(); });
  connect(table_, &ParameterTableView::cellDoubleClicked, this,
          [this](int row, int column) { run([&] { session_.doubleClick(row, column); }); });
  connect(table_, &ParameterTableView::cellRightClicked, this, &DeviceWindow::rightClicked);

  session_.addObserver(this);
  session_.setBatchCalibrationRunner([this](builtins::BatchCalibration which) {
    return runBatchCalibration(which, session_, ui_, window());
  });
}

DeviceWindow::~DeviceWindow() { session_.removeObserver(this); }

void DeviceWindow::setContextMenuActions(const QList<QAction*>& actions) {
  contextMenu_->clear();
  contextMenu_->addActions(actions);
}

template <class F>
bool DeviceWindow::run(F&& command) {
  if (busy_) return false;
  busy_ = true;
  command();
  busy_ = false;
  emit commandFinished();
  if (!pendingEdits_.empty()) QTimer::singleShot(0, this, &DeviceWindow::commitPendingEdits);
  return true;
}

void DeviceWindow::start() {
  run([this] { session_.start(); });
}

void DeviceWindow::shutdown() {
  pendingEdits_.clear();
  session_.shutdown();
}

// --- what the session tells ---

void DeviceWindow::treeChanged() { showTree(); }

void DeviceWindow::showTree() {
  const app::MenuTree& tree = session_.view().tree();
  showingTree_ = true;
  treeModel_->update(tree);
  for (size_t i = 0; i < tree.items().size(); ++i)
    tree_->setExpanded(treeModel_->indexOf(static_cast<int>(i)), tree.items()[i].expanded);
  const QModelIndex selected = treeModel_->indexOf(tree.selected());
  if (selected.isValid()) {
    tree_->selectionModel()->setCurrentIndex(selected, QItemSelectionModel::ClearAndSelect);
    tree_->scrollTo(selected);
  } else {
    tree_->selectionModel()->clear();
  }
  showingTree_ = false;
}

void DeviceWindow::tableChanged() {
  ++tableGeneration_;
  tableModel_->reset(session_.view().table());
}

void DeviceWindow::rowsChanged(int first, int last) { tableModel_->updateRows(session_.view().table(), first, last); }

void DeviceWindow::commandStateChanged() { emit commandsChanged(); }

// --- the person's clicks ---

void DeviceWindow::treeSelected(const QModelIndex& index) {
  if (showingTree_) return;
  const int item = treeModel_->itemOf(index);
  if (item < 0 || item == session_.view().tree().selected()) return;
  if (!run([&] { session_.selectTreeItem(item); })) showTree();
}

void DeviceWindow::rightClicked(int, int column) {
  if (!session_.contextMenuAt(column)) return;
  QTimer::singleShot(kContextMenuDelayMs, this, [this] {
    if (!busy_) contextMenu_->popup(QCursor::pos());
  });
}

DeviceWindow::Edit DeviceWindow::editOf(int row, std::string text) const {
  const auto& rows = session_.view().rows();
  const EddNode* node = row >= 1 && static_cast<size_t>(row) <= rows.size() ? rows[static_cast<size_t>(row - 1)].node
                                                                              : nullptr;
  return {row, node, tableGeneration_, std::move(text)};
}

void DeviceWindow::edited(int row, const QString& text) {
  Edit edit = editOf(row, stdText(text));
  if (!edit.variable) return;
  QTimer::singleShot(kCommitDelayMs, this, [this, edit] {
    pendingEdits_.push_back(edit);
    commitPendingEdits();
  });
}

int DeviceWindow::rowOf(const Edit& edit) const {
  const auto& rows = session_.view().rows();
  if (edit.generation == tableGeneration_) return edit.row;
  // The table was filled again meanwhile: the variable's row there, if any.
  for (size_t i = 0; i < rows.size() && i < session_.view().table().rows.size(); ++i)
    if (rows[i].kind == app::RowKind::Item && rows[i].node == edit.variable) return static_cast<int>(i) + 1;
  return 0;
}

void DeviceWindow::commitPendingEdits() {
  while (!pendingEdits_.empty() && !busy_) {
    const Edit edit = pendingEdits_.front();
    pendingEdits_.pop_front();
    const int row = rowOf(edit);
    if (row > 0) run([&] { edits_.commitRow(row, edit.text); });
    emit editSettled(row > 0);
  }
}

// --- commands ---

void DeviceWindow::connectDevice() {
  run([this] { session_.connect(); });
}

void DeviceWindow::disconnectDevice() {
  run([this] { session_.disconnect(); });
}

void DeviceWindow::readAll() {
  run([this] { session_.readAll(); });
}

void DeviceWindow::writeAll() {
  run([this] { session_.writeAll(); });
}

void DeviceWindow::updateModified() {
  run([this] { session_.writeChanged(); });
}

void DeviceWindow::enterView(app::ViewMode mode) {
  run([this, mode] {
    switch (mode) {
      case app::ViewMode::Parameter: session_.enterParameterView(); break;
      case app::ViewMode::Function: session_.enterFunctionView(); break;
      case app::ViewMode::Calibration: session_.enterCalibrationView(); break;
      case app::ViewMode::None: break;
    }
  });
}

void DeviceWindow::exportParameters() {
  run([this] { parameterFiles_.exportWithDialog(); });
}

void DeviceWindow::importParameters() {
  run([this] { parameterFiles_.importWithDialog(); });
}

void DeviceWindow::compareWithFile() {
  run([this] {
    std::string path;
    if (const auto comparison = app::compareWithDialog(session_, &path)) showComparison(this, path, *comparison);
  });
}

void DeviceWindow::chooseCommunicationType(app::CommunicationType type) {
  run([this, type] { session_.chooseCommunicationType(type); });
}

void DeviceWindow::changePassword() {
  run([this] { passwordDialog(window(), session_.files().passwordFile(), ui_); });
}

void DeviceWindow::setAddress() {
  run([this] { addressSettingDialog(window(), session_, ui_); });
}

void DeviceWindow::pollAddresses() {
  run([this] {
    PollingDialog dialog(session_, ui_, window());
    // OK has stored the transmitter's address: connect to it.
    if (dialog.exec() == QDialog::Accepted && dialog.chosenAddress()) session_.connect();
  });
}

void DeviceWindow::addFile() {
  run([this] { addFileDialog(window(), session_.files(), ui_); });
}

void DeviceWindow::comSettings() {
  run([this] { serialSettingsDialog(window(), session_, ui_); });
}

// --- clipboard ---

void DeviceWindow::copy() {
  const QString text = table_->selectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void DeviceWindow::cut() {
  copy();
  // What the table shows is what the session holds: each writable cell is
  // emptied through the edit commit, which may refuse.
  for (const QModelIndex& index : table_->writableSelection())
    pendingEdits_.push_back(editOf(index.row() + 1, std::string()));
  commitPendingEdits();
}

void DeviceWindow::paste() {
  const QModelIndex origin = table_->pasteOrigin();
  if (!origin.isValid()) return;
  const QList<QStringList> grid = ParameterTableView::parseClipboard(QApplication::clipboard()->text());
  for (qsizetype r = 0; r < grid.size(); ++r) {
    for (qsizetype c = 0; c < grid[r].size(); ++c) {
      const QModelIndex target = tableModel_->index(origin.row() + static_cast<int>(r), origin.column() + static_cast<int>(c));
      if (target.isValid() && (tableModel_->flags(target) & Qt::ItemIsEditable))
        pendingEdits_.push_back(editOf(target.row() + 1, stdText(grid[r][c])));
    }
  }
  commitPendingEdits();
}

}  // namespace tavrin::gui
