// The parameter table's view: the grid's look (header texts and column
// widths, row heights with hidden rows, merged rows, the font and the
// colour of cells without one of their own), its notifications with rows
// counted as the session's (from 1), and the clipboard text of the
// selected cells.
#pragma once

#include <QStringList>
#include <QTableView>

namespace tavrin::gui {

class ParameterTableModel;

class ParameterTableView : public QTableView {
  Q_OBJECT
 public:
  explicit ParameterTableView(QWidget* parent = nullptr);

  using QTableView::edit;
  void setTableModel(ParameterTableModel* model);
  ParameterTableModel* tableModel() const { return model_; }

  // The selected cells' texts: the rectangle around the selection, rows on
  // lines and cells separated by tabs; cells in it that are not selected
  // are empty, hidden rows are left out.
  QString selectedText() const;
  // Where a paste begins: the top left of the selection, or the current cell.
  QModelIndex pasteOrigin() const;
  // The selected cells that take an edit, top to bottom.
  QModelIndexList writableSelection() const;
  // Clipboard text as a grid: lines of tab-separated cells.
  static QList<QStringList> parseClipboard(const QString& text);

 signals:
  // Rows counted from 1, as the session's.
  void cellDoubleClicked(int row, int column);
  void cellRightClicked(int row, int column);
  void editStarted(int row, int column);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

 private:
  // Spans, heights and hidden rows after the model changed.
  void applyLayout();
  void applyRows(int first, int last);

  ParameterTableModel* model_ = nullptr;
};

}  // namespace tavrin::gui
