#include "calibration/linearization.h"

#include <charconv>

#include "ui/user_interface.h"

namespace tavrin::calibration {
namespace {

namespace k = keys;

constexpr uint8_t kMeasuredValue = 29;
constexpr uint8_t kPointCount = 34;
constexpr uint8_t kCollectedValues = 35;
constexpr uint8_t kReferenceValues = 36;
constexpr uint16_t kStartDownload = 0x0101;
constexpr uint16_t kEndDownload = 0x0103;

constexpr const char* kNotEnabled = "Error: The operation is not enabled in the dialog now!";
constexpr const char* kNoCount = "Error: Please select trim points or continue the uncompleted calibration!";

std::string dashes() { return std::string(97, '-'); }

// A reference value spread by the limits button: six significant digits,
// as a person would type it.
std::string spreadValue(double v) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 6);
  return ec == std::errc() ? std::string(buffer, end) : formatFixed(v);
}

bool validCount(long long n) { return n >= kMinTrimPoints && n <= kMaxTrimPoints; }

}  // namespace

Linearization::Linearization(TransmitterBus& bus, TrimDatabase database, ui::UserInterface& ui)
    : BatchProcedure(bus, std::move(database), ui,
                     {"Address %d transmitter is found!", "Cannot find address %d transmitter!"}) {}

Linearization::~Linearization() { wait(); }

LinearizationState Linearization::state() const {
  std::lock_guard lock(mutex_);
  LinearizationState s;
  s.stations = stations_;
  s.count = count_;
  s.references = references_;
  s.collected = collected_;
  s.rowEnabled = rowEnabled_;
  s.buttons = buttons_;
  s.running = running();
  return s;
}

void Linearization::searched(bool anyFound) {
  {
    std::lock_guard lock(mutex_);
    buttons_ = Buttons{anyFound, anyFound, anyFound, anyFound};
  }
  controlsChanged();
}

void Linearization::selectCountLocked(int count) {
  count_ = count;
  for (int n = 0; n < kMaxTrimPoints; ++n) rowEnabled_[static_cast<size_t>(n)] = n < count;
}

bool Linearization::selectCount(int count) {
  if (refusedWhileRunning()) return false;
  {
    std::lock_guard lock(mutex_);
    if (buttons_.countLists && validCount(count)) selectCountLocked(count);
    else count = 0;
  }
  if (count == 0) return refuse(kNotEnabled);
  controlsChanged();
  return true;
}

bool Linearization::setReference(int point, std::string text) {
  bool enabled = false;
  {
    std::lock_guard lock(mutex_);
    enabled = point >= 0 && point < kMaxTrimPoints && rowEnabled_[static_cast<size_t>(point)];
    if (enabled) references_[static_cast<size_t>(point)] = std::move(text);
  }
  if (!enabled) return refuse(kNotEnabled);
  controlsChanged();
  return true;
}

bool Linearization::distribute(std::string_view lower, std::string_view upper) {
  if (refusedWhileRunning()) return false;
  const auto low = typedNumber(lower);
  const auto high = typedNumber(upper);
  const char* problem = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (!buttons_.countLists) problem = kNotEnabled;
    else if (count_ == 0) problem = kNoCount;
    else if (!low || !high) problem = "Error: Please input the lower limit and the upper limit!";
    else
      for (int n = 0; n < count_; ++n)
        references_[static_cast<size_t>(n)] = spreadValue(*low + (*high - *low) * n / (count_ - 1));
  }
  if (problem) return refuse(problem);
  controlsChanged();
  return true;
}

bool Linearization::collect(int point) {
  if (refusedWhileRunning()) return false;
  int count = 0;
  std::array<std::string, kMaxTrimPoints> references;
  Stations stations;
  bool enabled = false;
  {
    std::lock_guard lock(mutex_);
    enabled = point >= 0 && point < kMaxTrimPoints && rowEnabled_[static_cast<size_t>(point)];
    count = count_;
    references = references_;
    stations = stations_;
  }
  if (!enabled) return refuse(kNotEnabled);
  if (references[static_cast<size_t>(point)].empty())
    return refuse(formatted("Error: Please input referenced data of collection point %d!", point + 1));
  if (firstTransmitter() < 0) return refuse("Error: Cann't find valid transmitter information!");
  if (!bus_.open()) return false;

  bool first = true;
  bool all = true;
  bool any = false;
  StepWriter writer;
  for (int a = 0; a < kAddresses; ++a) {
    const Station& station = stations[static_cast<size_t>(a)];
    if (station.identification.empty()) continue;
    bus_.setAddress(static_cast<uint8_t>(a));
    const Indicator before = state().stations[static_cast<size_t>(a)].indicator;
    setIndicator(a, Indicator::Working);
    std::optional<double> value;
    if (first) {
      first = false;
      std::string shown;
      const LiveTick tick = [&] {
        const auto v = readFloat(kTrimSlot, kMeasuredValue);
        shown = v ? formatFixed(*v, 3) : std::string();
        return LiveSample{v.has_value(), {{"Value", shown, ""}}};
      };
      if (!liveReading({"Linear collect value", a, {"Value"}}, tick)) {
        // Cancel ends the whole collection: nothing is touched.
        setIndicator(a, before);
        return false;
      }
      // OK takes what the field shows; an empty field was never read.
      if (!shown.empty()) value = numberOf(shown);
    } else if (const auto v = readFloat(kTrimSlot, kMeasuredValue)) {
      value = *v;
    }

    writer.finish();  // the transmitter before, in order
    auto file = database_.open(station.identification);
    if (!file) continue;  // the search gives no transmitter without a name
    file->set(k::kLinearization, k::kTrimPoints, formatCount(count));
    for (int n = 0; n < count; ++n)
      file->set(k::kLinearization, k::numbered(k::kTrimedData, n), references[static_cast<size_t>(n)]);
    file->set(k::kLinearization, k::numbered(k::kCollectionData, point), value ? formatFixed(*value) : "");
    writer.start(std::move(*file), [this, a, point, value, &any, &all](bool stored) {
      if (value && stored) {
        any = true;
        setIndicator(a, Indicator::Success);
        addLog(formatted("Address %d transmitter collect %d value: %s", a, point + 1, formatFixed(*value).c_str()));
        return;
      }
      all = false;
      setIndicator(a, Indicator::Error);
      if (!stored) addLog(formatted("Error: The database of address %d transmitter cannot be written!", a), true);
      if (!value) addLog(formatted("Error: Address %d transmitter collect %d error!", a, point + 1), true);
    });
  }
  writer.finish();
  if (any) {
    {
      std::lock_guard lock(mutex_);
      collected_[static_cast<size_t>(point)] = true;
    }
    controlsChanged();
  }
  return all;
}

bool Linearization::resume() {
  if (refusedWhileRunning()) return false;
  if (!buttons().resume) return refuse(kNotEnabled);
  const int first = firstTransmitter();
  if (first < 0) return refuse("Error: Cann't find valid transmitter information!");
  const auto file = database_.open(stations()[static_cast<size_t>(first)].identification);
  if (!file) return refuse("Error: Cann't find valid transmitter information!");
  const long long count = countOf(file->get(k::kLinearization, k::kTrimPoints));
  if (!validCount(count)) return refuse("Error: Linearization trim points in database is illegal!");
  {
    std::lock_guard lock(mutex_);
    selectCountLocked(static_cast<int>(count));
    for (int n = 0; n < kMaxTrimPoints; ++n) {
      const auto i = static_cast<size_t>(n);
      if (n < count) {
        references_[i] = file->get(k::kLinearization, k::numbered(k::kTrimedData, n));
        collected_[i] = !file->get(k::kLinearization, k::numbered(k::kCollectionData, n)).empty();
      } else {
        collected_[i] = false;
      }
    }
  }
  controlsChanged();
  return true;
}

bool Linearization::download() {
  if (refusedWhileRunning()) return false;
  const LinearizationState s = state();
  if (!s.buttons.download) return refuse(kNotEnabled);
  if (s.count == 0) return refuse(kNoCount);
  for (int n = 0; n < s.count; ++n)
    if (s.references[static_cast<size_t>(n)].empty()) return refuse("Error: Please input referenced value!");
  for (int n = 0; n < s.count; ++n)
    if (!s.collected[static_cast<size_t>(n)]) return refuse("Error: Please complete collection first, then download!");
  const Stations stations = s.stations;
  if (!bus_.open()) return false;
  startWorker([this, stations] {
    for (int a = 0; a < kAddresses; ++a) {
      const std::string& identification = stations[static_cast<size_t>(a)].identification;
      if (identification.empty()) continue;
      setIndicator(a, Indicator::Working);
      bus_.setAddress(static_cast<uint8_t>(a));
      setIndicator(a, downloadTransmitter(a, identification) ? Indicator::Success : Indicator::Error);
    }
  });
  return true;
}

bool Linearization::downloadTransmitter(int a, const std::string& identification) {
  const auto file = database_.open(identification);
  if (!file) return false;
  const long long count = countOf(file->get(k::kLinearization, k::kTrimPoints));
  if (!validCount(count)) {
    addLog(formatted("The trim points of address %d transmitter is illegal!", a), true);
    return false;
  }
  std::array<float, kMaxTrimPoints> collected{};
  std::array<float, kMaxTrimPoints> reference{};
  for (int n = 0; n < kMaxTrimPoints; ++n) {
    const std::string c = file->get(k::kLinearization, k::numbered(k::kCollectionData, n));
    const std::string r = file->get(k::kLinearization, k::numbered(k::kTrimedData, n));
    // A point in use without its values would go down as 0.
    if (n < count && c.empty()) {
      addLog(formatted("The collect value of address %d transmitter is illegal!", a), true);
      return false;
    }
    if (n < count && r.empty()) {
      addLog(formatted("The reference value of address %d transmitter is illegal!", a), true);
      return false;
    }
    collected[static_cast<size_t>(n)] = static_cast<float>(numberOf(c));
    reference[static_cast<size_t>(n)] = static_cast<float>(numberOf(r));
  }
  const auto used = static_cast<size_t>(count);
  std::string collectLine = "Collect value: ";
  std::string referenceLine = "Reference value: ";
  for (size_t n = 0; n < used; ++n) {
    collectLine += reportColumn(formatFixed(collected[n]));
    referenceLine += reportColumn(formatFixed(reference[n]));
  }
  addLog(dashes());
  addLog(formatted("Address %d line trim data", a));
  addLog(collectLine);
  addLog(referenceLine);
  addLog(dashes());

  if (!strictlyMonotonic(std::span<const float>(collected.data(), used))) {
    addLog(formatted("The collect value of address %d transmitter is illegal!", a), true);
    return false;
  }
  if (!strictlyMonotonic(std::span<const float>(reference.data(), used))) {
    addLog(formatted("The reference value of address %d transmitter is illegal!", a), true);
    return false;
  }
  const std::pair<uint8_t, std::vector<uint8_t>> writes[] = {
      {kAccessCodeIndex, kAccessCode},
      {kTrimCommandIndex, wordBytes(kStartDownload)},
      {kPointCount, {static_cast<uint8_t>(count)}},
      {kCollectedValues, floatBytes(collected)},
      {kReferenceValues, floatBytes(reference)},
      {kTrimCommandIndex, wordBytes(kEndDownload)},
  };
  std::string cause;
  if (!writeAll(writes, cause)) {
    addLog(formatted("Linearization of address %d failed, cause: %s!", a, cause.c_str()), true);
    return false;
  }
  addLog(formatted("Linearization is OK in address %d", a));
  return true;
}

bool Linearization::loadReferences() {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const auto path =
      ui_.openFileName({"", std::string(kReferenceFileFilter), std::string(kReferenceFileExtension), ""});
  return path && loadReferences(*path);
}

bool Linearization::loadReferences(const std::string& path) {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const TrimFile file = TrimFile::open(path);
  const long long count = countOf(file.get(k::kLinearization, k::kFileTrimPoints));
  if (!validCount(count)) return refuse("Error: " + path + " holds no valid number of trim points!");
  {
    std::lock_guard lock(mutex_);
    selectCountLocked(static_cast<int>(count));
    for (int n = 0; n < kMaxTrimPoints; ++n)
      references_[static_cast<size_t>(n)] = file.get(k::kLinearization, k::numbered(k::kFileTrimedValue, n));
  }
  controlsChanged();
  return true;
}

bool Linearization::saveReferences() {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const auto path =
      ui_.saveFileName({"", std::string(kReferenceFileFilter), std::string(kReferenceFileExtension), ""});
  return path && saveReferences(*path);
}

bool Linearization::saveReferences(const std::string& path) {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const LinearizationState s = state();
  TrimFile file = TrimFile::open(path);
  file.set(k::kLinearization, k::kFileTrimPoints, formatCount(s.count));
  for (int n = 0; n < kMaxTrimPoints; ++n)
    file.set(k::kLinearization, k::numbered(k::kFileTrimedValue, n), s.references[static_cast<size_t>(n)]);
  if (!file.save()) return refuse("Error: " + path + " file cannot be written!");
  return true;
}

}  // namespace tavrin::calibration
