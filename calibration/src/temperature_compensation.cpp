#include "calibration/temperature_compensation.h"

#include "model/units.h"
#include "ui/user_interface.h"

namespace tavrin::calibration {
namespace {

namespace k = keys;

constexpr uint8_t kRawTemperature = 31;
constexpr uint8_t kRawPressure = 37;
constexpr uint8_t kTemperatureCount = 39;
constexpr uint8_t kPressureCount = 40;
constexpr uint8_t kCollectedTemperatures = 41;
constexpr uint8_t kReferenceTemperatures = 42;
constexpr uint8_t kReferencePressures = 45;
constexpr uint8_t kCollectedPressuresRow0 = 46;
constexpr uint16_t kStartDownload = 0x0201;
constexpr uint16_t kEndDownload = 0x0203;
// The unit codes the collect dialog shows beside its values: the pressure's
// from the pressure block in slot 1, the temperature's from the trim block.
constexpr uint8_t kPressureUnitSlot = 1;
constexpr uint8_t kPressureUnitIndex = 106;
constexpr uint8_t kTemperatureUnitIndex = 32;

constexpr const char* kNotEnabled = "Error: The operation is not enabled in the dialog now!";
constexpr const char* kNoCounts = "Error: Please select trim points or continue the uncompleted calibration!";
constexpr const char* kNoTemperature = "Error: Please input referenced temperature value!";
constexpr const char* kNoPressure = "Error: Please input referenced pressure value!";
constexpr const char* kStoredTrim =
    "WARNING: There are current transmitter trim data in database, whether or not do temp compensation?\r\n"
    "(No, then choose 'continue trim', Yes, do trim again)";
constexpr const char* kResetTrim = "WARNING: Are you enusre to reset current trim data, The temp trim will be done again?";
constexpr const char* kIllegalStored = "WARNING: Temperature trim points are illegal, Reset?";

bool validTemperatures(long long n) { return n >= kMinTemperaturePoints && n <= kMaxTemperaturePoints; }
bool validPressures(long long n) { return n >= kMinPressurePoints && n <= kMaxPressurePoints; }

std::string dashes() { return std::string(115, '-'); }

}  // namespace

TemperatureCompensation::TemperatureCompensation(TransmitterBus& bus, TrimDatabase database, ui::UserInterface& ui)
    : BatchProcedure(bus, std::move(database), ui,
                     {"The transmitter test OK in address %d!", "Cannot find the transmitter in address %d"}) {}

TemperatureCompensation::~TemperatureCompensation() { wait(); }

TemperatureCompensationState TemperatureCompensation::state() const {
  std::lock_guard lock(mutex_);
  TemperatureCompensationState s;
  s.stations = stations_;
  s.temperatureCount = temperatureCount_;
  s.pressureCount = pressureCount_;
  s.temperatures = temperatures_;
  s.pressures = pressures_;
  s.collected = collected_;
  s.rowEnabled = rowEnabled_;
  s.columnEnabled = columnEnabled_;
  s.buttons = buttons_;
  s.running = running();
  return s;
}

void TemperatureCompensation::searched(bool anyFound) {
  {
    std::lock_guard lock(mutex_);
    buttons_ = Buttons{anyFound, anyFound, anyFound, anyFound};
    // Until the counts lay out the grid, every field and button is there.
    rowEnabled_.fill(anyFound);
    columnEnabled_.fill(anyFound);
  }
  controlsChanged();
}

void TemperatureCompensation::layOut(int temperatureCount, int pressureCount) {
  {
    std::lock_guard lock(mutex_);
    temperatureCount_ = temperatureCount;
    pressureCount_ = pressureCount;
    for (int t = 0; t < kMaxTemperaturePoints; ++t) rowEnabled_[static_cast<size_t>(t)] = t < temperatureCount;
    for (int p = 0; p < kMaxPressurePoints; ++p) columnEnabled_[static_cast<size_t>(p)] = p < pressureCount;
  }
  controlsChanged();
}

bool TemperatureCompensation::selectTemperatureCount(int count) {
  return selectCounts(count, state().pressureCount);
}

bool TemperatureCompensation::selectPressureCount(int count) {
  return selectCounts(state().temperatureCount, count);
}

bool TemperatureCompensation::selectCounts(int temperatureCount, int pressureCount) {
  if (refusedWhileRunning()) return false;
  const bool fits = (temperatureCount == 0 || validTemperatures(temperatureCount)) &&
                    (pressureCount == 0 || validPressures(pressureCount));
  if (!buttons().countLists || !fits) return refuse(kNotEnabled);
  {
    std::lock_guard lock(mutex_);
    temperatureCount_ = temperatureCount;
    pressureCount_ = pressureCount;
  }
  controlsChanged();
  if (temperatureCount != 0 && pressureCount != 0) consultDatabase();
  return true;
}

void TemperatureCompensation::consultDatabase() {
  const TemperatureCompensationState s = state();
  const int first = firstTransmitter();
  auto file = first < 0 ? std::nullopt : database_.open(s.stations[static_cast<size_t>(first)].identification);
  if (!file) {
    layOut(s.temperatureCount, s.pressureCount);
    return;
  }
  const std::string storedTemperatures = file->get(k::kTemperatureTrim, k::kTempPoints);
  const std::string storedPressures = file->get(k::kTemperatureTrim, k::kPresPoints);
  const long long t = countOf(storedTemperatures);
  const long long p = countOf(storedPressures);
  if (validTemperatures(t) && validPressures(p)) {
    // Starting again throws the stored trim away: asked twice.
    if (ui_.warningQuestion(kStoredTrim) && ui_.warningQuestion(kResetTrim)) {
      file->set(k::kTemperatureTrim, k::kTempPoints, formatCount(s.temperatureCount));
      file->set(k::kTemperatureTrim, k::kPresPoints, formatCount(s.pressureCount));
      // The old collections must not count for the new grid.
      for (int row = 0; row < kMaxTemperaturePoints; ++row)
        file->set(k::kTemperatureTrim, k::numbered(k::kCollectionTempData, row), "");
      for (int i = 0; i < kGridPoints; ++i) file->set(k::kTemperatureTrim, k::numbered(k::kCollectionPresData, i), "");
      if (!file->save()) ui_.errorBox("Error: " + file->path() + " file cannot be written!");
      {
        std::lock_guard lock(mutex_);
        collected_.fill(false);
      }
      layOut(s.temperatureCount, s.pressureCount);
    } else {
      layOut(static_cast<int>(t), static_cast<int>(p));
    }
    return;
  }
  const bool illegal = (!storedTemperatures.empty() && !validTemperatures(t)) ||
                       (!storedPressures.empty() && !validPressures(p));
  if (illegal) {
    if (!ui_.warningQuestion(kIllegalStored)) return;
    file->set(k::kTemperatureTrim, k::kTempPoints, "");
    file->set(k::kTemperatureTrim, k::kPresPoints, "");
    if (!file->save()) ui_.errorBox("Error: " + file->path() + " file cannot be written!");
  }
  layOut(s.temperatureCount, s.pressureCount);
}

bool TemperatureCompensation::setReferenceTemperature(int row, std::string text) {
  bool enabled = false;
  {
    std::lock_guard lock(mutex_);
    enabled = row >= 0 && row < kMaxTemperaturePoints && rowEnabled_[static_cast<size_t>(row)];
    if (enabled) temperatures_[static_cast<size_t>(row)] = std::move(text);
  }
  if (!enabled) return refuse(kNotEnabled);
  controlsChanged();
  return true;
}

bool TemperatureCompensation::setReferencePressure(int column, std::string text) {
  bool enabled = false;
  {
    std::lock_guard lock(mutex_);
    enabled = column >= 0 && column < kMaxPressurePoints && columnEnabled_[static_cast<size_t>(column)];
    if (enabled) pressures_[static_cast<size_t>(column)] = std::move(text);
  }
  if (!enabled) return refuse(kNotEnabled);
  controlsChanged();
  return true;
}

bool TemperatureCompensation::collect(int point) {
  if (refusedWhileRunning()) return false;
  const TemperatureCompensationState s = state();
  if (point < 0 || point >= kGridPoints || !s.pointEnabled(point)) return refuse(kNotEnabled);
  const int row = point / 5;
  const int column = point % 5;
  if (s.temperatures[static_cast<size_t>(row)].empty()) return refuse(kNoTemperature);
  if (s.pressures[static_cast<size_t>(column)].empty()) return refuse(kNoPressure);
  // The counts are the dialog's, the same for every transmitter: checked
  // once, before anything is collected that could not be stored.
  if (!validTemperatures(s.temperatureCount)) return refuse("Error: Illegal temperature points!");
  if (!validPressures(s.pressureCount)) return refuse("Error: Illegal pressure points!");
  if (firstTransmitter() < 0) return refuse("Error: Cann't find valid transmitter information!");
  if (!bus_.open()) return false;

  bool first = true;
  bool all = true;
  bool any = false;
  StepWriter writer;
  for (int a = 0; a < kAddresses; ++a) {
    const Station& station = s.stations[static_cast<size_t>(a)];
    if (station.identification.empty()) continue;
    bus_.setAddress(static_cast<uint8_t>(a));
    const Indicator before = state().stations[static_cast<size_t>(a)].indicator;
    setIndicator(a, Indicator::Working);
    std::optional<std::pair<float, float>> pair;
    if (first) {
      first = false;
      std::string temperatureUnit;
      std::string pressureUnit;
      bool unitsRead = false;
      const LiveTick tick = [&] {
        const auto t = readFloat(kTrimSlot, kRawTemperature);
        const auto p = readFloat(kTrimSlot, kRawPressure);
        if (!unitsRead) {
          auto unit = [&](uint8_t slot, uint8_t index, std::string& text) {
            std::array<uint8_t, 2> code{};
            size_t received = 0;
            const bool ok = bus_.read(slot, index, code, received) && received == code.size();
            text = ok ? std::string(model::unitCodeText(code[0] << 8 | code[1])) : std::string();
            return ok;
          };
          unit(kPressureUnitSlot, kPressureUnitIndex, pressureUnit);
          unitsRead = unit(kTrimSlot, kTemperatureUnitIndex, temperatureUnit);
        }
        // What OK takes: the last pair that was read in full.
        if (t && p) pair = std::make_pair(*t, *p);
        return LiveSample{t && p,
                          {{"Temperature", t ? formatFixed(*t, 2) : std::string(), temperatureUnit},
                           {"Pressure", p ? formatFixed(*p, 6) : std::string(), pressureUnit}}};
      };
      if (!liveReading({"Temperature trim collect", a, {"Temperature", "Pressure"}}, tick)) {
        setIndicator(a, before);
        return false;
      }
    } else {
      const auto t = readFloat(kTrimSlot, kRawTemperature);
      const auto p = t ? readFloat(kTrimSlot, kRawPressure) : std::nullopt;
      if (t && p) pair = std::make_pair(*t, *p);
    }

    writer.finish();  // the transmitter before, in order
    auto file = database_.open(station.identification);
    if (!file) continue;
    const std::string_view section = k::kTemperatureTrim;
    file->set(section, k::kTempPoints, formatCount(s.temperatureCount));
    file->set(section, k::kPresPoints, formatCount(s.pressureCount));
    for (int t = 0; t < kMaxTemperaturePoints; ++t)
      file->set(section, k::numbered(k::kTrimedTempData, t),
                t < s.temperatureCount ? s.temperatures[static_cast<size_t>(t)] : std::string());
    for (int p = 0; p < kMaxPressurePoints; ++p)
      file->set(section, k::numbered(k::kTrimedPresData, p),
                p < s.pressureCount ? s.pressures[static_cast<size_t>(p)] : std::string());
    file->set(section, k::numbered(k::kCollectionTempData, row), pair ? formatFixed(pair->first) : "");
    file->set(section, k::numbered(k::kCollectionPresData, point), pair ? formatFixed(pair->second) : "");
    writer.start(std::move(*file), [this, a, point, pair, &any, &all](bool stored) {
      if (pair && stored) {
        any = true;
        setIndicator(a, Indicator::Success);
        addLog(formatted("Address %d, collection point %d: the temp collect value: %s; press collect value: %s", a,
                         point + 1, formatFixed(pair->first).c_str(), formatFixed(pair->second).c_str()));
        return;
      }
      all = false;
      setIndicator(a, Indicator::Error);
      if (!stored) addLog(formatted("Error: The database of address %d transmitter cannot be written!", a), true);
      if (!pair)
        addLog(formatted("Temperature compensation collection point %d of address %d error!", point + 1, a), true);
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

bool TemperatureCompensation::resume() {
  if (refusedWhileRunning()) return false;
  if (!buttons().resume) return refuse(kNotEnabled);
  const int first = firstTransmitter();
  if (first < 0) return refuse("Error: Cann't find valid transmitter information!");
  const auto file = database_.open(stations()[static_cast<size_t>(first)].identification);
  if (!file) return refuse("Error: Cann't find valid transmitter information!");
  const long long t = countOf(file->get(k::kTemperatureTrim, k::kTempPoints));
  const long long p = countOf(file->get(k::kTemperatureTrim, k::kPresPoints));
  if (!validTemperatures(t) || !validPressures(p))
    return refuse(formatted("Error: The temp. points is illegal in address %d!", first));
  layOut(static_cast<int>(t), static_cast<int>(p));
  {
    std::lock_guard lock(mutex_);
    for (int row = 0; row < kMaxTemperaturePoints; ++row)
      temperatures_[static_cast<size_t>(row)] = file->get(k::kTemperatureTrim, k::numbered(k::kTrimedTempData, row));
    for (int column = 0; column < kMaxPressurePoints; ++column)
      pressures_[static_cast<size_t>(column)] = file->get(k::kTemperatureTrim, k::numbered(k::kTrimedPresData, column));
    for (int i = 0; i < kGridPoints; ++i) {
      const bool used = i / 5 < t && i % 5 < p;
      collected_[static_cast<size_t>(i)] =
          used && !file->get(k::kTemperatureTrim, k::numbered(k::kCollectionPresData, i)).empty();
    }
  }
  controlsChanged();
  return true;
}

bool TemperatureCompensation::download() {
  if (refusedWhileRunning()) return false;
  const TemperatureCompensationState s = state();
  if (!s.buttons.download) return refuse(kNotEnabled);
  if (!validTemperatures(s.temperatureCount) || !validPressures(s.pressureCount)) return refuse(kNoCounts);
  for (int t = 0; t < s.temperatureCount; ++t)
    if (s.temperatures[static_cast<size_t>(t)].empty()) return refuse(kNoTemperature);
  for (int p = 0; p < s.pressureCount; ++p)
    if (s.pressures[static_cast<size_t>(p)].empty()) return refuse(kNoPressure);
  for (int t = 0; t < s.temperatureCount; ++t)
    for (int p = 0; p < s.pressureCount; ++p)
      if (!s.collected[static_cast<size_t>(gridPoint(t, p))])
        return refuse("Error: Please complete collection first, then download!");
  if (!bus_.open()) return false;
  startWorker([this, stations = s.stations] {
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

bool TemperatureCompensation::downloadTransmitter(int a, const std::string& identification) {
  const auto file = database_.open(identification);
  if (!file) return false;
  const std::string_view section = k::kTemperatureTrim;
  const long long rows = countOf(file->get(section, k::kTempPoints));
  const long long columns = countOf(file->get(section, k::kPresPoints));
  if (!validTemperatures(rows) || !validPressures(columns)) {
    addLog(formatted("Address %d temp trim points are illegal!", a), true);
    return false;
  }
  std::array<float, 5> collectedTemperatures{};
  std::array<float, 5> referenceTemperatures{};
  std::array<float, 5> referencePressures{};
  std::array<std::array<float, 5>, 5> grid{};
  for (int t = 0; t < rows; ++t) {
    const std::string collected = file->get(section, k::numbered(k::kCollectionTempData, t));
    const std::string reference = file->get(section, k::numbered(k::kTrimedTempData, t));
    if (collected.empty()) {
      addLog(formatted("Address %d temp point %d collect value is illegal!", a, t), true);
      return false;
    }
    if (reference.empty()) {
      addLog(formatted("Address %d temp point %d reference value is illegal!", a, t), true);
      return false;
    }
    collectedTemperatures[static_cast<size_t>(t)] = static_cast<float>(numberOf(collected));
    referenceTemperatures[static_cast<size_t>(t)] = static_cast<float>(numberOf(reference));
  }
  for (int p = 0; p < columns; ++p) {
    const std::string reference = file->get(section, k::numbered(k::kTrimedPresData, p));
    if (reference.empty()) {
      addLog(formatted("Address %d press reference value is illegal!", a), true);
      return false;
    }
    referencePressures[static_cast<size_t>(p)] = static_cast<float>(numberOf(reference));
  }
  for (int t = 0; t < rows; ++t) {
    for (int p = 0; p < columns; ++p) {
      const std::string collected = file->get(section, k::numbered(k::kCollectionPresData, gridPoint(t, p)));
      if (collected.empty()) {
        addLog(formatted("Address %d press collect value is illegal!", a), true);
        return false;
      }
      grid[static_cast<size_t>(t)][static_cast<size_t>(p)] = static_cast<float>(numberOf(collected));
    }
  }

  addLog(dashes());
  addLog(formatted("Addr: %d, Temp trim points: %d,  Press trim points: %d", a, static_cast<int>(rows),
                   static_cast<int>(columns)));
  addLog("                   press reference value");
  std::string pressuresLine(30, ' ');
  for (int p = 0; p < columns; ++p) pressuresLine += reportColumn(formatFixed(referencePressures[static_cast<size_t>(p)]));
  addLog(pressuresLine);
  addLog("Ref temp     Collect temp     Press collect value");
  for (int t = 0; t < rows; ++t) {
    const auto r = static_cast<size_t>(t);
    std::string line = reportColumn(formatFixed(referenceTemperatures[r])) + reportColumn(formatFixed(collectedTemperatures[r]));
    for (int p = 0; p < columns; ++p) line += reportColumn(formatFixed(grid[r][static_cast<size_t>(p)]));
    addLog(line);
  }
  addLog(dashes());

  std::vector<std::pair<uint8_t, std::vector<uint8_t>>> writes = {
      {kAccessCodeIndex, kAccessCode},
      {kTrimCommandIndex, wordBytes(kStartDownload)},
      {kTemperatureCount, {static_cast<uint8_t>(rows)}},
      {kPressureCount, {static_cast<uint8_t>(columns)}},
      {kCollectedTemperatures, floatBytes(collectedTemperatures)},
  };
  // Rows 0 and 1 always go; the others only when they are in use.
  for (int t = 0; t < kMaxTemperaturePoints; ++t)
    if (t < 2 || t < rows)
      writes.push_back({static_cast<uint8_t>(kCollectedPressuresRow0 + t), floatBytes(grid[static_cast<size_t>(t)])});
  writes.push_back({kReferenceTemperatures, floatBytes(referenceTemperatures)});
  writes.push_back({kReferencePressures, floatBytes(referencePressures)});
  writes.push_back({kTrimCommandIndex, wordBytes(kEndDownload)});
  std::string cause;
  if (!writeAll(writes, cause)) {
    addLog(formatted("Download temperature compensation data of address %d failed, Cause: %s!", a, cause.c_str()), true);
    return false;
  }
  addLog(formatted("The transmitter in address %d successed!", a));
  return true;
}

bool TemperatureCompensation::loadReferences() {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const auto path =
      ui_.openFileName({"", std::string(kReferenceFileFilter), std::string(kReferenceFileExtension), ""});
  return path && loadReferences(*path);
}

bool TemperatureCompensation::loadReferences(const std::string& path) {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const TrimFile file = TrimFile::open(path);
  const long long t = countOf(file.get(k::kTemperatureTrim, k::kFileTempPoints));
  const long long p = countOf(file.get(k::kTemperatureTrim, k::kFilePresPoints));
  if (!validTemperatures(t) || !validPressures(p))
    return refuse("Error: " + path + " holds no valid numbers of temperature and pressure points!");
  layOut(static_cast<int>(t), static_cast<int>(p));
  {
    std::lock_guard lock(mutex_);
    for (int row = 0; row < kMaxTemperaturePoints; ++row)
      temperatures_[static_cast<size_t>(row)] = file.get(k::kTemperatureTrim, k::numbered(k::kFileTrimedTempValue, row));
    for (int column = 0; column < kMaxPressurePoints; ++column)
      pressures_[static_cast<size_t>(column)] =
          file.get(k::kTemperatureTrim, k::numbered(k::kFileTrimedPresValue, column));
  }
  controlsChanged();
  return true;
}

bool TemperatureCompensation::saveReferences() {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const auto path =
      ui_.saveFileName({"", std::string(kReferenceFileFilter), std::string(kReferenceFileExtension), ""});
  return path && saveReferences(*path);
}

bool TemperatureCompensation::saveReferences(const std::string& path) {
  if (refusedWhileRunning()) return false;
  if (!buttons().files) return refuse(kNotEnabled);
  const TemperatureCompensationState s = state();
  TrimFile file = TrimFile::open(path);
  file.set(k::kTemperatureTrim, k::kFileTempPoints, formatCount(s.temperatureCount));
  file.set(k::kTemperatureTrim, k::kFilePresPoints, formatCount(s.pressureCount));
  for (int row = 0; row < kMaxTemperaturePoints; ++row)
    file.set(k::kTemperatureTrim, k::numbered(k::kFileTrimedTempValue, row), s.temperatures[static_cast<size_t>(row)]);
  for (int column = 0; column < kMaxPressurePoints; ++column)
    file.set(k::kTemperatureTrim, k::numbered(k::kFileTrimedPresValue, column), s.pressures[static_cast<size_t>(column)]);
  if (!file.save()) return refuse("Error: " + path + " file cannot be written!");
  return true;
}

}  // namespace tavrin::calibration
