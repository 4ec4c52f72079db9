#include <algorithm>
#include <array>
#include <filesystem>
#include <type_traits>

#include "app/links.h"
#include "app/serial_settings.h"
#include "app/status_texts.h"
#include "ostrelle.h"
#include "ui/user_interface.h"

namespace tavrin::app {
namespace {

constexpr uint8_t kPortAbnormal = 23;
constexpr int32_t kProbeTimeoutMs = 320;
constexpr int32_t kNormalTimeoutMs = 1000;
constexpr uint8_t kReadInputRegisters = 4;
constexpr uint16_t kIdentityRegister = 0x8000;

// Mb_Read hands back up to 255 bytes, whatever was asked for.
using ReplyBuffer = std::array<uint8_t, 256>;

}  // namespace

ModbusLink::~ModbusLink() { unbind(); }

bool ModbusLink::bind() {
  static_assert(std::is_same_v<OpenComPortFn, decltype(&::OpenComPort)>);
  static_assert(std::is_same_v<MbReadFn, decltype(&::Mb_Read)>);
  static_assert(std::is_same_v<MbWriteFn, decltype(&::Mb_Write)>);
  static_assert(std::is_same_v<CloseComPortFn, decltype(&::CloseComPort)>);
  static_assert(std::is_same_v<SetRespondOutTimeFn, decltype(&::SetRespondOutTime)>);
  static_assert(std::is_same_v<platform::FrameCallback, OstrelleFrameCallback>);

  const std::string path = files_.driver("Ostrelle");
  if (!std::filesystem::exists(path)) {
    ui_.errorBox("Error: Cannot find the Modbus.dll file!");
    return false;
  }
  if (isBound()) unbind();
  if (!library_.open(path)) {
    ui_.errorBox("Error: Failed to initialize Modbus library!!");
    return false;
  }
  openComPort_ = lookup<std::remove_pointer_t<OpenComPortFn>>("OpenComPort");
  mbRead_ = lookup<std::remove_pointer_t<MbReadFn>>("Mb_Read");
  mbWrite_ = lookup<std::remove_pointer_t<MbWriteFn>>("Mb_Write");
  closeComPort_ = lookup<std::remove_pointer_t<CloseComPortFn>>("CloseComPort");
  setRespondOutTime_ = lookup<std::remove_pointer_t<SetRespondOutTimeFn>>("SetRespondOutTime");
  bindFrameMonitor();
  if (!std::filesystem::exists(files_.comIni())) {
    ui_.errorBox("Error: Cannot find Modbus configuration file!");
    return false;
  }
  return true;
}

void ModbusLink::unbind() {
  close();
  unbindFrameMonitor();
  library_.close();
  openComPort_ = nullptr;
  mbRead_ = nullptr;
  mbWrite_ = nullptr;
  closeComPort_ = nullptr;
  setRespondOutTime_ = nullptr;
}

void ModbusLink::close() {
  const bool wasOpen = open_;
  open_ = false;
  port_ = 0;
  if (closeComPort_)
    closeComPort_();
  else if (wasOpen)
    require(false, "CloseComPort");
}

bool ModbusLink::open() {
  const SerialSettings s = loadSerialSettings(files_.comIni(), ui_);
  if (open_ && port_ == s.port) return true;
  close();
  if (!require(openComPort_ != nullptr, "OpenComPort")) return false;
  if (openComPort_(s.port, static_cast<int32_t>(s.baudRate), s.parity, s.dataBits, s.stopBits, s.flowControl,
                   kNormalTimeoutMs) == 0) {
    open_ = false;
    ui_.errorBox("Error: Failed to open the serial port!");
    return false;
  }
  open_ = true;
  port_ = s.port;
  return true;
}

bool ModbusLink::quietRead(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer,
                           size_t& received, uint8_t& status) {
  received = 0;
  status = kRefusedLocally;
  if (!require(mbRead_ != nullptr, "Mb_Read")) return false;
  ReplyBuffer reply{};
  for (int attempt = 0; attempt < attempts_; ++attempt) {
    uint8_t replyLength = 0;
    status = mbRead_(busAddress_, functionCode, address, byteCount, reply.data(), &replyLength);
    if (status == 0) {
      received = std::min<size_t>(replyLength, buffer.size());
      std::copy_n(reply.begin(), received, buffer.begin());
      return true;
    }
  }
  return false;
}

bool ModbusLink::quietWrite(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data,
                            uint8_t& status) {
  status = kRefusedLocally;
  if (!require(mbWrite_ != nullptr, "Mb_Write")) return false;
  // The driver takes a one-byte count: more would be cut short silently.
  if (data.size() > 255) return false;
  for (int attempt = 0; attempt < attempts_; ++attempt) {
    status = mbWrite_(busAddress_, functionCode, address, data.data(), static_cast<uint8_t>(data.size()));
    if (status == 0) return true;
  }
  return false;
}

bool ModbusLink::read(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer,
                      size_t& received) {
  received = 0;
  if (!require(mbRead_ != nullptr, "Mb_Read")) return false;
  if (!open_ && !open()) return false;
  uint8_t status = 0;
  if (quietRead(functionCode, address, byteCount, buffer, received, status)) return true;
  ui_.errorBox(modbusReadStatusText(status));
  if (status == kPortAbnormal) open_ = false;
  return false;
}

bool ModbusLink::write(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data) {
  if (!require(mbWrite_ != nullptr, "Mb_Write")) return false;
  if (!open_ && !open()) return false;
  uint8_t status = 0;
  if (quietWrite(functionCode, address, data, status)) return true;
  ui_.errorBox(modbusWriteStatusText(status));
  if (status == kPortAbnormal) open_ = false;
  return false;
}

bool ModbusLink::identityProbe(std::span<uint8_t, kIdentitySize> identity) {
  std::fill(identity.begin(), identity.end(), 0);
  if (!require(setRespondOutTime_ != nullptr, "SetRespondOutTime")) return false;
  setRespondOutTime_(kProbeTimeoutMs);
  const int saved = attempts_;
  attempts_ = 1;
  size_t received = 0;
  uint8_t status = 0;
  bool ok = quietRead(kReadInputRegisters, kIdentityRegister, kIdentitySize, identity, received, status);
  attempts_ = saved;
  setRespondOutTime_(kNormalTimeoutMs);
  // A short reply would leave part of the identification unknown.
  if (ok && received == kIdentitySize) return true;
  std::fill(identity.begin(), identity.end(), 0);
  return false;
}

}  // namespace tavrin::app
