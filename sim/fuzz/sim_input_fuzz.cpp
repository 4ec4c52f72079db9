// What reaches the simulator from outside: bytes from the bus (both buses,
// devices with calibration and faults) and profile texts. The first input
// byte chooses which.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sim/modbus_line.h"
#include "sim/pa_adapter.h"
#include "sim/profile.h"
#include "sim/simulator.h"

namespace {

using namespace tavrin::sim;

constexpr std::string_view kModbus = R"(
[DEVICE a]
ADDRESS = 1
MANUFACTURER = 0x0017
holding.0 = 1 2 3 4 f32: 1.5
range.holding.4 = f32 0 10
READONLY = holding.3
input.0 = 5 6
coil.0 = 1 0 1
discrete.0 = 1
dynamic.input.10 = f32 sine mean=1 amplitude=1 period=3
[FAULTS]
a = split=0,device=1,after=3
b = other-station=2,function=4
c = bad-crc,register=2,count=2
)";

constexpr std::string_view kProfibus = R"(
[DEVICE a]
ADDRESS = 5
IDENT_NUMBER = 0x0A31
slot.1.26 = f32:0 u8:0x80
slot.1.36 = f32: 0.5
range.slot.1.36 = f32 0 32
CALIBRATION = 1
OUTPUT = slot.1.26
dynamic.slot.3.37 = f32 ramp from=0 to=100 period=7
[DEVICE b]
ADDRESS = 6
IDENT_NUMBER = 0x0B00
[FAULTS]
a = negative=B6,index=36,count=3
b = hangup,service=read,after=5
c = noise,device=6
)";

void feed(std::string_view profileText, Bus bus, const uint8_t* data, size_t size) {
  auto profile = parseProfile(profileText, bus, nullptr);
  if (!profile) __builtin_trap();
  std::unique_ptr<BusSide> side;
  if (bus == Bus::Modbus) side = std::make_unique<ModbusLine>(profile->setup.modbus);
  else side = std::make_unique<PaAdapter>(profile->setup.profibus);
  Simulator simulator(*side, FaultSet(profile->setup.faults));
  // 0xFF 0xFF in the input marks a quiet line; the chunks between arrive
  // as separate reads.
  size_t start = 0;
  double seconds = 0;
  for (size_t i = 0; i + 1 < size; ++i) {
    if (data[i] != 0xFF || data[i + 1] != 0xFF) continue;
    simulator.receive(ByteView(data + start, i - start), seconds);
    simulator.silence();
    seconds += 0.5;
    start = i + 2;
    ++i;
  }
  simulator.receive(ByteView(data + start, size - start), seconds);
  savedProfileText(*profile);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 4) {
    case 0: feed(kModbus, Bus::Modbus, data + 1, size - 1); break;
    case 1: feed(kProfibus, Bus::Profibus, data + 1, size - 1); break;
    default: {
      auto profile = parseProfile(text, data[0] % 4 == 2 ? Bus::Modbus : Bus::Profibus, nullptr);
      if (profile) savedProfileText(*profile);
    }
  }
  return 0;
}
