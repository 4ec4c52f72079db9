#include "sim/faults.h"

#include "sim/values.h"

namespace tavrin::sim {
namespace {

std::vector<std::string_view> splitCommas(std::string_view text) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) comma = text.size();
    std::string_view part = text.substr(pos, comma - pos);
    while (!part.empty() && (part.front() == ' ' || part.front() == '\t')) part.remove_prefix(1);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);
    out.push_back(part);
    pos = comma + 1;
  }
  return out;
}

}  // namespace

bool FaultSpec::targets(const RequestInfo& r) const {
  if (!r.answered) return false;
  if (kind == FaultKind::Exception && r.service != Service::Modbus) return false;
  if (kind == FaultKind::Negative && r.service != Service::Read && r.service != Service::Write) return false;
  if (device && *device != r.device) return false;
  if (function && (r.service != Service::Modbus || *function != r.function)) return false;
  if (reg && (r.service != Service::Modbus || *reg < r.first || *reg >= r.first + r.count)) return false;
  bool dpv = r.service == Service::Read || r.service == Service::Write;
  if (slot && (!dpv || *slot != r.slot)) return false;
  if (index && (!dpv || *index != r.index)) return false;
  if (service && *service != r.service) return false;
  return true;
}

std::optional<FaultSpec> parseFault(std::string_view text, Bus bus, std::string* error) {
  FaultSpec f;
  f.text = std::string(text);
  auto fail = [&](std::string why) -> std::optional<FaultSpec> {
    if (error) *error = "fault \"" + f.text + "\": " + why;
    return std::nullopt;
  };
  auto parts = splitCommas(text);
  std::string_view head = parts[0];
  size_t eq = head.find('=');
  std::string_view kind = head.substr(0, eq);
  std::optional<std::string_view> value;
  if (eq != std::string_view::npos) value = head.substr(eq + 1);
  auto number = [&](long long low, long long high) -> std::optional<long long> {
    if (!value) return std::nullopt;
    auto v = parseInteger(*value);
    if (!v || *v < low || *v > high) return std::nullopt;
    return v;
  };

  if (kind == "no-reply" && !value) {
    f.kind = FaultKind::NoReply;
  } else if (kind == "late") {
    auto v = number(0, 600000);
    if (!v) return fail("late needs milliseconds");
    f.kind = FaultKind::Late;
    f.milliseconds = static_cast<int>(*v);
  } else if (kind == "noise") {
    f.kind = FaultKind::Noise;
    f.bytes = {0xFF, 0xFE, 0xFD};
    if (value) {
      std::string why;
      auto b = parseBytes("hex:" + std::string(*value), Encoding::U8, &why);
      if (!b) return fail("noise takes hex bytes: " + why);
      f.bytes = *b;
    }
  } else if (kind == "bad-crc" && !value) {
    f.kind = FaultKind::BadCrc;
  } else if (kind == "split") {
    auto v = number(0, 600000);
    if (!v) return fail("split needs the pause in milliseconds");
    f.kind = FaultKind::Split;
    f.milliseconds = static_cast<int>(*v);
  } else if (kind == "other-station") {
    auto v = number(0, 255);
    if (!v) return fail("other-station needs a station address");
    f.kind = FaultKind::OtherStation;
    f.value = static_cast<uint8_t>(*v);
  } else if (kind == "exception") {
    auto v = number(1, 255);
    if (bus != Bus::Modbus) return fail("exception replies are Modbus replies");
    if (!v) return fail("exception needs an exception code");
    f.kind = FaultKind::Exception;
    f.value = static_cast<uint8_t>(*v);
  } else if (kind == "negative") {
    if (bus != Bus::Profibus) return fail("negative replies are DPV1 replies");
    std::string why;
    auto b = value ? parseBytes("hex:" + std::string(*value), Encoding::U8, &why) : std::nullopt;
    if (!b || (b->size() != 1 && b->size() != 3)) return fail("negative takes one or three hex bytes");
    f.kind = FaultKind::Negative;
    f.bytes = b->size() == 3 ? *b : Bytes{0x80, (*b)[0], 0x00};
  } else if (kind == "hangup" && !value) {
    f.kind = FaultKind::Hangup;
  } else {
    return fail("unknown fault");
  }

  for (size_t i = 1; i < parts.size(); ++i) {
    size_t e = parts[i].find('=');
    if (e == std::string_view::npos) return fail("expected name=value: " + std::string(parts[i]));
    std::string_view name = parts[i].substr(0, e);
    std::string_view v = parts[i].substr(e + 1);
    auto integer = parseInteger(v);
    auto in = [&](long long low, long long high) { return integer && *integer >= low && *integer <= high; };
    if (name == "device" && in(0, 255)) {
      f.device = static_cast<uint8_t>(*integer);
    } else if (name == "function" && bus == Bus::Modbus && in(1, 127)) {
      f.function = static_cast<uint8_t>(*integer);
    } else if (name == "register" && bus == Bus::Modbus && in(0, 0xFFFF)) {
      f.reg = static_cast<uint16_t>(*integer);
    } else if (name == "slot" && bus == Bus::Profibus && in(0, 255)) {
      f.slot = static_cast<uint8_t>(*integer);
    } else if (name == "index" && bus == Bus::Profibus && in(0, 255)) {
      f.index = static_cast<uint8_t>(*integer);
    } else if (name == "service" && bus == Bus::Profibus) {
      static constexpr std::pair<std::string_view, Service> kServices[] = {{"status", Service::Status},
                                                                            {"diagnosis", Service::Diagnosis},
                                                                            {"address", Service::SetAddress},
                                                                            {"read", Service::Read},
                                                                            {"write", Service::Write}};
      for (auto [n, s] : kServices)
        if (v == n) f.service = s;
      if (!f.service) return fail("unknown service: " + std::string(v));
    } else if (name == "after" && in(0, 1LL << 40)) {
      f.after = static_cast<uint64_t>(*integer);
    } else if (name == "count" && in(1, 1LL << 40)) {
      f.count = static_cast<uint64_t>(*integer);
    } else if (name == "at" && (f.kind == FaultKind::Split || f.kind == FaultKind::Hangup) && in(0, 4096)) {
      f.at = static_cast<size_t>(*integer);
    } else {
      return fail("target does not fit: " + std::string(parts[i]));
    }
  }
  if (f.service && f.kind == FaultKind::Negative && !(*f.service == Service::Read || *f.service == Service::Write))
    return fail("negative replies answer reads and writes only");
  return f;
}

std::vector<const FaultSpec*> FaultSet::select(const RequestInfo& request) {
  std::vector<const FaultSpec*> out;
  for (size_t i = 0; i < faults_.size(); ++i) {
    const FaultSpec& f = faults_[i];
    if (!f.targets(request)) continue;
    uint64_t n = seen_[i]++;
    if (n < f.after) continue;
    if (f.count && n - f.after >= *f.count) continue;
    out.push_back(&f);
  }
  return out;
}

}  // namespace tavrin::sim
