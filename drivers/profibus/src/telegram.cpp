#include "kelvane/telegram.h"

#include <algorithm>

namespace tavrin::kelvane {
namespace {

constexpr std::array<uint16_t, 256> makeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    table[i] = crc;
  }
  return table;
}
constexpr auto kCrcTable = makeCrcTable();

constexpr uint8_t kShortStart = 0x10;
constexpr uint8_t kLongStart = 0x68;
constexpr size_t kCrcSize = 2;
constexpr size_t kLongHeader = 4;  // 0x68 LE LE 0x68, not counted in LE
constexpr size_t kShortSize = 4;

// LE counts the bytes from destination address to the end of the data.
constexpr size_t kDiagnosisHeader = 5;  // DA SA FC DSAP SSAP
constexpr size_t kDpv1Header = 9;       // DA SA FC 00 00 function slot index length
constexpr size_t kDpv1ErrorOffset = 10;
constexpr size_t kDpv1ErrorMinimum = 6;  // DA SA FC 00 00 function, then the error bytes
constexpr size_t kDpv1ErrorBytes = 3;

bool crcMatches(std::span<const uint8_t> frame, std::span<const uint8_t> crc) {
  uint16_t value = crc16(frame);
  return crc[0] == (value & 0xFF) && crc[1] == (value >> 8);
}

std::vector<uint8_t> longTelegram(std::initializer_list<uint8_t> body) {
  auto le = static_cast<uint8_t>(body.size());
  std::vector<uint8_t> t(kLongHeader + body.size());
  t[0] = t[3] = kLongStart;
  t[1] = t[2] = le;
  std::copy(body.begin(), body.end(), t.begin() + kLongHeader);
  return t;
}

// A whole long frame from address to us whose LE covers at least minimumLe
// bytes, so that every byte a check looks at was received.
bool isLongFrameFrom(std::span<const uint8_t> reply, uint8_t address, size_t minimumLe) {
  return reply.size() >= kLongHeader && reply[0] == kLongStart && reply[3] == kLongStart && reply[1] == reply[2] &&
         reply.size() == kLongHeader + reply[1] && reply[1] >= minimumLe && reply[4] == kMasterAddress &&
         reply[5] == (address | kRemoteFlag);
}

}  // namespace

uint16_t crc16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ b) & 0xFF]);
  return crc;
}

void appendCrc(std::vector<uint8_t>& telegram) {
  uint16_t crc = crc16(telegram);
  telegram.push_back(static_cast<uint8_t>(crc & 0xFF));
  telegram.push_back(static_cast<uint8_t>(crc >> 8));
}

std::vector<uint8_t> stationStatusRequest(uint8_t address) { return {kShortStart, address, 0x01, 0x49}; }

std::vector<uint8_t> slaveDiagnosisRequest(uint8_t address) {
  return longTelegram({static_cast<uint8_t>(address | kRemoteFlag), kMasterAddress, 0x4D, 0x3C, 0x3E});
}

std::vector<uint8_t> setSlaveAddressRequest(uint8_t oldAddress, uint8_t newAddress, uint8_t identHigh,
                                            uint8_t identLow) {
  return longTelegram({static_cast<uint8_t>(oldAddress | kRemoteFlag), kMasterAddress, 0x4D, 0x37, 0x3E, newAddress,
                       identHigh, identLow, 0x00});
}

std::vector<uint8_t> readRequest(uint8_t address, uint8_t slot, uint8_t index, uint8_t length) {
  return longTelegram(
      {static_cast<uint8_t>(address | kRemoteFlag), kMasterAddress, 0x44, 0x00, 0x00, kReadFunction, slot, index, length});
}

std::optional<std::vector<uint8_t>> writeRequest(uint8_t address, uint8_t slot, uint8_t index,
                                                 std::span<const uint8_t> data) {
  if (data.size() > kMaxWriteData) return std::nullopt;
  auto n = static_cast<uint8_t>(data.size());
  auto t = longTelegram({static_cast<uint8_t>(address | kRemoteFlag), kMasterAddress, 0x44, 0x00, 0x00,
                         kWriteFunction, slot, index, n});
  t[1] = t[2] = static_cast<uint8_t>(n + kDpv1Header);
  t.insert(t.end(), data.begin(), data.end());
  return t;
}

namespace {

// The reply that begins at p, and where the scan goes on behind it. A frame
// too long to hold yields no reply but is passed over whole.
struct Found {
  std::optional<std::span<const uint8_t>> reply;
  size_t next = 0;
};

std::optional<Found> replyAt(std::span<const uint8_t> received, size_t p) {
  const uint8_t* b = received.data() + p;
  const size_t left = received.size() - p;
  if (b[0] == kShortStart && left >= kShortSize + kCrcSize && b[3] == 0x00 &&
      crcMatches(received.subspan(p, kShortSize), received.subspan(p + kShortSize, kCrcSize)))
    return Found{received.subspan(p, kShortSize), p + kShortSize + kCrcSize};
  if (b[0] == kLongStart && left >= kLongHeader && b[3] == kLongStart && b[1] == b[2]) {
    const size_t size = kLongHeader + b[1];
    if (left >= size + kCrcSize && crcMatches(received.subspan(p, size), received.subspan(p + size, kCrcSize))) {
      if (size > kReplyBufferSize) return Found{std::nullopt, p + size + kCrcSize};
      return Found{received.subspan(p, size), p + size + kCrcSize};
    }
  }
  if (b[0] == kShortAcknowledge) return Found{received.subspan(p, 1), p + 1};
  return std::nullopt;
}

}  // namespace

std::optional<std::span<const uint8_t>> findReply(std::span<const uint8_t> received) {
  for (size_t p = 0; p < received.size(); ++p)
    if (auto found = replyAt(received, p)) return found->reply;
  return std::nullopt;
}

std::vector<std::span<const uint8_t>> findReplies(std::span<const uint8_t> received) {
  std::vector<std::span<const uint8_t>> replies;
  size_t p = 0;
  while (p < received.size()) {
    auto found = replyAt(received, p);
    if (!found) {
      ++p;
      continue;
    }
    if (found->reply) replies.push_back(*found->reply);
    p = found->next;
  }
  return replies;
}

void Payload::assign(std::span<const uint8_t> data) {
  size = static_cast<uint8_t>(std::min(data.size(), bytes.size()));
  std::copy_n(data.begin(), size, bytes.begin());
}

Status checkStationStatus(std::span<const uint8_t> reply, uint8_t address) {
  const std::array<uint8_t, kShortSize> expected{kShortStart, 0x01, address, 0x00};
  return std::ranges::equal(reply, expected) ? Status::Ok : Status::BadReply;
}

Status checkDiagnosis(std::span<const uint8_t> reply, uint8_t address, Payload& data) {
  data.size = 0;
  if (!isLongFrameFrom(reply, address, kDiagnosisHeader) || reply[7] != 0x3E || reply[8] != 0x3C)
    return Status::BadReply;
  data.assign(reply.subspan(kLongHeader + kDiagnosisHeader, reply[1] - kDiagnosisHeader));
  return Status::Ok;
}

namespace {

constexpr uint8_t kNegativeFlag = 0x80;
constexpr size_t kSlotAt = 10, kIndexAt = 11, kLengthAt = 12;

// Read and write share the header checks and the negative reply; a
// positive reply must echo the request.
Status checkDpv1(std::span<const uint8_t> reply, uint8_t address, uint8_t function, uint8_t slot, uint8_t index,
                 uint8_t length, Payload& out, bool withData) {
  out.size = 0;
  if (!isLongFrameFrom(reply, address, kDpv1Header) || reply[7] != 0x00 || reply[8] != 0x00) return Status::BadReply;
  const size_t le = reply[1];
  if (reply[9] == function) {
    if (reply[kSlotAt] != slot || reply[kIndexAt] != index) return Status::BadReply;
    if (withData) {
      if (le - kDpv1Header > length) return Status::BadReply;
      out.assign(reply.subspan(kLongHeader + kDpv1Header, le - kDpv1Header));
    } else if (reply[kLengthAt] != length) {
      return Status::BadReply;
    }
    return Status::Ok;
  }
  if (reply[9] != (function | kNegativeFlag)) return Status::BadReply;
  static_assert(kDpv1ErrorMinimum + kDpv1ErrorBytes == kDpv1Header);
  out.assign(reply.subspan(kDpv1ErrorOffset, le - kDpv1ErrorMinimum));
  return Status::NegativeReply;
}

}  // namespace

Status checkRead(std::span<const uint8_t> reply, uint8_t address, uint8_t slot, uint8_t index, uint8_t length,
                 Payload& data) {
  return checkDpv1(reply, address, kReadFunction, slot, index, length, data, true);
}

Status checkWrite(std::span<const uint8_t> reply, uint8_t address, uint8_t slot, uint8_t index, uint8_t length,
                  Payload& error) {
  return checkDpv1(reply, address, kWriteFunction, slot, index, length, error, false);
}

Status checkSetAddress(std::span<const uint8_t> reply) {
  return reply.size() == 1 && reply[0] == kShortAcknowledge ? Status::Ok : Status::BadReply;
}

}  // namespace tavrin::kelvane
