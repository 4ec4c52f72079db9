#include "sim/modbus_line.h"

#include "sim/crc16.h"

namespace tavrin::sim {

// Request lengths by function code: fixed, or fixed plus a byte count found
// at a known position. Anything else ends where a CRC matches.
FrameLength ModbusLine::frameLength(ByteView from) const {
  using K = FrameLength::Kind;
  if (from.empty()) return {K::More, 0};
  if (from[0] > 247) return {K::None, 0};
  if (from.size() < 2) return {K::More, 0};
  auto counted = [&](size_t countAt, size_t fixed) -> FrameLength {
    if (from.size() <= countAt) return {K::More, 0};
    return {K::Known, fixed + from[countAt]};
  };
  switch (from[1]) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 8: return {K::Known, 8};
    case 7: case 11: case 12: case 17: return {K::Known, 4};
    case 15: case 16: return counted(6, 9);
    case 20: case 21: return counted(2, 5);
    case 22: return {K::Known, 10};
    case 23: return counted(10, 13);
    case 24: return {K::Known, 6};
    default: return (from[1] & 0x80) ? FrameLength{K::None, 0} : FrameLength{K::Unknown, 0};
  }
}

ModbusSlave* ModbusLine::find(uint8_t address) const {
  for (auto& s : slaves_)
    if (s.address() == address) return &s;
  return nullptr;
}

RequestInfo ModbusLine::classify(ByteView frame) const {
  RequestInfo r;
  r.service = Service::Modbus;
  r.device = frame[0];
  r.function = frame[1];
  r.answered = frame[0] != 0 && find(frame[0]) != nullptr;
  if (frame.size() >= 8) {
    r.first = static_cast<uint32_t>(frame[2] << 8 | frame[3]);
    bool quantity = r.function <= 4 || r.function == 15 || r.function == 16;
    r.count = quantity ? static_cast<uint32_t>(frame[4] << 8 | frame[5]) : 1;
  }
  return r;
}

Bytes ModbusLine::serve(ByteView frame, double seconds) {
  ByteView pdu = frame.subspan(1, frame.size() - 3);
  if (frame[0] == 0) {
    if (frame[1] == 6 || frame[1] == 16)
      for (auto& s : slaves_) s.serve(pdu, seconds);
    return {};
  }
  ModbusSlave* slave = find(frame[0]);
  if (!slave) return {};
  Bytes reply{frame[0]};
  Bytes answer = slave->serve(pdu, seconds);
  reply.insert(reply.end(), answer.begin(), answer.end());
  appendCrc(reply);
  return reply;
}

Bytes ModbusLine::refuse(ByteView frame, const FaultSpec& fault) const {
  Bytes reply{frame[0]};
  Bytes answer = ModbusSlave::exception(frame[1], fault.value);
  reply.insert(reply.end(), answer.begin(), answer.end());
  appendCrc(reply);
  return reply;
}

Bytes ModbusLine::restation(Bytes reply, uint8_t station) const {
  if (reply.size() < 3) return reply;
  reply.resize(reply.size() - 2);
  reply[0] = station;
  appendCrc(reply);
  return reply;
}

}  // namespace tavrin::sim
