// The bus monitor's frames as a table: time, direction, address, decoded
// summary, bytes (app/frame_format.h, the same texts as a saved file), the
// outcome as a colour (time-outs and CRC errors dark red, discarded bytes
// grey). It keeps the newest kMaxRows frames; older ones go in blocks.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <chrono>
#include <optional>
#include <vector>

#include "app/bus_monitor.h"
#include "app/frame_format.h"

namespace tavrin::gui {

class FrameModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { Time, Direction, Address, Summary, Bytes, kColumnCount };
  // The frame's station, an int, or nothing (for the address filter).
  static constexpr int kAddressRole = Qt::UserRole + 1;
  static constexpr int kMaxRows = 20000;
  static constexpr int kDropBlock = 2000;

  explicit FrameModel(std::chrono::steady_clock::time_point origin, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  void append(std::vector<app::MonitorFrame> frames);
  void clear();

  // The line of a saved file for a row.
  std::string line(int row) const;

 private:
  struct Row {
    app::MonitorFrame frame;
    app::FrameDecoding decoding;
  };
  std::chrono::steady_clock::time_point origin_;
  app::FrameDecoder decoder_;
  std::vector<Row> rows_;
};

// Rows of one address, or all.
class AddressFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void setAddress(std::optional<int> address);
  std::optional<int> address() const { return address_; }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  std::optional<int> address_;
};

}  // namespace tavrin::gui
