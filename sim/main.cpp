// tavrin-sim: a Modbus RTU slave, or the serial PA adapter with PA
// transmitters behind it, on a pseudo-terminal. See README.md.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/event_signal.h"
#include "platform/key_file.h"
#include "sim/modbus_line.h"
#include "sim/pa_adapter.h"
#include "sim/plant.h"
#include "sim/profile.h"
#include "sim/pty_link.h"
#include "sim/simulator.h"

namespace {

using namespace tavrin;

constexpr const char* kUsage =
    "usage: tavrin-sim --bus modbus|profibus --link PATH --profile FILE\n"
    "                  [--pace[=BITS]] [--trace FILE] [--save FILE] [--memory FILE]\n"
    "                  [--fault SPEC]... [--plant FILE] [--no-noise]\n";

platform::EventSignal* gStop = nullptr;

extern "C" void onSignal(int) {
  int saved = errno;
  if (gStop) gStop->notify();
  errno = saved;
}

struct Options {
  std::string bus, profile, save, memory, plant;
  bool noNoise = false;
  std::vector<std::string> faults;
  sim::LinkOptions link;
};

int usage(const std::string& why) {
  std::fprintf(stderr, "tavrin-sim: %s\n%s", why.c_str(), kUsage);
  return 2;
}

// Accepts "--name value" and "--name=value".
bool takeValue(int argc, char** argv, int* i, const char* name, std::string* out) {
  std::string arg = argv[*i];
  std::string prefix = std::string(name) + "=";
  if (arg.compare(0, prefix.size(), prefix) == 0) {
    *out = arg.substr(prefix.size());
    return true;
  }
  if (arg != name || *i + 1 >= argc) return false;
  *out = argv[++*i];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i], value;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (takeValue(argc, argv, &i, "--bus", &o.bus) || takeValue(argc, argv, &i, "--link", &o.link.path) ||
               takeValue(argc, argv, &i, "--profile", &o.profile) || takeValue(argc, argv, &i, "--trace", &o.link.tracePath) ||
               takeValue(argc, argv, &i, "--save", &o.save) || takeValue(argc, argv, &i, "--memory", &o.memory) ||
               takeValue(argc, argv, &i, "--plant", &o.plant)) {
    } else if (arg == "--no-noise") {
      o.noNoise = true;
    } else if (takeValue(argc, argv, &i, "--fault", &value)) {
      o.faults.push_back(value);
    } else if (arg == "--pace") {
      o.link.pace = true;
    } else if (arg.rfind("--pace=", 0) == 0) {
      auto bits = sim::parseInteger(arg.substr(7));
      if (!bits || *bits < 7 || *bits > 12) return usage("--pace=BITS takes 7 to 12 bits per character");
      o.link.pace = true;
      o.link.bitsPerCharacter = static_cast<int>(*bits);
    } else {
      return usage("unknown argument: " + arg);
    }
  }
  if (o.bus != "modbus" && o.bus != "profibus") return usage("--bus must be modbus or profibus");
  if (o.link.path.empty()) return usage("--link is needed");
  if (o.profile.empty()) return usage("--profile is needed");
  sim::Bus bus = o.bus == "modbus" ? sim::Bus::Modbus : sim::Bus::Profibus;

  std::string error;
  auto profile = sim::loadProfile(o.profile, bus, &error);
  if (!profile) {
    std::fprintf(stderr, "tavrin-sim: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& text : o.faults) {
    auto fault = sim::parseFault(text, bus, &error);
    if (!fault) return usage(error);
    profile->setup.faults.push_back(*fault);
  }

  // The transmitters with a sensor follow the plant file, or a plant at rest.
  std::unique_ptr<sim::Plant> plant;
  if (o.plant.empty()) plant = std::make_unique<sim::FixedPlant>();
  else plant = std::make_unique<sim::PlantFile>(o.plant);
  for (sim::PaTransmitter& device : profile->setup.profibus) {
    device.setPlant(plant.get());
    if (o.noNoise) device.disableNoise();
  }
  if (o.noNoise)
    for (sim::ModbusSlave& slave : profile->setup.modbus) slave.disableNoise();

  platform::EventSignal stop;
  gStop = &stop;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<sim::BusSide> side;
  if (bus == sim::Bus::Modbus) side = std::make_unique<sim::ModbusLine>(profile->setup.modbus);
  else side = std::make_unique<sim::PaAdapter>(profile->setup.profibus);

  sim::PtyLink link(o.link);
  sim::Simulator simulator(*side, sim::FaultSet(profile->setup.faults), &link);
  // The memory as it is, for whoever checks what a master reads: written
  // before anything is served and again whenever a request changed it.
  std::string shown;
  auto showMemory = [&] {
    std::string now = sim::savedProfileText(*profile);
    if (now == shown) return;
    if (!platform::writeFileAtomically(o.memory, now)) return;
    shown = std::move(now);
  };
  if (!o.memory.empty()) {
    showMemory();
    if (shown.empty()) {
      std::fprintf(stderr, "tavrin-sim: cannot write %s: %s\n", o.memory.c_str(), std::strerror(errno));
      return 1;
    }
    simulator.setAfterRequest(showMemory);
  }
  bool ok = link.open(&error) && link.run(simulator, stop, &error);
  link.close();
  if (!ok) {
    std::fprintf(stderr, "tavrin-sim: %s\n", error.c_str());
    return 1;
  }
  if (!o.save.empty() && !sim::saveProfile(*profile, o.save)) {
    std::fprintf(stderr, "tavrin-sim: cannot write %s: %s\n", o.save.c_str(), std::strerror(errno));
    return 1;
  }
  return 0;
}
