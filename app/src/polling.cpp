#include "app/polling.h"

#include <array>
#include <cctype>
#include <cstdio>

#include "app/links.h"
#include "app/session.h"
#include "platform/key_file.h"
#include "platform/text.h"
#include "ui/user_interface.h"

namespace tavrin::app {

namespace {

constexpr PollColumn kProfibusColumns[] = {
    {"Address", 100}, {"Tag", 120}, {"Serial No.", 120}, {"Manu", 120}, {"Device", 120}};
constexpr PollColumn kModbusColumns[] = {{"Address", 100}, {"Manu", 120}, {"Device", 120}, {"Device Ver", 100}};

constexpr const char* kPortTypeError = "Error: The Port Type error!";
constexpr const char* kTypeIncorrect = "Error: Communication type incorrect!";

using platform::trim;

// An address typed by the person: a decimal number and nothing else. Text
// that is not one ("abc", "0x10") is no address at all, rather than 0.
std::optional<long long> decimalNumber(std::string_view text) {
  text = trim(text);
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return decimalValue(text);
}

std::string hex16(uint8_t high, uint8_t low) {
  char out[8];
  std::snprintf(out, sizeof out, "0x%04X", (static_cast<unsigned>(high) << 8) | low);
  return out;
}

// A text field of the identification, cut after its length and at its
// first zero byte.
std::string fieldText(std::span<const uint8_t> bytes, size_t received) {
  std::string s;
  for (size_t i = 0; i < received && i < bytes.size() && bytes[i] != 0; ++i) s.push_back(static_cast<char>(bytes[i]));
  return s;
}

}  // namespace

std::span<const PollColumn> pollColumns(CommunicationType type) {
  switch (type) {
    case CommunicationType::Profibus:
      return kProfibusColumns;
    case CommunicationType::Modbus:
      return kModbusColumns;
    default:
      return {};
  }
}

PollRange readPollRange(const std::string& comIni) {
  return {platform::readKey("START_ADDR", "ADDRESS", comIni), platform::readKey("END_ADDR", "ADDRESS", comIni)};
}

bool storePollRange(const std::string& comIni, const PollRange& range) {
  const platform::KeyValue keys[] = {{"START_ADDR", "ADDRESS", range.start}, {"END_ADDR", "ADDRESS", range.end}};
  return platform::writeKeys(comIni, keys);
}

Poller::Poller(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui)
    : links_(links), files_(files), ui_(ui) {}

Poller::~Poller() {
  stop();
  wait();
}

void Poller::wait() {
  if (worker_.joinable()) worker_.join();
}

std::vector<PolledDevice> Poller::devices() const {
  std::lock_guard lock(mutex_);
  return devices_;
}

bool Poller::start(CommunicationType type, const PollRange& range) {
  if (running_) return false;
  if (type == CommunicationType::None) {
    ui_.errorBox(kPortTypeError);
    return false;
  }
  if (!links_.open(type)) return false;
  const auto first = decimalNumber(range.start);
  const auto last = decimalNumber(range.end);
  if (!first || !last || *first < 0 || *first > 255 || *last < 0 || *last > 255) {
    ui_.errorBox("Error: The address range error,please input between 0~255!");
    return false;
  }
  if (*last < *first) {
    ui_.errorBox("Error: The starting address couldn't larger than the ending address!");
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    devices_.clear();
  }
  storePollRange(files_.comIni(), range);
  wait();  // a scan that has ended leaves its thread to be joined
  running_ = true;
  stopRequested_ = false;
  worker_ = std::thread([this, type, a = static_cast<int>(*first), b = static_cast<int>(*last)] { scan(type, a, b); });
  return true;
}

void Poller::scan(CommunicationType type, int first, int last) {
  const int range = last - first + 1;
  if (observer_.progress) observer_.progress(0, range);
  for (int address = first; address <= last && !stopRequested_; ++address) {
    char status[64];
    std::snprintf(status, sizeof status, "Polling address %d... ...", address);
    if (observer_.status) observer_.status(status);
    if (observer_.progress) observer_.progress(address - first + 1, range);
    links_.setBusAddress(static_cast<uint8_t>(address));
    if (auto device = probe(type, address)) {
      {
        std::lock_guard lock(mutex_);
        devices_.push_back(*device);
      }
      if (observer_.found) observer_.found(*device);
    }
  }
  if (observer_.progress) observer_.progress(0, range);
  if (observer_.status) observer_.status("");
  running_ = false;
  if (observer_.finished) observer_.finished();
}

std::optional<PolledDevice> Poller::probe(CommunicationType type, int address) {
  PolledDevice row{address, {std::to_string(address)}};
  if (type == CommunicationType::Modbus) {
    std::array<uint8_t, ModbusLink::kIdentitySize> id{};
    if (!links_.modbus().identityProbe(id)) return std::nullopt;
    // Bytes 4 and 5 are not shown.
    row.texts.push_back(hex16(id[0], id[1]));
    row.texts.push_back(hex16(id[2], id[3]));
    row.texts.push_back(hex16(id[6], id[7]));
    return row;
  }
  ProfibusLink& link = links_.profibus();
  if (!link.devicePresent(static_cast<uint8_t>(address))) return std::nullopt;
  std::array<uint8_t, 32> buffer{};
  size_t received = 0;
  uint8_t status = 0;
  // Each read only after the one before succeeded: a device that stops
  // answering half-way gives no row.
  const auto read = [&](uint8_t index, uint8_t length) {
    buffer.fill(0);
    return link.quietRead(0, index, length, buffer, received, status);
  };
  if (!read(26, 2) || received < 2) return std::nullopt;
  const std::string manufacturer = hex16(buffer[0], buffer[1]);
  if (!read(27, 16)) return std::nullopt;
  const std::string device = fieldText(buffer, std::min<size_t>(received, 16));
  if (!read(18, 32)) return std::nullopt;
  const std::string tag = fieldText(buffer, std::min<size_t>(received, 32));
  if (!read(28, 16)) return std::nullopt;
  const std::string serial = fieldText(buffer, std::min<size_t>(received, 16));
  row.texts.insert(row.texts.end(), {tag, serial, manufacturer, device});
  return row;
}

std::optional<int> Poller::choose(CommunicationType type, int row, const PollRange& range) {
  if (running_) {
    ui_.errorBox("Error: Polling, please wait!");
    return std::nullopt;
  }
  const std::vector<PolledDevice> list = devices();
  if (row < 0 || static_cast<size_t>(row) >= list.size()) {
    ui_.errorBox("Error: Please select the transmitter!");
    return std::nullopt;
  }
  const int address = list[static_cast<size_t>(row)].address;
  if (type == CommunicationType::None) {
    ui_.errorBox(kTypeIncorrect);
    return std::nullopt;
  }
  storeBusAddress(files_.comIni(), type, address);
  storePollRange(files_.comIni(), range);
  return address;
}

std::optional<std::string> storedAddressText(const ProgramFiles& files, CommunicationType type,
                                             ui::UserInterface& ui) {
  if (type == CommunicationType::None) {
    ui.errorBox(kTypeIncorrect);
    return std::nullopt;
  }
  return platform::readKey(addressSection(type), "ADDRESS", files.comIni());
}

std::optional<uint8_t> addressFromText(std::string_view text, ui::UserInterface& ui) {
  text = trim(text);
  if (text.empty()) {
    ui.errorBox("Error: The address can't be NULL!");
    return std::nullopt;
  }
  const auto n = decimalNumber(text);
  if (!n || *n < 0 || *n > 255) {
    ui.errorBox("Error: Address range is: 0 ~ 255!");
    return std::nullopt;
  }
  return static_cast<uint8_t>(*n);
}

bool setAddress(DeviceSession& session, std::string_view text) {
  const auto address = addressFromText(text, session.model().ui());
  if (!address) return false;
  session.setBusAddress(*address);
  return true;
}

}  // namespace tavrin::app
