// The parameter table as a Qt item model over a copy of the session's
// table: row r of the model is row r + 1 of the session's table (its row
// 0 is the header). Text, image, colours and the cell kinds are roles; the
// view applies merged rows and row heights (table_view.h).
//
// An edit is kept in the copy so that the cell shows what was typed until
// the session's commit answers, and reported with valueEdited().
#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include "app/table.h"

namespace tavrin::gui {

class ParameterTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Role {
    KindRole = Qt::UserRole + 1,  // app::CellKind as int
    ItemsRole,                    // QStringList: combo and check-combo texts
    CheckedItemsRole,             // QList<bool>: which check-combo items are set
    BitValueRole,                 // uint: a check-combo cell's value
    MergedRole,                   // bool: the row is one cell
    RowHeightRole,                // int: 0 hides the row
  };

  explicit ParameterTableModel(QObject* parent = nullptr);

  // The table's font: "Times New Roman", 17 pixels, bold, a roman face.
  static QFont tableFont();

  // Takes the whole table (a refill).
  void reset(const app::Table& table);
  // Takes rows first to last (counted as the session's, from 1).
  void updateRows(const app::Table& table, int first, int last);

  // The cell behind an index, nullptr for none.
  const app::Cell* cell(const QModelIndex& index) const;
  const app::TableRow* tableRow(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 signals:
  // A writable cell was given a text; row counted from 1 as the session's.
  void valueEdited(int row, int column, const QString& text);

 private:
  QString accessibleDescription(const app::Cell& cell, const app::TableRow& row) const;

  app::Table table_;
};

}  // namespace tavrin::gui
