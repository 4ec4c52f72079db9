#include "table_model.h"

#include <QBrush>
#include <QColor>
#include <QStringList>

#include "icons.h"

namespace tavrin::gui {

namespace {

QString text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
QColor color(const app::Rgb& c) { return QColor(c.r, c.g, c.b); }

}  // namespace

ParameterTableModel::ParameterTableModel(QObject* parent) : QAbstractTableModel(parent) {}

QFont ParameterTableModel::tableFont() {
  QFont font(QString::fromUtf8(app::Table::kFont.data(), static_cast<qsizetype>(app::Table::kFont.size())));
  font.setPixelSize(app::Table::kFontHeight);
  font.setWeight(static_cast<QFont::Weight>(app::Table::kFontWeight));
  font.setStyleHint(QFont::Serif);
  return font;
}

void ParameterTableModel::reset(const app::Table& table) {
  beginResetModel();
  table_ = table;
  endResetModel();
}

void ParameterTableModel::updateRows(const app::Table& table, int first, int last) {
  // Rows that are not there on both sides call for a reset.
  if (table.rows.size() != table_.rows.size()) {
    reset(table);
    return;
  }
  first = std::max(first, 1);
  last = std::min(last, static_cast<int>(table.rows.size()));
  if (first > last) return;
  for (int r = first; r <= last; ++r) table_.rows[static_cast<size_t>(r - 1)] = table.rows[static_cast<size_t>(r - 1)];
  emit dataChanged(index(first - 1, 0), index(last - 1, columnCount() - 1));
}

const app::TableRow* ParameterTableModel::tableRow(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= table_.rows.size()) return nullptr;
  return &table_.rows[static_cast<size_t>(row)];
}

const app::Cell* ParameterTableModel::cell(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this || index.column() < 0 || index.column() >= columnCount())
    return nullptr;
  const app::TableRow* row = tableRow(index.row());
  return row ? &row->cells[static_cast<size_t>(index.column())] : nullptr;
}

int ParameterTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(table_.rows.size());
}

int ParameterTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(app::Table::kHeader.size());
}

QString ParameterTableModel::accessibleDescription(const app::Cell& cell, const app::TableRow& row) const {
  if (row.merged) return tr("heading");
  QStringList parts;
  switch (cell.kind) {
    case app::CellKind::Combo: parts << tr("choice of %1").arg(cell.items.size()); break;
    case app::CellKind::CheckCombo: {
      QStringList set;
      for (size_t i = 0; i < cell.items.size(); ++i)
        if (app::bitItemSet(cell, i)) set << text(cell.items[i]);
      parts << (set.isEmpty() ? tr("nothing set") : tr("set: %1").arg(set.join(QStringLiteral(", "))));
      break;
    }
    case app::CellKind::Button: parts << tr("button"); break;
    case app::CellKind::Text: break;
  }
  if (cell.image == app::kImageMethod)
    parts << tr("method, double-click runs it");
  else if (cell.image == app::kImageMenu)
    parts << tr("menu, double-click opens it");
  else if (!cell.text.empty() && cell.kind != app::CellKind::Button)
    parts << (cell.readOnly ? tr("read-only") : tr("editable"));
  return parts.join(QStringLiteral("; "));
}

QVariant ParameterTableModel::data(const QModelIndex& index, int role) const {
  const app::Cell* c = cell(index);
  if (!c) return {};
  const app::TableRow& row = *tableRow(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return text(c->text);
    case Qt::AccessibleTextRole: {
      // A screen reader hears the column with the text, and a cell that
      // shows nothing as such rather than as silence. A merged row is one
      // heading, whichever of its cells is asked.
      if (row.merged) return text(row.cells[0].text).trimmed();
      const QString shown = text(c->text).trimmed();
      return QStringLiteral("%1: %2").arg(headerData(index.column(), Qt::Horizontal).toString(),
                                          shown.isEmpty() ? tr("empty") : shown);
    }
    case Qt::AccessibleDescriptionRole: return accessibleDescription(*c, row);
    case Qt::ToolTipRole:
      if (c->kind == app::CellKind::CheckCombo) return accessibleDescription(*c, row);
      return {};
    case Qt::DecorationRole: return c->image == app::kNoImage ? QVariant() : QVariant(gridImage(c->image));
    case Qt::BackgroundRole: return QBrush(color(c->background));
    case Qt::ForegroundRole: return QBrush(color(c->foreground));
    case Qt::TextAlignmentRole: return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case KindRole: return static_cast<int>(c->kind);
    case ItemsRole: {
      QStringList items;
      for (const std::string& i : c->items) items << text(i);
      return items;
    }
    case CheckedItemsRole: {
      QList<bool> set;
      for (size_t i = 0; i < c->items.size(); ++i) set << app::bitItemSet(*c, i);
      return QVariant::fromValue(set);
    }
    case BitValueRole: return static_cast<uint>(c->bitValue);
    case MergedRole: return row.merged;
    case RowHeightRole: return row.height;
    default: return {};
  }
}

bool ParameterTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
  const QString typed = value.toString();
  const QByteArray utf8 = typed.toUtf8();
  table_.rows[static_cast<size_t>(index.row())].cells[static_cast<size_t>(index.column())].text =
      std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
  emit dataChanged(index, index);
  emit valueEdited(index.row() + 1, index.column(), typed);
  return true;
}

Qt::ItemFlags ParameterTableModel::flags(const QModelIndex& index) const {
  const app::Cell* c = cell(index);
  if (!c) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!c->readOnly && c->kind != app::CellKind::Button) f |= Qt::ItemIsEditable;
  return f;
}

QVariant ParameterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= columnCount()) return {};
    const std::string_view h = app::Table::kHeader[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
      return QString::fromUtf8(h.data(), static_cast<qsizetype>(h.size()));
    return {};
  }
  if (section < 0 || section >= rowCount()) return {};
  if (role == Qt::DisplayRole) return section + 1;
  return {};
}

}  // namespace tavrin::gui
