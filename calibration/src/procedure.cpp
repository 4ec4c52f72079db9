#include "calibration/procedure.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ui/user_interface.h"

namespace tavrin::calibration {
namespace {

constexpr const char* kRunningRefusal = "Error: The program is running, the operation isn't allowed!";
constexpr const char* kRunningClose = "Error: The program is running, please shut down this function later!";
constexpr const char* kEmptyIdentification =
    "Error: Address %d transmitter has an empty identification text, it is skipped!";

constexpr uint8_t kIdentificationSlot = 0;
constexpr uint8_t kIdentificationIndex = 28;

std::string joined(const std::vector<LiveField>& fields, std::string LiveField::*part) {
  std::string out;
  for (const LiveField& f : fields) {
    if (!out.empty()) out += " / ";
    out += f.*part;
  }
  return out;
}

// Without a front end of its own, the collect dialog is the seam's
// monitoring dialog with the fields side by side.
bool seamLiveReader(ui::UserInterface& ui, const LiveDialog& dialog, const LiveTick& tick) {
  ui::MonitorSpec spec;
  spec.caption = dialog.caption;
  for (const std::string& label : dialog.labels) spec.label += (spec.label.empty() ? "" : " / ") + label;
  const auto answer = ui.monitor(
      spec,
      [&](const std::string&) {
        const LiveSample sample = tick();
        ui::MonitorReading reading;
        reading.ok = sample.ok;
        reading.value = joined(sample.fields, &LiveField::value);
        reading.unit = joined(sample.fields, &LiveField::unit);
        return reading;
      },
      std::stop_token{});
  return answer.has_value();
}

}  // namespace

std::string_view indicatorName(Indicator indicator) {
  switch (indicator) {
    case Indicator::Error: return "error";
    case Indicator::Online: return "online";
    case Indicator::Vacant: return "vacant";
    case Indicator::Working: return "working";
    case Indicator::Success: return "success";
  }
  return "";
}

std::string LogLine::shown() const { return std::to_string(number) + "---" + text; }

std::string formatted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, again);
  va_end(again);
  return out;
}

std::string reportColumn(std::string_view text) {
  std::string column(text.substr(0, 13));
  column.resize(13, ' ');
  return column + "  ";
}

std::vector<uint8_t> floatBytes(std::span<const float> values) {
  std::vector<uint8_t> out;
  out.reserve(values.size() * 4);
  for (float v : values) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(bits >> shift));
  }
  return out;
}

std::vector<uint8_t> wordBytes(uint16_t value) {
  return {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

bool strictlyMonotonic(std::span<const float> v) {
  if (v.size() < 2) return false;
  const bool up = v[1] > v[0];
  for (size_t i = 1; i < v.size(); ++i)
    if (!(up ? v[i] > v[i - 1] : v[i] < v[i - 1])) return false;
  return true;
}

void StepWriter::finish() {
  if (!pending_.valid()) return;
  const bool stored = pending_.get();
  auto publish = std::move(publish_);
  publish_ = nullptr;
  if (publish) publish(stored);
}

void StepWriter::start(TrimFile file, std::function<void(bool stored)> publish) {
  finish();
  publish_ = std::move(publish);
  pending_ = std::async(std::launch::async, [f = std::move(file)] { return f.save(); });
}

BatchProcedure::BatchProcedure(TransmitterBus& bus, TrimDatabase database, ui::UserInterface& ui, SearchTexts texts)
    : bus_(bus), database_(std::move(database)), ui_(ui), texts_(texts), remembered_(bus.address()) {}

BatchProcedure::~BatchProcedure() {
  wait();
  if (!closed_) bus_.setAddress(remembered_);
}

void BatchProcedure::wait() {
  if (worker_.joinable()) worker_.join();
}

Stations BatchProcedure::stations() const {
  std::lock_guard lock(mutex_);
  return stations_;
}

std::vector<LogLine> BatchProcedure::log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

Buttons BatchProcedure::buttons() const {
  std::lock_guard lock(mutex_);
  return buttons_;
}

bool BatchProcedure::refusedWhileRunning() {
  if (!running_) return false;
  ui_.errorBox(kRunningRefusal);
  return true;
}

bool BatchProcedure::refuse(const std::string& text) {
  ui_.errorBox(text);
  return false;
}

void BatchProcedure::startWorker(std::function<void()> work) {
  wait();  // a worker that has ended leaves its thread to be joined
  running_ = true;
  if (observer_) observer_->runningChanged(true);
  worker_ = std::thread([this, work = std::move(work)] {
    work();
    running_ = false;
    if (observer_) observer_->runningChanged(false);
  });
}

void BatchProcedure::setIndicator(int address, Indicator indicator) {
  Station now;
  {
    std::lock_guard lock(mutex_);
    stations_[static_cast<size_t>(address)].indicator = indicator;
    now = stations_[static_cast<size_t>(address)];
  }
  if (observer_) observer_->stationChanged(address, now);
}

void BatchProcedure::addLog(std::string text, bool error) {
  LogLine line;
  {
    std::lock_guard lock(mutex_);
    line = LogLine{static_cast<int>(log_.size()) + 1, std::move(text), error};
    log_.push_back(line);
  }
  if (observer_) observer_->logAdded(line);
}

void BatchProcedure::controlsChanged() {
  if (observer_) observer_->controlsChanged();
}

int BatchProcedure::firstTransmitter() const {
  std::lock_guard lock(mutex_);
  for (int a = 0; a < kAddresses; ++a)
    if (!stations_[static_cast<size_t>(a)].identification.empty()) return a;
  return -1;
}

bool BatchProcedure::search() {
  if (refusedWhileRunning()) return false;
  if (!bus_.open()) return false;
  startWorker([this] { runSearch(); });
  return true;
}

void BatchProcedure::runSearch() {
  for (int a = 0; a < kAddresses; ++a) {
    {
      std::lock_guard lock(mutex_);
      stations_[static_cast<size_t>(a)] = Station{};
    }
    if (observer_) observer_->stationChanged(a, Station{});
  }
  bool anyFound = false;
  for (int a = 0; a < kAddresses; ++a) {
    const auto address = static_cast<uint8_t>(a);
    bus_.setAddress(address);
    std::array<uint8_t, kIdentificationSize> bytes{};
    size_t received = 0;
    const bool answered =
        bus_.present(address) && bus_.read(kIdentificationSlot, kIdentificationIndex, bytes, received);
    if (!answered) {
      setIndicator(a, Indicator::Vacant);
      addLog(formatted(texts_.notFound, a));
      continue;
    }
    std::string text = identificationText(bytes, received);
    if (text.empty()) {
      // No name for its database: it takes no part.
      setIndicator(a, Indicator::Error);
      addLog(formatted(kEmptyIdentification, a), true);
      continue;
    }
    Station found{std::move(text), Indicator::Online};
    {
      std::lock_guard lock(mutex_);
      stations_[static_cast<size_t>(a)] = found;
    }
    if (observer_) observer_->stationChanged(a, found);
    addLog(formatted(texts_.found, a));
    anyFound = true;
  }
  searched(anyFound);
}

bool BatchProcedure::close() {
  if (running_) return refuse(kRunningClose);
  wait();
  bus_.setAddress(remembered_);
  closed_ = true;
  return true;
}

bool BatchProcedure::liveReading(const LiveDialog& dialog, const LiveTick& tick) {
  const bool ok = liveReader_ ? liveReader_(dialog, tick) : seamLiveReader(ui_, dialog, tick);
  // The dialog lets a reading in flight end before it closes.
  if (pause_)
    pause_(kLiveClosingWait);
  else
    std::this_thread::sleep_for(kLiveClosingWait);
  return ok;
}

std::optional<float> BatchProcedure::readFloat(uint8_t slot, uint8_t index) {
  std::array<uint8_t, 4> bytes{};
  size_t received = 0;
  if (!bus_.read(slot, index, bytes, received) || received < bytes.size()) return std::nullopt;
  const uint32_t bits = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool BatchProcedure::writeAll(std::span<const std::pair<uint8_t, std::vector<uint8_t>>> writes, std::string& cause) {
  for (const auto& [index, data] : writes) {
    if (!bus_.write(kTrimSlot, index, data, cause)) {
      // The cause has the room of the program's error text buffer.
      if (cause.size() > 255) cause.resize(255);
      return false;
    }
  }
  return true;
}

}  // namespace tavrin::calibration
