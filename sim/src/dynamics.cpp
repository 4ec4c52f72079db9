#include "sim/dynamics.h"

#include <cmath>
#include <numbers>

namespace tavrin::sim {
namespace {

bool fail(std::string* error, std::string why) {
  if (error) *error = std::move(why);
  return false;
}

// Splits "name=value"; false when the word has no '=' or no valid number.
bool parameter(std::string_view word, std::string_view* name, double* value) {
  size_t eq = word.find('=');
  if (eq == std::string_view::npos) return false;
  auto v = parseNumber(word.substr(eq + 1));
  if (!v) return false;
  *name = word.substr(0, eq);
  *value = *v;
  return true;
}

}  // namespace

double Waveform::at(double seconds, std::minstd_rand& rng) const {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  double v = value;
  switch (kind) {
    case Kind::Constant: break;
    case Kind::Ramp: {
      double cycles = seconds / period;
      v = from + (to - from) * (cycles - std::floor(cycles));
      break;
    }
    case Kind::Sine:
      v = value + amplitude * std::sin(2 * std::numbers::pi * seconds / period + phase * std::numbers::pi / 180);
      break;
    case Kind::Noise: v = value + amplitude * unit(rng); break;
  }
  if (noise != 0) v += noise * unit(rng);
  return v;
}

void Waveform::quieten() {
  noise = 0;
  if (kind == Kind::Noise) amplitude = 0;
}

bool ValueLimit::accepts(ByteView bytes) const {
  if (bytes.size() < end()) return false;
  double v = decodeValue(encoding, bytes.data() + offset);
  return v >= min && v <= max;
}

std::optional<DynamicValue> parseDynamic(std::string_view text, std::string* error) {
  auto list = words(text);
  DynamicValue d;
  size_t i = 0;
  if (i < list.size()) {
    if (auto e = encodingByName(list[i])) {
      d.encoding = *e;
      ++i;
    }
  }
  if (i >= list.size()) return fail(error, "a dynamic value needs a kind"), std::nullopt;
  static constexpr std::pair<std::string_view, Waveform::Kind> kKinds[] = {{"constant", Waveform::Kind::Constant},
                                                                            {"ramp", Waveform::Kind::Ramp},
                                                                            {"sine", Waveform::Kind::Sine},
                                                                            {"noise", Waveform::Kind::Noise}};
  bool known = false;
  for (auto [name, kind] : kKinds) {
    if (list[i] == name) {
      d.wave.kind = kind;
      known = true;
    }
  }
  if (!known) return fail(error, "unknown kind of dynamic value: " + std::string(list[i])), std::nullopt;
  for (++i; i < list.size(); ++i) {
    std::string_view name;
    double v = 0;
    if (!parameter(list[i], &name, &v)) return fail(error, "expected name=number: " + std::string(list[i])), std::nullopt;
    using K = Waveform::Kind;
    K k = d.wave.kind;
    if (name == "value" && k == K::Constant) d.wave.value = v;
    else if (name == "mean" && (k == K::Sine || k == K::Noise)) d.wave.value = v;
    else if (name == "amplitude" && (k == K::Sine || k == K::Noise)) d.wave.amplitude = v;
    else if (name == "phase" && k == K::Sine) d.wave.phase = v;
    else if (name == "from" && k == K::Ramp) d.wave.from = v;
    else if (name == "to" && k == K::Ramp) d.wave.to = v;
    else if (name == "period" && (k == K::Ramp || k == K::Sine)) d.wave.period = v;
    else if (name == "noise") d.wave.noise = v;
    else if (name == "offset" && v >= 0 && v <= 4096 && v == std::floor(v)) d.offset = static_cast<size_t>(v);
    else return fail(error, "parameter does not fit this kind: " + std::string(list[i])), std::nullopt;
  }
  if (!(d.wave.period > 0)) return fail(error, "the period must be above 0"), std::nullopt;
  return d;
}

std::optional<ValueLimit> parseLimit(std::string_view text, Encoding defaultType, std::string* error) {
  auto list = words(text);
  ValueLimit l;
  l.encoding = defaultType;
  size_t i = 0;
  if (!list.empty()) {
    if (auto e = encodingByName(list[0])) {
      l.encoding = *e;
      ++i;
    }
  }
  std::optional<double> low, high;
  for (; i < list.size(); ++i) {
    std::string_view name;
    double v = 0;
    if (parameter(list[i], &name, &v)) {
      if (name != "offset" || v < 0 || v > 4096 || v != std::floor(v))
        return fail(error, "unknown limit parameter: " + std::string(list[i])), std::nullopt;
      l.offset = static_cast<size_t>(v);
    } else if (auto n = parseNumber(list[i]); n && !low) {
      low = n;
    } else if (n && !high) {
      high = n;
    } else {
      return fail(error, "a limit is: [type] min max [offset=N]"), std::nullopt;
    }
  }
  if (!low || !high || *low > *high) return fail(error, "a limit needs min and max, min not above max"), std::nullopt;
  l.min = *low;
  l.max = *high;
  return l;
}

}  // namespace tavrin::sim
