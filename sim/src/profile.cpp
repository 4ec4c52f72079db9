#include "sim/profile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "sim/values.h"

namespace tavrin::sim {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::optional<ModbusTable> tableOf(Area a) {
  switch (a) {
    case Area::Coil: return ModbusTable::Coil;
    case Area::Discrete: return ModbusTable::Discrete;
    case Area::Holding: return ModbusTable::Holding;
    case Area::Input: return ModbusTable::Input;
    case Area::Slot: return std::nullopt;
  }
  return std::nullopt;
}

bool isBitArea(Area a) { return a == Area::Coil || a == Area::Discrete; }

std::string refText(const EntryRef& r) {
  static constexpr const char* kNames[] = {"coil", "discrete", "holding", "input"};
  if (r.area == Area::Slot) return "slot." + std::to_string(r.slot) + "." + std::to_string(r.number);
  return std::string(kNames[static_cast<int>(r.area)]) + "." + std::to_string(r.number);
}

// The device section's keys sorted by what they are.
struct DeviceKeys {
  std::optional<std::string> address;
  std::map<std::string, std::string> identification;  // lower-case key -> value
  std::vector<std::pair<std::string, std::string>> memory, dynamics, limits;
  std::optional<std::string> readOnly, calibration, outputs, diagnosis;
  std::map<std::string, std::string> sensor;  // lower-case key -> value
};

class Loader {
 public:
  Loader(const platform::KeyFile& file, Bus bus, Profile& profile, std::string* error)
      : file_(file), bus_(bus), profile_(profile), error_(error) {}

  bool run();

 private:
  bool fail(std::string_view key, const std::string& why) {
    if (error_) *error_ = "[" + section_ + "] " + std::string(key) + ": " + why;
    return false;
  }
  bool sortKeys(DeviceKeys& keys);
  bool loadModbus(const DeviceKeys& keys, uint8_t address);
  bool loadProfibus(const DeviceKeys& keys, uint8_t address);
  bool readOnlyList(std::string_view text, ModbusSlave* slave, PaTransmitter* device);
  // "dynamic.<entry>" and "range.<entry>" keys with their values.
  std::optional<std::pair<EntryRef, DynamicValue>> dynamicOf(const std::string& key, const std::string& value);
  std::optional<std::pair<EntryRef, ValueLimit>> limitOf(const std::string& key, const std::string& value, Encoding type);
  std::optional<std::string> text(const DeviceKeys& keys, std::string_view name, size_t width);

  const platform::KeyFile& file_;
  Bus bus_;
  Profile& profile_;
  std::string* error_;
  std::string section_;
  std::set<uint8_t> addresses_;
};

bool Loader::sortKeys(DeviceKeys& keys) {
  static const std::set<std::string> kModbusIdentification = {"manufacturer", "device_type", "device_version"};
  static const std::set<std::string> kProfibusIdentification = {
      "ident_number", "manufacturer", "device_type", "revision", "software_revision", "tag", "device_id", "serial_number"};
  static const std::set<std::string> kSensorKeys = {"sensor_gain", "sensor_offset", "sensor_nonlinear",
                                                    "sensor_tempco", "sensor_noise"};
  const auto& identification = bus_ == Bus::Modbus ? kModbusIdentification : kProfibusIdentification;
  for (const auto& [key, value] : file_.entries(section_)) {
    std::string k = lower(key);
    if (k == "address") keys.address = value;
    else if (identification.count(k)) keys.identification[k] = value;
    else if (k == "readonly") keys.readOnly = value;
    else if (bus_ == Bus::Profibus && k == "calibration") keys.calibration = value;
    else if (bus_ == Bus::Profibus && k == "output") keys.outputs = value;
    else if (bus_ == Bus::Profibus && k == "diagnosis") keys.diagnosis = value;
    else if (bus_ == Bus::Profibus && kSensorKeys.count(k)) keys.sensor[k] = value;
    else if (startsWith(k, "dynamic.")) keys.dynamics.emplace_back(key, value);
    else if (startsWith(k, "range.")) keys.limits.emplace_back(key, value);
    else if (parseEntryRef(k, bus_)) keys.memory.emplace_back(key, value);
    else return fail(key, "unknown key for a " + std::string(bus_ == Bus::Modbus ? "Modbus" : "Profibus") + " device");
  }
  return true;
}

std::optional<std::string> Loader::text(const DeviceKeys& keys, std::string_view name, size_t width) {
  auto it = keys.identification.find(std::string(name));
  std::string value = it == keys.identification.end() ? std::string() : it->second;
  if (value.size() > width) {
    fail(name, "longer than " + std::to_string(width) + " characters");
    return std::nullopt;
  }
  value.resize(width, ' ');
  return value;
}

bool Loader::run() {
  for (const std::string& name : file_.sectionNames()) {
    section_ = name;
    std::string s = lower(name);
    if (s == "faults") {
      for (const auto& [key, value] : file_.entries(name)) {
        std::string why;
        auto fault = parseFault(value, bus_, &why);
        if (!fault) return fail(key, why);
        profile_.setup.faults.push_back(*fault);
      }
      continue;
    }
    if (s == "simulator") {
      for (const auto& [key, value] : file_.entries(name)) {
        if (lower(key) != "bus") return fail(key, "unknown key");
        std::string b = lower(value);
        if (b != "modbus" && b != "profibus") return fail(key, "MODBUS or PROFIBUS");
        if ((b == "modbus") != (bus_ == Bus::Modbus)) return fail(key, "the profile is for another bus");
      }
      continue;
    }
    bool device = s == "device" || (startsWith(s, "device") && (s[6] == ' ' || s[6] == '\t'));
    if (!device) return fail("", "unknown section");
    DeviceKeys keys;
    if (!sortKeys(keys)) return false;
    auto address = keys.address ? parseInteger(*keys.address) : std::nullopt;
    long long highest = bus_ == Bus::Modbus ? 247 : 125;
    long long lowest = bus_ == Bus::Modbus ? 1 : 0;
    if (!address || *address < lowest || *address > highest)
      return fail("ADDRESS", "a station address from " + std::to_string(lowest) + " to " + std::to_string(highest) + " is needed");
    if (!addresses_.insert(static_cast<uint8_t>(*address)).second) return fail("ADDRESS", "two devices at one address");
    profile_.origins.push_back({name, static_cast<uint8_t>(*address), {}});
    bool ok = bus_ == Bus::Modbus ? loadModbus(keys, static_cast<uint8_t>(*address)) : loadProfibus(keys, static_cast<uint8_t>(*address));
    if (!ok) return false;
  }
  if (profile_.origins.empty()) {
    if (error_) *error_ = "the profile holds no [DEVICE ...] section";
    return false;
  }
  return true;
}

std::optional<std::pair<EntryRef, DynamicValue>> Loader::dynamicOf(const std::string& key, const std::string& value) {
  auto ref = parseEntryRef(key.substr(key.find('.') + 1), bus_);
  std::string why;
  auto d = parseDynamic(value, &why);
  if (!ref) return fail(key, "not an entry"), std::nullopt;
  if (!d) return fail(key, why), std::nullopt;
  return std::make_pair(*ref, *d);
}

std::optional<std::pair<EntryRef, ValueLimit>> Loader::limitOf(const std::string& key, const std::string& value, Encoding type) {
  auto ref = parseEntryRef(key.substr(key.find('.') + 1), bus_);
  std::string why;
  auto limit = parseLimit(value, type, &why);
  if (!ref) return fail(key, "not an entry"), std::nullopt;
  if (!limit) return fail(key, why), std::nullopt;
  return std::make_pair(*ref, *limit);
}

bool Loader::readOnlyList(std::string_view list, ModbusSlave* slave, PaTransmitter* device) {
  for (std::string_view item : words(list)) {
    size_t dash = item.rfind('-');
    size_t dot = item.rfind('.');
    std::string_view first = item, last;
    if (dash != std::string_view::npos && dash > dot) {
      first = item.substr(0, dash);
      last = item.substr(dash + 1);
    }
    auto ref = parseEntryRef(first, bus_);
    if (!ref) return fail("READONLY", "not an entry: " + std::string(item));
    long long end = ref->number;
    if (!last.empty()) {
      auto e = parseInteger(last);
      if (!e || *e < ref->number || *e > (ref->area == Area::Slot ? 255 : 0xFFFF))
        return fail("READONLY", "bad range: " + std::string(item));
      end = *e;
    }
    for (long long n = ref->number; n <= end; ++n) {
      if (slave && ref->area == Area::Holding) {
        if (!slave->has(ModbusTable::Holding, static_cast<uint16_t>(n)))
          return fail("READONLY", "holding register " + std::to_string(n) + " is not defined");
        slave->setReadOnly(static_cast<uint16_t>(n));
      } else if (device) {
        auto it = device->entries().find({ref->slot, static_cast<uint8_t>(n)});
        if (it != device->entries().end()) it->second.readOnly = true;
        else if (last.empty()) return fail("READONLY", "not defined: " + std::string(item));
      }
    }
  }
  return true;
}

bool Loader::loadModbus(const DeviceKeys& keys, uint8_t address) {
  ModbusSlave slave(address);
  Profile::Origin& origin = profile_.origins.back();
  for (const auto& [key, value] : keys.memory) {
    EntryRef ref = *parseEntryRef(key, bus_);
    ModbusTable table = *tableOf(ref.area);
    std::string why;
    auto bytes = parseBytes(value, isBitArea(ref.area) ? Encoding::U8 : Encoding::U16, &why);
    if (!bytes) return fail(key, why);
    size_t units = isBitArea(ref.area) ? bytes->size() : bytes->size() / 2;
    if (!isBitArea(ref.area) && bytes->size() % 2 != 0) return fail(key, "registers hold an even number of bytes");
    if (ref.number + units > 0x10000) return fail(key, "runs past address 65535");
    for (size_t i = 0; i < units; ++i) {
      uint16_t a = static_cast<uint16_t>(ref.number + i);
      if (slave.has(table, a)) return fail(key, "address " + std::to_string(a) + " is defined twice");
      if (isBitArea(ref.area)) {
        if ((*bytes)[i] > 1) return fail(key, "bits are 0 or 1");
        slave.setBit(table, a, (*bytes)[i] != 0);
      } else {
        slave.setRegister(table, a, static_cast<uint16_t>((*bytes)[2 * i] << 8 | (*bytes)[2 * i + 1]));
      }
    }
    origin.blocks.push_back({key, ref, units, *bytes});
  }
  // The identification registers the program reads at 0x8000.
  if (!keys.identification.empty()) {
    const char* names[] = {"manufacturer", "device_type", nullptr, "device_version"};
    for (uint16_t i = 0; i < 4; ++i) {
      long long v = 0;
      if (names[i] && keys.identification.count(names[i])) {
        auto n = parseInteger(keys.identification.at(names[i]));
        if (!n || *n < 0 || *n > 0xFFFF) return fail(names[i], "a 16-bit number is needed");
        v = *n;
      }
      if (!slave.has(ModbusTable::Input, static_cast<uint16_t>(0x8000 + i)))
        slave.setRegister(ModbusTable::Input, static_cast<uint16_t>(0x8000 + i), static_cast<uint16_t>(v));
    }
  }
  if (keys.readOnly && !readOnlyList(*keys.readOnly, &slave, nullptr)) return false;
  for (const auto& [key, value] : keys.dynamics) {
    auto dynamic = dynamicOf(key, value);
    if (!dynamic) return false;
    auto& [ref, d] = *dynamic;
    if (ref.number + (d.end() + 1) / 2 > 0x10000) return fail(key, "runs past address 65535");
    slave.addDynamic(*tableOf(ref.area), ref.number, d);
  }
  for (const auto& [key, value] : keys.limits) {
    auto limited = limitOf(key, value, Encoding::U16);
    if (!limited) return false;
    auto& [ref, limit] = *limited;
    if (ref.area != Area::Holding) return fail(key, "limits apply to holding registers");
    for (size_t i = 0; i < (limit.end() + 1) / 2; ++i)
      if (!slave.has(ModbusTable::Holding, static_cast<uint16_t>(ref.number + i)))
        return fail(key, "the limit spans a register that is not defined");
    slave.addLimit(ref.number, limit);
  }
  profile_.setup.modbus.push_back(std::move(slave));
  return true;
}

bool Loader::loadProfibus(const DeviceKeys& keys, uint8_t address) {
  auto number = [&](std::string_view name, long long high) -> std::optional<long long> {
    auto it = keys.identification.find(std::string(name));
    if (it == keys.identification.end()) return 0;
    auto v = parseInteger(it->second);
    if (!v || *v < 0 || *v > high) {
      fail(name, "a number from 0 to " + std::to_string(high) + " is needed");
      return std::nullopt;
    }
    return v;
  };
  auto ident = number("ident_number", 0xFFFF);
  auto manufacturer = number("manufacturer", 0xFFFF);
  auto type = number("device_type", 0xFFFF);
  if (!ident || !manufacturer || !type) return false;
  if (!keys.identification.count("ident_number")) return fail("IDENT_NUMBER", "a PA device needs its DP ident number");
  Bytes revision{0, 0};
  if (keys.identification.count("revision")) {
    std::string why;
    auto r = parseBytes(keys.identification.at("revision"), Encoding::U8, &why);
    if (!r || r->size() != 2) return fail("REVISION", "two bytes are needed");
    revision = *r;
  }
  auto softwareRevision = text(keys, "software_revision", 16);
  auto tag = text(keys, "tag", 32);
  auto deviceId = text(keys, "device_id", 16);
  auto serial = text(keys, "serial_number", 16);
  if (!softwareRevision || !tag || !deviceId || !serial) return false;

  PaTransmitter device(address, static_cast<uint16_t>(*ident));
  Profile::Origin& origin = profile_.origins.back();
  EntryMap& entries = device.entries();
  for (const auto& [key, value] : keys.memory) {
    EntryRef ref = *parseEntryRef(key, bus_);
    EntryKey at{ref.slot, static_cast<uint8_t>(ref.number)};
    std::string why;
    auto bytes = parseBytes(value, Encoding::U8, &why);
    if (!bytes) return fail(key, why);
    if (bytes->size() > kMaxEntrySize) return fail(key, "an entry holds at most 240 bytes");
    if (!entries.emplace(at, PaEntry{*bytes, false}).second) return fail(key, "defined twice");
    origin.blocks.push_back({key, ref, 0, *bytes});
  }
  auto u16 = [](long long v) { return Bytes{static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; };
  Bytes identification = u16(*manufacturer);
  Bytes t = u16(*type);
  identification.insert(identification.end(), t.begin(), t.end());
  identification.insert(identification.end(), {0, 0, revision[0], revision[1]});
  // Where the identification lives (physical block at slot 0, index 16), and
  // a directory that places the blocks there: what the program assumes of a
  // device that it has not asked.
  const std::pair<EntryKey, PaEntry> generated[] = {
      {{0, 18}, {Bytes(tag->begin(), tag->end()), false}},
      {{0, 24}, {Bytes(softwareRevision->begin(), softwareRevision->end()), true}},
      {{0, 26}, {u16(*manufacturer), true}},
      {{0, 27}, {Bytes(deviceId->begin(), deviceId->end()), true}},
      {{0, 28}, {Bytes(serial->begin(), serial->end()), true}},
      {{0, 56}, {u16(*type), true}},
      {{0, 79}, {identification, true}},
      {{1, 1},
       {{0x01, 0x04, 0x00, 0x01, 0x01, 0x05, 0x00, 0x01, 0x01, 0x06, 0x00, 0x02, 0x00, 0x10,
         0x00, 0x30, 0x01, 0x5C, 0x00, 0x58, 0x01, 0x10, 0x00, 0x37, 0x02, 0x10, 0x00, 0x2E},
        true}},
  };
  for (const auto& [key, entry] : generated) entries.emplace(key, entry);

  if (keys.readOnly && !readOnlyList(*keys.readOnly, nullptr, &device)) return false;
  bool calibration = false;
  if (keys.calibration) {
    auto c = parseInteger(*keys.calibration);
    if (!c || (*c != 0 && *c != 1)) return fail("CALIBRATION", "0 or 1");
    calibration = *c == 1;
  }
  std::vector<EntryKey> outputs;
  if (keys.outputs) {
    if (!calibration) return fail("OUTPUT", "the output of the measurement needs CALIBRATION = 1");
    for (std::string_view item : words(*keys.outputs)) {
      auto ref = parseEntryRef(item, bus_);
      if (!ref) return fail("OUTPUT", "not an entry: " + std::string(item));
      outputs.push_back({ref->slot, static_cast<uint8_t>(ref->number)});
    }
  }
  for (const auto& [key, value] : keys.dynamics) {
    auto dynamic = dynamicOf(key, value);
    if (!dynamic) return false;
    auto& [ref, d] = *dynamic;
    if (d.end() > kMaxEntrySize) return fail(key, "an entry holds at most 240 bytes");
    EntryKey at{ref.slot, static_cast<uint8_t>(ref.number)};
    bool computed = std::find(outputs.begin(), outputs.end(), at) != outputs.end() ||
                    (calibration && at == EntryKey{trim::kSlot, trim::kCompensatedValue});
    if (computed) return fail(key, "this entry is computed from the calibration");
    device.addDynamic(at, d);
  }
  for (const auto& [key, value] : keys.limits) {
    auto limited = limitOf(key, value, Encoding::U8);
    if (!limited) return false;
    auto& [ref, limit] = *limited;
    auto it = entries.find({ref.slot, static_cast<uint8_t>(ref.number)});
    if (it == entries.end() || it->second.data.size() < limit.end()) return fail(key, "the limit lies outside the entry");
    device.addLimit(it->first, limit);
  }
  if (calibration) {
    std::string why;
    if (!device.enableCalibration(outputs, &why)) return fail("CALIBRATION", why);
  }
  if (!keys.sensor.empty()) {
    const std::string& first = keys.sensor.begin()->first;
    if (!calibration) return fail(first, "a sensor on the plant needs CALIBRATION = 1");
    for (const auto& [key, value] : keys.dynamics) {
      auto ref = parseEntryRef(key.substr(key.find('.') + 1), bus_);
      if (ref && ref->slot == trim::kSlot && (ref->number == trim::kRawPressure || ref->number == trim::kRawTemperature))
        return fail(key, "the raw values of a sensor come from the plant");
    }
    Sensor sensor;
    const std::pair<const char*, double*> fields[] = {{"sensor_gain", &sensor.gain},
                                                      {"sensor_offset", &sensor.offset},
                                                      {"sensor_nonlinear", &sensor.nonlinear},
                                                      {"sensor_tempco", &sensor.tempco},
                                                      {"sensor_noise", &sensor.noise}};
    for (const auto& [name, field] : fields) {
      auto it = keys.sensor.find(name);
      if (it == keys.sensor.end()) continue;
      auto v = parseNumber(it->second);
      if (!v) return fail(name, "a number is needed");
      *field = *v;
    }
    if (sensor.noise < 0) return fail("sensor_noise", "the noise is an amplitude, not below 0");
    device.setSensor(sensor);
  }
  if (keys.diagnosis) {
    std::string why;
    auto d = parseBytes(*keys.diagnosis, Encoding::U8, &why);
    if (!d || d->size() < 6 || d->size() > 244) return fail("DIAGNOSIS", "6 to 244 bytes are needed");
    device.setDiagnosis(*d);
  }
  // Entries that no key names (identification, calibration) are written
  // back under their own names when they change.
  for (const auto& item : entries) {
    EntryKey key = item.first;
    bool named = std::any_of(origin.blocks.begin(), origin.blocks.end(),
                             [&](const Profile::Block& b) { return b.ref.slot == key.first && b.ref.number == key.second; });
    if (!named) origin.blocks.push_back({"", EntryRef{Area::Slot, key.first, key.second}, 0, item.second.data});
  }
  profile_.setup.profibus.push_back(std::move(device));
  return true;
}

}  // namespace

std::optional<EntryRef> parseEntryRef(std::string_view text, Bus bus) {
  std::string t = lower(text);
  size_t dot = t.find('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string area = t.substr(0, dot), rest = t.substr(dot + 1);
  EntryRef ref;
  if (area == "slot") {
    size_t second = rest.find('.');
    if (bus != Bus::Profibus || second == std::string::npos) return std::nullopt;
    auto slot = parseInteger(rest.substr(0, second));
    auto index = parseInteger(rest.substr(second + 1));
    if (!slot || !index || *slot < 0 || *slot > 255 || *index < 0 || *index > 255) return std::nullopt;
    ref.area = Area::Slot;
    ref.slot = static_cast<uint8_t>(*slot);
    ref.number = static_cast<uint16_t>(*index);
    return ref;
  }
  static constexpr std::pair<std::string_view, Area> kAreas[] = {
      {"coil", Area::Coil}, {"discrete", Area::Discrete}, {"holding", Area::Holding}, {"input", Area::Input}};
  auto it = std::find_if(std::begin(kAreas), std::end(kAreas), [&](const auto& a) { return a.first == area; });
  auto n = parseInteger(rest);
  if (bus != Bus::Modbus || it == std::end(kAreas) || !n || *n < 0 || *n > 0xFFFF) return std::nullopt;
  ref.area = it->second;
  ref.number = static_cast<uint16_t>(*n);
  return ref;
}

std::optional<Profile> parseProfile(std::string_view text, Bus bus, std::string* error) {
  Profile profile;
  profile.file = platform::KeyFile::parse(text);
  profile.setup.bus = bus;
  Loader loader(profile.file, bus, profile, error);
  if (!loader.run()) return std::nullopt;
  return profile;
}

std::optional<Profile> loadProfile(const std::string& path, Bus bus, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read the profile " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string why;
  auto profile = parseProfile(text.str(), bus, &why);
  if (!profile && error) *error = path + ": " + why;
  return profile;
}

std::string savedProfileText(const Profile& profile) {
  platform::KeyFile file = profile.file;
  const Setup& setup = profile.setup;
  for (size_t i = 0; i < profile.origins.size(); ++i) {
    const Profile::Origin& origin = profile.origins[i];
    if (setup.bus == Bus::Modbus) {
      const ModbusSlave& slave = setup.modbus[i];
      for (const Profile::Block& b : origin.blocks) {
        ModbusTable table = *tableOf(b.ref.area);
        Bytes now;
        bool computed = false;
        for (size_t u = 0; u < b.units; ++u) {
          uint16_t a = static_cast<uint16_t>(b.ref.number + u);
          computed = computed || slave.isDynamic(table, a);
          if (isBitArea(b.ref.area)) {
            now.push_back(slave.bit(table, a).value_or(false) ? 1 : 0);
          } else {
            uint16_t r = slave.reg(table, a).value_or(0);
            now.push_back(static_cast<uint8_t>(r >> 8));
            now.push_back(static_cast<uint8_t>(r));
          }
        }
        if (computed || now == b.initial) continue;
        std::string value;
        if (isBitArea(b.ref.area)) {
          for (uint8_t bit : now) value += value.empty() ? (bit ? "1" : "0") : (bit ? " 1" : " 0");
        } else {
          value = formatRegisters(now);
        }
        file.set(origin.section, b.key, value);
      }
      continue;
    }
    const PaTransmitter& device = setup.profibus[i];
    for (const Profile::Block& b : origin.blocks) {
      EntryKey key{b.ref.slot, static_cast<uint8_t>(b.ref.number)};
      auto it = device.entries().find(key);
      if (it == device.entries().end() || device.isComputed(key) || it->second.data == b.initial) continue;
      file.set(origin.section, b.key.empty() ? refText(b.ref) : b.key, formatBytes(it->second.data));
    }
    if (device.address() != origin.address) file.set(origin.section, "ADDRESS", std::to_string(device.address()));
  }
  return file.text();
}

bool saveProfile(const Profile& profile, const std::string& path) {
  return platform::writeFileAtomically(path, savedProfileText(profile));
}

}  // namespace tavrin::sim
