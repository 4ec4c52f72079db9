#include "frame_model.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace tavrin::gui {

FrameModel::FrameModel(std::chrono::steady_clock::time_point origin, QObject* parent)
    : QAbstractTableModel(parent), origin_(origin) {}

int FrameModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FrameModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant FrameModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) return {};
  const Row& r = rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      switch (static_cast<Column>(index.column())) {
        case Time: return QString::fromStdString(app::frameTimeText(r.frame.at, origin_));
        case Direction: return QString::fromLatin1(app::directionText(r.frame.direction));
        case Address:
          return r.decoding.address ? QString::number(*r.decoding.address) : QStringLiteral("-");
        case Summary: return QString::fromStdString(r.decoding.summary);
        case Bytes: return QString::fromStdString(app::hexBytes(r.frame.bytes));
        case kColumnCount: break;
      }
      return {};
    case kAddressRole: return r.decoding.address ? QVariant(int{*r.decoding.address}) : QVariant();
    case Qt::ForegroundRole:
      switch (r.frame.outcome) {
        case app::FrameOutcome::TimedOut:
        case app::FrameOutcome::CrcError: return QBrush(QColor(192, 0, 0));
        case app::FrameOutcome::Discarded: return QBrush(QColor(128, 128, 128));
        case app::FrameOutcome::Sent: return QBrush(QColor(0, 0, 160));
        case app::FrameOutcome::Reply: return {};
      }
      return {};
    case Qt::FontRole:
      if (index.column() == Bytes || index.column() == Time) {
        QFont mono(QStringLiteral("Monospace"));
        mono.setStyleHint(QFont::TypeWriter);
        return mono;
      }
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == Time || index.column() == Address) return int{Qt::AlignRight | Qt::AlignVCenter};
      return {};
    default: return {};
  }
}

QVariant FrameModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case Time: return tr("Time (s)");
    case Direction: return tr("Dir");
    case Address: return tr("Address");
    case Summary: return tr("Summary");
    case Bytes: return tr("Bytes");
    default: return {};
  }
}

void FrameModel::append(std::vector<app::MonitorFrame> frames) {
  if (frames.empty()) return;
  // Decoded in arrival order, so that a time-out names the station asked.
  std::vector<Row> incoming;
  incoming.reserve(frames.size());
  for (app::MonitorFrame& f : frames) {
    app::FrameDecoding d = decoder_.decode(f);
    incoming.push_back({std::move(f), std::move(d)});
  }
  if (incoming.size() > static_cast<size_t>(kMaxRows))
    incoming.erase(incoming.begin(), incoming.end() - kMaxRows);
  const size_t total = rows_.size() + incoming.size();
  if (total > static_cast<size_t>(kMaxRows)) {
    const size_t drop = std::min(rows_.size(), std::max<size_t>(total - kMaxRows, kDropBlock));
    beginRemoveRows({}, 0, static_cast<int>(drop) - 1);
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(drop));
    endRemoveRows();
  }
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(incoming.size()) - 1);
  for (Row& r : incoming) rows_.push_back(std::move(r));
  endInsertRows();
}

void FrameModel::clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

std::string FrameModel::line(int row) const {
  const Row& r = rows_.at(static_cast<size_t>(row));
  return app::frameLine(r.frame, r.decoding, origin_);
}

void AddressFilter::setAddress(std::optional<int> address) {
  if (address == address_) return;
  address_ = address;
  invalidateFilter();
}

bool AddressFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  if (!address_) return true;
  const QVariant a = sourceModel()->index(sourceRow, 0, sourceParent).data(FrameModel::kAddressRole);
  return a.isValid() && a.toInt() == *address_;
}

}  // namespace tavrin::gui
