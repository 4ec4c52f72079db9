#include "app/frame_format.h"

#include <cstdio>

#include "app/status_texts.h"

namespace tavrin::app {
namespace {

using Bytes = std::span<const uint8_t>;

std::string hex8(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
  return text;
}

std::string hex16(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
  return text;
}

uint16_t crc16(Bytes bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

// The last two bytes are the CRC of the others, low byte first.
bool crcMatches(Bytes frame) {
  if (frame.size() < 3) return false;
  const uint16_t crc = crc16(frame.first(frame.size() - 2));
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

unsigned word(Bytes b, size_t at) { return (unsigned{b[at]} << 8) | b[at + 1]; }

// --- Modbus ---

const char* modbusFunctionName(uint8_t function) {
  switch (function) {
    case 1: return "Read coils";
    case 2: return "Read discrete inputs";
    case 3: return "Read holding registers";
    case 4: return "Read input registers";
    case 5: return "Write single coil";
    case 6: return "Write single register";
    case 15: return "Write multiple coils";
    case 16: return "Write multiple registers";
    default: return nullptr;
  }
}

std::string modbusFunction(uint8_t function) {
  const char* name = modbusFunctionName(function);
  return name ? name : "Function " + hex8(function);
}

const char* modbusExceptionName(uint8_t code) {
  switch (code) {
    case 1: return "illegal function";
    case 2: return "illegal data address";
    case 3: return "illegal data value";
    case 4: return "slave device failure";
    case 5: return "acknowledge";
    case 6: return "slave device busy";
    case 8: return "memory parity error";
    case 10: return "gateway path unavailable";
    case 11: return "gateway target failed to respond";
    default: return "unknown exception";
  }
}

std::string modbusRequest(Bytes b) {
  const uint8_t function = b[1];
  const bool reads = function >= 1 && function <= 4;
  if ((reads || function == 5 || function == 6) && b.size() >= 8)
    return modbusFunction(function) + " " + hex16(word(b, 2)) +
           (function == 5 || function == 6 ? " = " + hex16(word(b, 4)) : ", count " + std::to_string(word(b, 4)));
  if ((function == 15 || function == 16) && b.size() >= 9)
    return modbusFunction(function) + " " + hex16(word(b, 2)) + ", count " + std::to_string(word(b, 4)) + ", " +
           std::to_string(b[6]) + " bytes";
  return modbusFunction(function);
}

std::string modbusReply(Bytes b) {
  const uint8_t function = b[1];
  if ((function & 0x80) != 0) {
    const uint8_t base = function & 0x7F;
    if (b.size() < 3) return "Exception reply to " + modbusFunction(base) + ", cut short";
    return "Exception " + std::to_string(b[2]) + " (" + modbusExceptionName(b[2]) + ") to " + modbusFunction(base);
  }
  if (function >= 1 && function <= 4 && b.size() >= 3) return modbusFunction(function) + " reply, " + std::to_string(b[2]) + " bytes";
  if ((function == 5 || function == 6) && b.size() >= 6)
    return modbusFunction(function) + " " + hex16(word(b, 2)) + " = " + hex16(word(b, 4)) + " done";
  if ((function == 15 || function == 16) && b.size() >= 6)
    return modbusFunction(function) + " " + hex16(word(b, 2)) + ", count " + std::to_string(word(b, 4)) + " done";
  return modbusFunction(function) + " reply";
}

// --- Profibus (adapter telegrams: the Profibus frame with a CRC-16) ---

constexpr uint8_t kShortStart = 0x10;
constexpr uint8_t kLongStart = 0x68;
constexpr uint8_t kAcknowledge = 0xE5;
constexpr uint8_t kRemoteFlag = 0x80;

std::string dpv1Negative(const char* service, Bytes b) {
  std::string text = std::string(service) + " refused";
  if (b.size() < 13) return text + ", error bytes cut short";
  const Dpv1Error error = decodeDpv1Error(b[10], b[11], b[12]);
  text += ": decode " + hex8(b[10]) + ", code 1 " + hex8(b[11]) + ", code 2 " + hex8(b[12]);
  if (!error.classText.empty() || !error.codeText.empty()) text += " (" + error.text() + ")";
  return text;
}

std::string slotIndex(Bytes b) {
  return "slot " + std::to_string(b[10]) + ", index " + std::to_string(b[11]) + ", length " + std::to_string(b[12]);
}

FrameDecoding profibusLong(Bytes b, bool request) {
  FrameDecoding d;
  // 68 LE LE 68 DA SA FC DSAP SSAP ...
  if (b.size() < 9 || b[3] != kLongStart || b[1] != b[2]) return {std::nullopt, "Long telegram, cut short"};
  d.address = static_cast<uint8_t>((request ? b[4] : b[5]) & ~kRemoteFlag);
  const size_t end = std::min<size_t>(b.size(), size_t{b[1]} + 4);  // without the CRC
  const Bytes body = b.first(end);
  if (body.size() < 9) return d.summary = "Long telegram, cut short", d;
  const uint8_t dsap = body[7], ssap = body[8];
  if (request) {
    if (dsap == 0x3C && ssap == 0x3E) return d.summary = "Slave diagnosis", d;
    if (dsap == 0x37 && body.size() >= 10) return d.summary = "Set slave address to " + std::to_string(body[9]), d;
  } else if (dsap == 0x3E && ssap == 0x3C) {
    return d.summary = "Slave diagnosis reply, " + std::to_string(body.size() - 9) + " bytes", d;
  }
  if (dsap == 0x00 && ssap == 0x00 && body.size() >= 10) {
    const uint8_t function = body[9];
    if (function == 0x5E && body.size() >= 13) return d.summary = (request ? "Read " : "Read reply, ") + slotIndex(body), d;
    if (function == 0x5F && body.size() >= 13) return d.summary = (request ? "Write " : "Write reply, ") + slotIndex(body), d;
    if (function == 0xDE) return d.summary = dpv1Negative("Read", body), d;
    if (function == 0xDF) return d.summary = dpv1Negative("Write", body), d;
    return d.summary = "DPV1 function " + hex8(function), d;
  }
  d.summary = std::string(request ? "Telegram" : "Reply") + " to SAP " + hex8(dsap) + " from SAP " + hex8(ssap);
  return d;
}

FrameDecoding profibusFrame(Bytes b, bool request) {
  if (b[0] == kAcknowledge && b.size() == 1) return {std::nullopt, "Short acknowledge"};
  if (b[0] == kShortStart) {
    if (b.size() < 4) return {std::nullopt, "Short telegram, cut short"};
    // 10 DA SA FC: the station asked is the destination of a request and
    // the source of a reply.
    const auto station = static_cast<uint8_t>((request ? b[1] : b[2]) & ~kRemoteFlag);
    if (request) return {station, b[3] == 0x49 ? "Station status" : "Short telegram, function " + hex8(b[3])};
    return {station, "Station status reply, function " + hex8(b[3])};
  }
  if (b[0] == kLongStart) return profibusLong(b, request);
  return {std::nullopt, "Unknown telegram"};
}

}  // namespace

FrameDecoding FrameDecoder::decode(const MonitorFrame& frame) {
  const Bytes b(frame.bytes);
  std::optional<uint8_t>& last = lastAddress_[frame.bus == Bus::Modbus ? 0 : 1];
  const bool modbus = frame.bus == Bus::Modbus;
  const bool request = frame.direction == FrameDirection::Sent;
  switch (frame.outcome) {
    case FrameOutcome::TimedOut: return {last, "No reply (time-out)"};
    case FrameOutcome::Discarded: {
      // A whole frame that was not taken (a late reply to an earlier
      // request, one that did not fit) says what it was.
      const bool frameShaped = modbus ? b.size() >= 4 && crcMatches(b)
                                      : b.size() >= 6 && (b[0] == kShortStart || b[0] == kLongStart) && crcMatches(b);
      if (!frameShaped)
        return {std::nullopt, "Discarded " + std::to_string(b.size()) + (b.size() == 1 ? " byte" : " bytes")};
      FrameDecoding d = modbus ? FrameDecoding{b[0], modbusReply(b)} : profibusFrame(b, false);
      d.summary = "Discarded: " + d.summary;
      return d;
    }
    case FrameOutcome::Sent:
    case FrameOutcome::Reply:
    case FrameOutcome::CrcError: break;
  }
  FrameDecoding d;
  if (b.empty()) {
    d.summary = "Empty frame";
  } else if (modbus) {
    if (b.size() < 2) {
      d = {b[0], "Frame cut short"};
    } else {
      d.address = b[0];
      d.summary = request ? modbusRequest(b) : modbusReply(b);
    }
  } else {
    d = profibusFrame(b, request);
  }
  if (request && d.address) last = d.address;
  if (!d.address && !request) d.address = last;
  const bool shortAcknowledge = !modbus && b.size() == 1;
  if (frame.outcome == FrameOutcome::CrcError)
    d.summary = "CRC error: " + d.summary;
  else if (!shortAcknowledge && !b.empty() && !crcMatches(b))
    d.summary += ", CRC wrong";
  return d;
}

const char* directionText(FrameDirection direction) { return direction == FrameDirection::Sent ? "TX" : "RX"; }

std::string frameTimeText(std::chrono::steady_clock::time_point at, std::chrono::steady_clock::time_point origin) {
  const double seconds = at > origin ? std::chrono::duration<double>(at - origin).count() : 0.0;
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", seconds);
  return text;
}

std::string hexBytes(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string frameLine(const MonitorFrame& frame, const FrameDecoding& decoding,
                      std::chrono::steady_clock::time_point origin) {
  std::string line = frameTimeText(frame.at, origin);
  line += '\t';
  line += directionText(frame.direction);
  line += '\t';
  line += decoding.address ? std::to_string(*decoding.address) : "-";
  line += '\t';
  line += decoding.summary;
  line += '\t';
  line += hexBytes(frame.bytes);
  return line;
}

}  // namespace tavrin::app
