// Values that change while the simulator runs (measured pressure and
// temperature, a ramping test signal) and the limits a device puts on the
// values written to it.
//
// Profile text of a dynamic value:
//   [TYPE] KIND [name=value]...
//   f32 sine mean=100 amplitude=0.5 period=20 noise=0.01
// TYPE is an encoding of values.h (f32 when left out); KIND and its names:
//   constant value=V
//   ramp     from=A to=B period=S      (saw tooth from A to B every S s)
//   sine     mean=M amplitude=A period=S [phase=DEG]
//   noise    mean=M amplitude=A        (uniform in M-A .. M+A)
// Every kind also takes noise=A (uniform jitter added) and offset=N (the
// byte in the entry where the value starts).
//
// Profile text of a limit:  [TYPE] MIN MAX [offset=N]
#pragma once

#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "sim/values.h"

namespace tavrin::sim {

struct Waveform {
  enum class Kind { Constant, Ramp, Sine, Noise };
  Kind kind = Kind::Constant;
  double value = 0;  // constant value, or mean of sine and noise
  double amplitude = 0;
  double from = 0;
  double to = 0;
  double period = 1;  // seconds
  double phase = 0;   // degrees
  double noise = 0;

  double at(double seconds, std::minstd_rand& rng) const;
  // Without jitter: a noise signal stays at its mean.
  void quieten();
};

struct DynamicValue {
  Encoding encoding = Encoding::F32;
  size_t offset = 0;
  Waveform wave;

  size_t end() const { return offset + encodingSize(encoding); }
};

struct ValueLimit {
  Encoding encoding = Encoding::U16;
  size_t offset = 0;
  double min = 0;
  double max = 0;

  size_t end() const { return offset + encodingSize(encoding); }
  // The value at offset in bytes lies within the limits (NaN never does).
  bool accepts(ByteView bytes) const;
};

std::optional<DynamicValue> parseDynamic(std::string_view text, std::string* error);
std::optional<ValueLimit> parseLimit(std::string_view text, Encoding defaultType, std::string* error);

}  // namespace tavrin::sim
