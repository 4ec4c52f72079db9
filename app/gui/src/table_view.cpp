#include "table_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

#include "app/table.h"
#include "cell_delegate.h"
#include "table_model.h"

namespace tavrin::gui {

ParameterTableView::ParameterTableView(QWidget* parent) : QTableView(parent) {
  setObjectName(QStringLiteral("parameterTable"));
  setAccessibleName(tr("Parameter table"));
  setAccessibleDescription(tr("The transmitter's parameters: name, value, unit and status"));
  setFont(ParameterTableModel::tableFont());
  setItemDelegate(new CellDelegate(this));
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setWordWrap(false);
  setIconSize(QSize(16, 16));
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(0);
  verticalHeader()->setDefaultSectionSize(app::Table::kRowHeight);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setMinimumHeight(app::Table::kRowHeight);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Cells without a colour of their own, and the grid below the last row.
  QPalette p = palette();
  p.setColor(QPalette::Base, QColor(app::kDefaultBackground.r, app::kDefaultBackground.g, app::kDefaultBackground.b));
  setPalette(p);
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { emit cellDoubleClicked(index.row() + 1, index.column()); });
}

void ParameterTableView::setTableModel(ParameterTableModel* model) {
  model_ = model;
  setModel(model);
  for (size_t c = 0; c < app::Table::kColumnWidths.size(); ++c)
    setColumnWidth(static_cast<int>(c), app::Table::kColumnWidths[c]);
  connect(model, &QAbstractItemModel::modelReset, this, &ParameterTableView::applyLayout);
  connect(model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) { applyRows(from.row(), to.row()); });
  applyLayout();
}

void ParameterTableView::applyLayout() {
  clearSpans();
  applyRows(0, model_->rowCount() - 1);
}

void ParameterTableView::applyRows(int first, int last) {
  for (int r = first; r <= last; ++r) {
    const app::TableRow* row = model_->tableRow(r);
    if (!row) continue;
    const bool merged = rowSpan(r, 0) == 1 && columnSpan(r, 0) == model_->columnCount();
    if (row->merged != merged) setSpan(r, 0, 1, row->merged ? model_->columnCount() : 1);
    setRowHidden(r, row->height <= 0);
    if (row->height > 0 && rowHeight(r) != row->height) setRowHeight(r, row->height);
  }
}

QString ParameterTableView::selectedText() const {
  const QModelIndexList selected = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList{};
  if (selected.isEmpty()) return {};
  int top = selected.first().row(), bottom = top, left = selected.first().column(), right = left;
  for (const QModelIndex& i : selected) {
    top = std::min(top, i.row());
    bottom = std::max(bottom, i.row());
    left = std::min(left, i.column());
    right = std::max(right, i.column());
  }
  QStringList lines;
  for (int r = top; r <= bottom; ++r) {
    if (isRowHidden(r)) continue;
    QStringList cells;
    for (int c = left; c <= right; ++c) {
      const QModelIndex i = model_->index(r, c);
      cells << (selectionModel()->isSelected(i) ? i.data(Qt::DisplayRole).toString() : QString());
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QModelIndex ParameterTableView::pasteOrigin() const {
  const QModelIndexList selected = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList{};
  if (selected.isEmpty()) return currentIndex();
  QModelIndex origin = selected.first();
  for (const QModelIndex& i : selected) {
    if (i.row() < origin.row() || (i.row() == origin.row() && i.column() < origin.column())) origin = i;
  }
  return origin;
}

QModelIndexList ParameterTableView::writableSelection() const {
  QModelIndexList out;
  if (!selectionModel()) return out;
  for (const QModelIndex& i : selectionModel()->selectedIndexes())
    if (!isRowHidden(i.row()) && (model_->flags(i) & Qt::ItemIsEditable)) out << i;
  std::sort(out.begin(), out.end(), [](const QModelIndex& a, const QModelIndex& b) {
    return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
  });
  return out;
}

QList<QStringList> ParameterTableView::parseClipboard(const QString& text) {
  QList<QStringList> grid;
  QStringList lines = text.split(QLatin1Char('\n'));
  // The line end after the last line makes no line of its own.
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (QString line : lines) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    grid << line.split(QLatin1Char('\t'));
  }
  return grid;
}

void ParameterTableView::contextMenuEvent(QContextMenuEvent* event) {
  // The mouse names its cell; the menu key the current one.
  const QModelIndex index =
      event->reason() == QContextMenuEvent::Mouse ? indexAt(event->pos()) : currentIndex();
  const int column = index.isValid() ? index.column() : columnAt(event->pos().x());
  emit cellRightClicked(index.isValid() ? index.row() + 1 : 0, column);
  event->accept();
}

bool ParameterTableView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  const bool started = QTableView::edit(index, trigger, event);
  if (started && trigger != QAbstractItemView::NoEditTriggers) emit editStarted(index.row() + 1, index.column());
  return started;
}

}  // namespace tavrin::gui
