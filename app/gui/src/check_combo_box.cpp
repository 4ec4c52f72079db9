#include "check_combo_box.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace tavrin::gui {

CheckComboBox::CheckComboBox(QWidget* parent) : QComboBox(parent), items_(new QStandardItemModel(this)) {
  setModel(items_);
  view()->installEventFilter(this);
  view()->viewport()->installEventFilter(this);
  setAccessibleName(tr("Bits of the value"));
}

void CheckComboBox::setItems(const QStringList& texts, const QList<bool>& checked) {
  items_->clear();
  for (qsizetype i = 0; i < texts.size(); ++i) {
    auto* item = new QStandardItem(texts[i]);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setData(i < checked.size() && checked[i] ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    items_->appendRow(item);
  }
  setAccessibleDescription(summary());
  update();
}

QList<bool> CheckComboBox::checkedItems() const {
  QList<bool> out;
  for (int i = 0; i < items_->rowCount(); ++i) out << (items_->item(i)->checkState() == Qt::Checked);
  return out;
}

void CheckComboBox::setItemChecked(int item, bool checked) {
  if (QStandardItem* it = items_->item(item)) it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  setAccessibleDescription(summary());
  update();
}

QString CheckComboBox::summary() const {
  QStringList set;
  for (int i = 0; i < items_->rowCount(); ++i)
    if (items_->item(i)->checkState() == Qt::Checked) set << items_->item(i)->text();
  return set.isEmpty() ? tr("(none)") : set.join(QStringLiteral(", "));
}

void CheckComboBox::showPopup() { QComboBox::showPopup(); }

// A click on an entry only toggles it (the filter below keeps the click from
// the list); a click elsewhere, Return or Escape closes the list.
void CheckComboBox::hidePopup() {
  // Hiding the box hides its list again: that is no second end.
  const bool open = view()->isVisible();
  QComboBox::hidePopup();
  if (open) emit finished();
}

bool CheckComboBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view()->viewport() && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex index = view()->indexAt(mouse->position().toPoint());
    if (index.isValid()) {
      setItemChecked(index.row(), items_->item(index.row())->checkState() != Qt::Checked);
      return true;
    }
  }
  if (watched == view() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
    const int row = view()->currentIndex().row();
    if (row >= 0) setItemChecked(row, items_->item(row)->checkState() != Qt::Checked);
    return true;
  }
  return QComboBox::eventFilter(watched, event);
}

void CheckComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText = summary();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace tavrin::gui
