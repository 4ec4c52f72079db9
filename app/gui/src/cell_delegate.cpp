#include "cell_delegate.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "app/table.h"
#include "check_combo_box.h"
#include "table_model.h"

namespace tavrin::gui {

namespace {

app::CellKind kindOf(const QModelIndex& index) {
  return static_cast<app::CellKind>(index.data(ParameterTableModel::KindRole).toInt());
}

}  // namespace

CellDelegate::CellDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
  switch (kindOf(index)) {
    case app::CellKind::Combo: {
      auto* box = new QComboBox(parent);
      box->setAccessibleName(index.data(Qt::AccessibleTextRole).toString());
      box->addItems(index.data(ParameterTableModel::ItemsRole).toStringList());
      connect(box, &QComboBox::activated, this, [this, box] {
        auto* self = const_cast<CellDelegate*>(this);
        emit self->commitData(box);
        emit self->closeEditor(box);
      });
      QTimer::singleShot(0, box, &QComboBox::showPopup);
      return box;
    }
    case app::CellKind::CheckCombo: {
      auto* box = new CheckComboBox(parent);
      box->setAccessibleName(index.data(Qt::AccessibleTextRole).toString());
      connect(box, &CheckComboBox::finished, this, [this, box] {
        auto* self = const_cast<CellDelegate*>(this);
        emit self->commitData(box);
        emit self->closeEditor(box);
      });
      QTimer::singleShot(0, box, &QComboBox::showPopup);
      return box;
    }
    case app::CellKind::Button: return nullptr;
    case app::CellKind::Text: break;
  }
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (editor) editor->setAccessibleName(index.data(Qt::AccessibleTextRole).toString());
  return editor;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (auto* check = qobject_cast<CheckComboBox*>(editor)) {
    check->setItems(index.data(ParameterTableModel::ItemsRole).toStringList(),
                    index.data(ParameterTableModel::CheckedItemsRole).value<QList<bool>>());
    return;
  }
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    // A value that is no entry (an unknown enumerator) selects nothing.
    box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
    return;
  }
  QStyledItemDelegate::setEditorData(editor, index);
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  if (auto* check = qobject_cast<CheckComboBox*>(editor)) {
    const auto* table = qobject_cast<const ParameterTableModel*>(index.model());
    const app::Cell* cell = table ? table->cell(index) : nullptr;
    if (!cell) return;
    const QList<bool> checked = check->checkedItems();
    // Nothing changed, nothing to commit.
    if (checked == index.data(ParameterTableModel::CheckedItemsRole).value<QList<bool>>()) return;
    const std::string text = app::checkComboText(*cell, std::vector<bool>(checked.begin(), checked.end()));
    model->setData(index, QString::fromStdString(text), Qt::EditRole);
    return;
  }
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    if (box->currentIndex() < 0 || box->currentText() == index.data(Qt::EditRole).toString()) return;
    model->setData(index, box->currentText(), Qt::EditRole);
    return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const app::CellKind kind = kindOf(index);
  if (kind == app::CellKind::Button) {
    QStyleOptionButton button;
    button.rect = option.rect.adjusted(1, 1, -1, -1);
    button.text = index.data(Qt::DisplayRole).toString();
    button.state = option.state | QStyle::State_Raised;
    button.fontMetrics = option.fontMetrics;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
    return;
  }
  QStyledItemDelegate::paint(painter, option, index);
  // A list to choose from shows its arrow where it can be opened.
  if ((kind == app::CellKind::Combo || kind == app::CellKind::CheckCombo) &&
      (index.flags() & Qt::ItemIsEditable)) {
    QStyleOption arrow;
    const int side = std::min(option.rect.height() - 8, 12);
    arrow.rect = QRect(option.rect.right() - side - 5, option.rect.center().y() - side / 2, side, side);
    arrow.palette = option.palette;
    arrow.state = QStyle::State_Enabled;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, widget);
  }
}

bool CellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                               const QModelIndex& index) {
  if (kindOf(index) == app::CellKind::Button) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        option.rect.contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
      emit buttonClicked(index.row() + 1, index.column());
      return true;
    }
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Space || key == Qt::Key_Select) {
        emit buttonClicked(index.row() + 1, index.column());
        return true;
      }
    }
  }
  return QStyledItemDelegate::editorEvent(event, model, option, index);
}

}  // namespace tavrin::gui
