#include "app/links.h"

#include <thread>

#include "ui/user_interface.h"

namespace tavrin::app {

DriverLink::DriverLink(const ProgramFiles& files, ui::UserInterface& ui, const uint8_t& busAddress)
    : files_(files), ui_(ui), busAddress_(busAddress) {}

void DriverLink::setPause(Pause pause) { pause_ = std::move(pause); }

bool DriverLink::require(bool bound, const char* name) {
  if (bound) return true;
  ui_.errorBox(std::string("Error: The driver library has no function ") + name + "!");
  return false;
}

void DriverLink::pause(std::chrono::milliseconds duration) const {
  if (pause_)
    pause_(duration);
  else
    std::this_thread::sleep_for(duration);
}

DeviceLinks::DeviceLinks(const ProgramFiles& files, ui::UserInterface& ui)
    : modbus_(files, ui, busAddress_), profibus_(files, ui, busAddress_) {}

DeviceLinks::~DeviceLinks() { unbind(); }

void DeviceLinks::bind() {
  modbus_.bind();
  profibus_.bind();
}

void DeviceLinks::closePorts() {
  modbus_.close();
  profibus_.close();
}

void DeviceLinks::unbind() {
  modbus_.unbind();
  profibus_.unbind();
}

void DeviceLinks::setPause(const Pause& pause) {
  modbus_.setPause(pause);
  profibus_.setPause(pause);
}

bool DeviceLinks::open(CommunicationType type) {
  switch (type) {
    case CommunicationType::Modbus: return modbus_.open();
    case CommunicationType::Profibus: return profibus_.open();
    case CommunicationType::None: break;
  }
  return false;
}

void DeviceLinks::close(CommunicationType type) {
  if (type == CommunicationType::Modbus) modbus_.close();
  if (type == CommunicationType::Profibus) profibus_.close();
}

int DeviceLinks::heldPort(CommunicationType type) const {
  switch (type) {
    case CommunicationType::Modbus: return modbus_.openPort();
    case CommunicationType::Profibus: return profibus_.openPort();
    case CommunicationType::None: break;
  }
  return 0;
}

bool DeviceLinks::profibusRead(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer,
                               size_t& received) {
  return profibus_.read(slot, index, length, buffer, received);
}

bool DeviceLinks::profibusWrite(uint8_t slot, uint8_t index, std::span<const uint8_t> data) {
  return profibus_.write(slot, index, data);
}

bool DeviceLinks::modbusRead(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer,
                             size_t& received) {
  return modbus_.read(functionCode, address, byteCount, buffer, received);
}

bool DeviceLinks::modbusWrite(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data) {
  return modbus_.write(functionCode, address, data);
}

}  // namespace tavrin::app
