// The batch calibrations on the command line: the lin-* and temp-* commands
// over the procedures of calibration/, one operation each, printing the log
// lines they produce. They need no connect: the procedures address every
// station themselves over the Profibus link on com.ini's port. Running a
// calibration method opens the same procedure and takes these commands from
// standard input until its end.
#include <charconv>
#include <chrono>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "calibration/linearization.h"
#include "calibration/temperature_compensation.h"
#include "command_table.h"
#include "context.h"

namespace tavrin::cli {
namespace {

using calibration::Indicator;
using calibration::LiveDialog;
using calibration::LiveSample;
using calibration::LiveTick;
using calibration::Station;
using calibration::Stations;

// With --yes the live reading is confirmed at its first good reading; after
// this many failed ones it is confirmed as it is (the first transmitter
// fails, the others are still collected).
constexpr int kYesReadings = 10;

// The procedures of this run, and the printing of their logs.
class CalibrationRun : public calibration::Observer {
 public:
  explicit CalibrationRun(Context& c) : c_(c), bus_(c.session().links()) {}

  calibration::Linearization& linearization() {
    if (!lin_) {
      lin_ = std::make_unique<calibration::Linearization>(bus_, database(), c_.ui());
      prepare(*lin_);
    }
    return *lin_;
  }
  calibration::TemperatureCompensation& compensation() {
    if (!temp_) {
      temp_ = std::make_unique<calibration::TemperatureCompensation>(bus_, database(), c_.ui());
      prepare(*temp_);
    }
    return *temp_;
  }
  // The dialog closes: its address comes back.
  void closeLinearization() { close(lin_); }
  void closeCompensation() { close(temp_); }

  void logAdded(const calibration::LogLine& line) override {
    std::lock_guard lock(mutex_);
    c_.out() << line.shown() << std::endl;
  }

 private:
  calibration::TrimDatabase database() const { return calibration::TrimDatabase::ofProgram(c_.options().folder); }

  void prepare(calibration::BatchProcedure& p) {
    p.setObserver(this);
    if (c_.options().yes) p.setLiveReader([this](const LiveDialog& d, const LiveTick& tick) { return confirmFirst(d, tick); });
  }

  bool confirmFirst(const LiveDialog& dialog, const LiveTick& tick) {
    for (int i = 0; i < kYesReadings; ++i) {
      if (i > 0) std::this_thread::sleep_for(calibration::kLiveInterval);
      const LiveSample sample = tick();
      std::string shown = dialog.caption + " (address " + std::to_string(dialog.address) + "):";
      for (const auto& f : sample.fields) shown += " " + f.label + " " + f.value + (f.unit.empty() ? "" : " " + f.unit);
      c_.ui().statusLine(shown);
      if (sample.ok) break;
    }
    return true;
  }

  template <class P>
  void close(std::unique_ptr<P>& p) {
    if (!p) return;
    p->wait();
    p->close();
    p.reset();
  }

  Context& c_;
  calibration::LinkBus bus_;
  std::mutex mutex_;
  std::unique_ptr<calibration::Linearization> lin_;
  std::unique_ptr<calibration::TemperatureCompensation> temp_;
};

CalibrationRun& run(Context& c) { return c.groupState<CalibrationRun>(); }

bool busAvailable(Context& c) { return !c.offline() || c.fail("Error: There is no bus when working offline!"); }

// A number typed on the command line, first to last.
std::optional<int> number(Context& c, const std::string& text, int first, int last, const char* what) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec == std::errc() && end == text.data() + text.size() && n >= first && n <= last) return n;
  c.fail("Error: \"" + text + "\" is not a " + what + " from " + std::to_string(first) + " to " + std::to_string(last) + "!");
  return std::nullopt;
}

// Every transmitter that takes part came through: none is marked error.
bool allSucceeded(const Stations& stations) {
  bool any = false;
  for (const Station& s : stations) {
    if (s.identification.empty()) continue;
    any = true;
    if (s.indicator == Indicator::Error) return false;
  }
  return any;
}

bool anyFound(const Stations& stations) {
  for (const Station& s : stations)
    if (!s.identification.empty()) return true;
  return false;
}

void printStations(Context& c, const Stations& stations) {
  for (size_t a = 0; a < stations.size(); ++a)
    c.out() << "address\t" << a << '\t' << calibration::indicatorName(stations[a].indicator) << '\t'
            << escaped(stations[a].identification) << '\n';
}

const char* mark(bool collected) { return collected ? "collected" : "not collected"; }

// --- batch linearization ---

calibration::Linearization* lin(Context& c) { return busAvailable(c) ? &run(c).linearization() : nullptr; }

bool linSearch(Context& c, const Args&) {
  auto* p = lin(c);
  if (!p || !p->search()) return false;
  p->wait();
  return anyFound(p->stations());
}

bool linPoints(Context& c, const Args& a) {
  auto* p = lin(c);
  const auto n = number(c, a[0], calibration::kMinTrimPoints, calibration::kMaxTrimPoints, "number of points");
  return p && n && p->selectCount(*n);
}

bool linRef(Context& c, const Args& a) {
  auto* p = lin(c);
  const auto k = number(c, a[0], 1, calibration::kMaxTrimPoints, "point");
  return p && k && p->setReference(*k - 1, a[1]);
}

bool linCollect(Context& c, const Args& a) {
  auto* p = lin(c);
  const auto k = number(c, a[0], 1, calibration::kMaxTrimPoints, "point");
  return p && k && p->collect(*k - 1);
}

bool linContinue(Context& c, const Args&) {
  auto* p = lin(c);
  return p && p->resume();
}

bool linDownload(Context& c, const Args&) {
  auto* p = lin(c);
  if (!p || !p->download()) return false;
  p->wait();
  return allSucceeded(p->stations());
}

bool linSave(Context& c, const Args& a) {
  auto* p = lin(c);
  return p && p->saveReferences(a[0]);
}

bool linLoad(Context& c, const Args& a) {
  auto* p = lin(c);
  return p && p->loadReferences(a[0]);
}

bool linStatus(Context& c, const Args&) {
  auto* p = lin(c);
  if (!p) return false;
  const calibration::LinearizationState s = p->state();
  c.out() << "points\t" << s.count << '\n';
  printStations(c, s.stations);
  for (int n = 0; n < s.count; ++n)
    c.out() << "point\t" << n + 1 << '\t' << escaped(s.references[static_cast<size_t>(n)]) << '\t'
            << mark(s.collected[static_cast<size_t>(n)]) << '\n';
  return true;
}

// --- temperature compensation ---

calibration::TemperatureCompensation* temp(Context& c) {
  return busAvailable(c) ? &run(c).compensation() : nullptr;
}

bool tempSearch(Context& c, const Args&) {
  auto* p = temp(c);
  if (!p || !p->search()) return false;
  p->wait();
  return anyFound(p->stations());
}

bool tempPoints(Context& c, const Args& a) {
  auto* p = temp(c);
  const auto t = number(c, a[0], calibration::kMinTemperaturePoints, calibration::kMaxTemperaturePoints,
                        "number of temperature points");
  const auto n = t ? number(c, a[1], calibration::kMinPressurePoints, calibration::kMaxPressurePoints,
                            "number of pressure points")
                   : std::nullopt;
  return p && t && n && p->selectCounts(*t, *n);
}

bool tempRefTemp(Context& c, const Args& a) {
  auto* p = temp(c);
  const auto t = number(c, a[0], 1, calibration::kMaxTemperaturePoints, "temperature point");
  return p && t && p->setReferenceTemperature(*t - 1, a[1]);
}

bool tempRefPres(Context& c, const Args& a) {
  auto* p = temp(c);
  const auto n = number(c, a[0], 1, calibration::kMaxPressurePoints, "pressure point");
  return p && n && p->setReferencePressure(*n - 1, a[1]);
}

bool tempCollect(Context& c, const Args& a) {
  auto* p = temp(c);
  const auto i = number(c, a[0], 1, calibration::kGridPoints, "grid point");
  return p && i && p->collect(*i - 1);
}

bool tempContinue(Context& c, const Args&) {
  auto* p = temp(c);
  return p && p->resume();
}

bool tempDownload(Context& c, const Args&) {
  auto* p = temp(c);
  if (!p || !p->download()) return false;
  p->wait();
  return allSucceeded(p->stations());
}

bool tempSave(Context& c, const Args& a) {
  auto* p = temp(c);
  return p && p->saveReferences(a[0]);
}

bool tempLoad(Context& c, const Args& a) {
  auto* p = temp(c);
  return p && p->loadReferences(a[0]);
}

bool tempStatus(Context& c, const Args&) {
  auto* p = temp(c);
  if (!p) return false;
  const calibration::TemperatureCompensationState s = p->state();
  c.out() << "points\t" << s.temperatureCount << '\t' << s.pressureCount << '\n';
  printStations(c, s.stations);
  for (int t = 0; t < s.temperatureCount; ++t)
    c.out() << "temperature\t" << t + 1 << '\t' << escaped(s.temperatures[static_cast<size_t>(t)]) << '\n';
  for (int n = 0; n < s.pressureCount; ++n)
    c.out() << "pressure\t" << n + 1 << '\t' << escaped(s.pressures[static_cast<size_t>(n)]) << '\n';
  for (int i = 0; i < calibration::kGridPoints; ++i)
    if (i / 5 < s.temperatureCount && i % 5 < s.pressureCount)
      c.out() << "point\t" << i + 1 << '\t' << mark(s.collected[static_cast<size_t>(i)]) << '\n';
  return true;
}


const CommandGroup kCalibrationCommands{{
    {"lin-search", "", "batch linearization: find the transmitters at addresses 0 to 31", {0}, {}, linSearch},
    {"lin-points", "N", "choose the number of linearization points (2 to 21)", {1}, {}, linPoints},
    {"lin-ref", "K VALUE", "type the reference value of point K (from 1)", {2}, {}, linRef},
    {"lin-collect", "K",
     "collect point K from every transmitter (the first one's\n"
     "                                   live reading: --yes takes its first good reading)",
     {1}, {}, linCollect},
    {"lin-continue", "", "continue an uncompleted linearization from the databases", {0}, {}, linContinue},
    {"lin-download", "", "download the linearization into every transmitter", {0}, {}, linDownload},
    {"lin-save", "FILE", "save the reference points (*.szz)", {1}, {}, linSave},
    {"lin-load", "FILE", "read the reference points (*.szz)", {1}, {}, linLoad},
    {"lin-status", "",
     "print the count, per address its indicator and\n"
     "                                   identification, per point its reference and mark",
     {0}, {}, linStatus},
    {"temp-search", "", "temperature compensation: find the transmitters", {0}, {}, tempSearch},
    {"temp-points", "T P", "choose 2 to 5 temperature and 1 to 5 pressure points", {2}, {}, tempPoints},
    {"temp-ref-temp", "T VALUE", "type the reference temperature of row T (from 1)", {2}, {}, tempRefTemp},
    {"temp-ref-pres", "P VALUE", "type the reference pressure of column P (from 1)", {2}, {}, tempRefPres},
    {"temp-collect", "I", "collect grid point I (5 x (T-1) + P) from every transmitter", {1}, {}, tempCollect},
    {"temp-continue", "", "continue an uncompleted compensation from the databases", {0}, {}, tempContinue},
    {"temp-download", "", "download the compensation into every transmitter", {0}, {}, tempDownload},
    {"temp-save", "FILE", "save the reference points (*.szz)", {1}, {}, tempSave},
    {"temp-load", "FILE", "read the reference points (*.szz)", {1}, {}, tempLoad},
    {"temp-status", "", "print the counts, the addresses, the references and the marks", {0}, {}, tempStatus},
}};

// A calibration method's dialog: the commands of its procedure, one line
// each, from standard input until its end or the first that fails.
bool dialogFromInput(Context& c, builtins::BatchCalibration which) {
  const bool linearization = which == builtins::BatchCalibration::Linearization;
  const std::string prefix = linearization ? "lin-" : "temp-";
  CalibrationRun& r = run(c);
  if (linearization) {
    r.closeLinearization();
    r.linearization();
  } else {
    r.closeCompensation();
    r.compensation();
  }
  c.ui().statusLine(std::string(linearization ? "Batch linearization" : "Temperature compensation") +
                    ": reading " + prefix + "* commands from the input");
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.empty() || words[0].starts_with("#")) continue;
    std::vector<Invocation> commands;
    std::string error;
    bool ok = CommandTable::instance().parse(words, commands, error);
    if (!ok) c.fail("Error: " + error + "!");
    for (size_t i = 0; ok && i < commands.size(); ++i) {
      const Command& command = *commands[i].command;
      if (!command.name.starts_with(prefix)) {
        ok = c.fail("Error: \"" + std::string(command.name) + "\" is no command of this calibration!");
        break;
      }
      const int before = c.ui().errors();
      ok = command.run(c, commands[i].args) && c.ui().errors() == before;
      if (!ok && c.ui().errors() == before) c.fail("Error: The calibration command \"" + line + "\" failed!");
    }
    c.out().flush();
    if (!ok) break;
  }
  if (linearization)
    r.closeLinearization();
  else
    r.closeCompensation();
  return true;
}

const ContextSetup kCalibrationDialogs{[](Context& c) {
  c.session().setBatchCalibrationRunner([&c](builtins::BatchCalibration which) { return dialogFromInput(c, which); });
}};

}  // namespace
}  // namespace tavrin::cli
