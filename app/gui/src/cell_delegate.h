// How the value cells are drawn and edited: a text field for plain cells,
// a drop-down list for an enumeration, a list with check boxes for a bit
// enumeration, a push button for button cells. A combo cell commits as
// soon as an entry is chosen, a check-combo cell when its list closes.
#pragma once

#include <QStyledItemDelegate>

namespace tavrin::gui {

class CellDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit CellDelegate(QObject* parent = nullptr);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

 signals:
  // Row counted from 1, as the session's. The views of the session make no
  // button cells; the dialogs that do listen here.
  void buttonClicked(int row, int column);
};

}  // namespace tavrin::gui
