// Modbus RTU framing for the simulated slaves: slave address, PDU, CRC.
// Requests to address 0 are broadcasts: writes are carried out by every
// slave and nobody answers.
#pragma once

#include <vector>

#include "sim/bus_side.h"
#include "sim/modbus_slave.h"

namespace tavrin::sim {

class ModbusLine : public BusSide {
 public:
  explicit ModbusLine(std::vector<ModbusSlave>& slaves) : slaves_(slaves) {}

  Bus bus() const override { return Bus::Modbus; }
  FrameLength frameLength(ByteView from) const override;
  RequestInfo classify(ByteView frame) const override;
  Bytes serve(ByteView frame, double seconds) override;
  Bytes refuse(ByteView frame, const FaultSpec& fault) const override;
  Bytes restation(Bytes reply, uint8_t station) const override;

 private:
  ModbusSlave* find(uint8_t address) const;

  std::vector<ModbusSlave>& slaves_;
};

}  // namespace tavrin::sim
