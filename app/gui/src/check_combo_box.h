// A drop-down list whose entries carry check boxes: the editor of a bit
// enumeration's value cell. The closed box shows the checked entries.
#pragma once

#include <QComboBox>
#include <QList>
#include <QStringList>

class QStandardItemModel;

namespace tavrin::gui {

class CheckComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit CheckComboBox(QWidget* parent = nullptr);

  void setItems(const QStringList& texts, const QList<bool>& checked);
  QList<bool> checkedItems() const;
  void setItemChecked(int item, bool checked);

  void showPopup() override;
  void hidePopup() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // The list closed after the person checked what they wanted.
  void finished();

 private:
  QString summary() const;

  QStandardItemModel* items_;
};

}  // namespace tavrin::gui
