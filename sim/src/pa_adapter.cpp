#include "sim/pa_adapter.h"

#include <algorithm>
#include <iterator>

#include "sim/crc16.h"

namespace tavrin::sim {
namespace {

constexpr uint8_t kShortFrame = 0x10;
constexpr uint8_t kLongFrame = 0x68;
constexpr uint8_t kShortAcknowledge = 0xE5;
constexpr uint8_t kDataLow = 0x08;
constexpr uint8_t kDiagnosisSap = 0x3C;
constexpr uint8_t kSetAddressSap = 0x37;
constexpr uint8_t kMasterSap = 0x3E;
constexpr uint8_t kRead = 0x5E;
constexpr uint8_t kWrite = 0x5F;

// The adapter passes DPV1 requests with SAPs 00/00; the acyclic class 1
// SAP (51) is accepted as well.
bool isDpvSap(uint8_t sap) { return sap == 0x00 || sap == 0x33; }

struct Telegram {
  Service service;
  uint8_t station;
};

// What a CRC-checked request asks for, or nothing for a telegram the
// transmitters do not answer.
std::optional<Telegram> decode(ByteView f) {
  if (f[0] == kShortFrame) {
    if ((f[3] & 0x4F) != 0x49) return std::nullopt;  // request FDL status
    return Telegram{Service::Status, f[1]};
  }
  size_t le = f[1];
  if (le < 5 || (f[4] & 0x80) == 0 || (f[5] & 0x80) == 0) return std::nullopt;
  uint8_t station = f[4] & 0x7F, dsap = f[7], ssap = f[8];
  if (dsap == kDiagnosisSap && ssap == kMasterSap && le == 5) return Telegram{Service::Diagnosis, station};
  if (dsap == kSetAddressSap && ssap == kMasterSap && le == 9) return Telegram{Service::SetAddress, station};
  if (!isDpvSap(dsap) || !isDpvSap(ssap) || le < 9) return std::nullopt;
  if (f[9] == kRead && le == 9) return Telegram{Service::Read, station};
  if (f[9] == kWrite && le == 9u + f[12]) return Telegram{Service::Write, station};
  return std::nullopt;
}

// A long reply to the sender of the request, from the station.
Bytes longReply(ByteView request, uint8_t station, uint8_t dsap, uint8_t ssap, ByteView payload) {
  uint8_t le = static_cast<uint8_t>(5 + payload.size());
  Bytes r(9 + payload.size());
  const uint8_t header[] = {kLongFrame, le, le, kLongFrame, request[5], static_cast<uint8_t>(station | 0x80), kDataLow, dsap, ssap};
  std::copy(std::begin(header), std::end(header), r.begin());
  std::copy(payload.begin(), payload.end(), r.begin() + 9);
  appendCrc(r);
  return r;
}

Bytes dpvReply(ByteView request, uint8_t station, ByteView payload) {
  return longReply(request, station, request[8], request[7], payload);
}

Bytes negative(ByteView request, uint8_t station, const DpvError& e) {
  Bytes payload{static_cast<uint8_t>(request[9] | 0x80), e.decode, e.code1, e.code2};
  return dpvReply(request, station, payload);
}

}  // namespace

FrameLength PaAdapter::frameLength(ByteView from) const {
  using K = FrameLength::Kind;
  if (from.empty()) return {K::More, 0};
  if (from[0] == kShortFrame) return {K::Known, 6};
  if (from[0] != kLongFrame) return {K::None, 0};
  if (from.size() < 4) return {K::More, 0};
  if (from[1] != from[2] || from[3] != kLongFrame) return {K::None, 0};
  return {K::Known, from[1] + 6u};
}

PaTransmitter* PaAdapter::find(uint8_t address) const {
  for (auto& d : devices_)
    if (d.address() == address) return &d;
  return nullptr;
}

RequestInfo PaAdapter::classify(ByteView frame) const {
  RequestInfo r;
  auto t = decode(frame);
  if (!t) {
    r.service = Service::Status;
    return r;
  }
  r.service = t->service;
  r.device = t->station;
  r.answered = find(t->station) != nullptr;
  if (t->service == Service::Read || t->service == Service::Write) {
    r.slot = frame[10];
    r.index = frame[11];
  }
  return r;
}

Bytes PaAdapter::serve(ByteView frame, double seconds) {
  auto t = decode(frame);
  PaTransmitter* device = t ? find(t->station) : nullptr;
  if (!device) return {};
  uint8_t station = t->station;
  switch (t->service) {
    case Service::Status: {
      Bytes r{kShortFrame, frame[2], station, 0x00};
      appendCrc(r);
      return r;
    }
    case Service::Diagnosis: return longReply(frame, station, kMasterSap, kDiagnosisSap, device->diagnosis());
    case Service::SetAddress: {
      uint8_t target = frame[9];
      uint16_t ident = static_cast<uint16_t>(frame[10] << 8 | frame[11]);
      // Two stations at one address would garble every reply: refuse.
      if (target != station && find(target) != nullptr) return {};
      if (!device->moveTo(target, ident, frame[12] != 0)) return {};
      return {kShortAcknowledge};
    }
    case Service::Read: {
      auto result = device->read(frame[10], frame[11], frame[12], seconds);
      if (auto* e = std::get_if<DpvError>(&result)) return negative(frame, station, *e);
      const Bytes& data = std::get<Bytes>(result);
      Bytes payload{kRead, frame[10], frame[11], static_cast<uint8_t>(data.size())};
      payload.insert(payload.end(), data.begin(), data.end());
      return dpvReply(frame, station, payload);
    }
    case Service::Write: {
      ByteView data = frame.subspan(13, frame[12]);
      if (auto e = device->write(frame[10], frame[11], data, seconds)) return negative(frame, station, *e);
      Bytes payload{kWrite, frame[10], frame[11], frame[12]};
      return dpvReply(frame, station, payload);
    }
    case Service::Modbus: break;
  }
  return {};
}

Bytes PaAdapter::refuse(ByteView frame, const FaultSpec& fault) const {
  DpvError e{fault.bytes[0], fault.bytes[1], fault.bytes[2]};
  return negative(frame, frame[4] & 0x7F, e);
}

Bytes PaAdapter::restation(Bytes reply, uint8_t station) const {
  if (reply.size() < 6) return reply;  // the short acknowledgement names nobody
  reply.resize(reply.size() - 2);
  if (reply[0] == kShortFrame) reply[2] = station;
  else reply[5] = static_cast<uint8_t>(station | 0x80);
  appendCrc(reply);
  return reply;
}

}  // namespace tavrin::sim
