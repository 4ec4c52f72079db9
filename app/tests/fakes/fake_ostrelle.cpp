// A scripted stand-in for Driver/Ostrelle.so with the driver's own signatures.

#include "fake_driver_state.h"
#include "ostrelle.h"

using tavrin::app::fakes::deliver;
using tavrin::app::fakes::hexOf;
using tavrin::app::fakes::state;

FAKE_DRIVER_CONTROL_EXPORTS

FAKE_DRIVER_EXPORT int32_t OpenComPort(int32_t port, int32_t baudRate, uint8_t parity, uint8_t dataBits,
                                       uint8_t stopBits, uint8_t flowControl, int32_t reserved) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("OpenComPort %d %d %d %d %d %d %d", port, baudRate, parity, dataBits, stopBits, flowControl, reserved);
  return s.openResult;
}

FAKE_DRIVER_EXPORT int32_t CloseComPort(void) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("CloseComPort");
  return 0;
}

FAKE_DRIVER_EXPORT uint8_t Mb_Read(uint8_t slave, uint8_t function, uint16_t start, uint16_t byteCount, uint8_t* data,
                                   uint8_t* dataLength) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("Mb_Read %d %d 0x%04X %d", slave, function, start, byteCount);
  return deliver(s.next(), data, dataLength, 255);
}

FAKE_DRIVER_EXPORT uint8_t Mb_Write(uint8_t slave, uint8_t function, uint16_t start, const uint8_t* data,
                                    uint8_t byteCount) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("Mb_Write %d %d 0x%04X %s", slave, function, start, hexOf(data, byteCount).c_str());
  return s.next().status;
}

FAKE_DRIVER_EXPORT int32_t SetRespondOutTime(int32_t ignored) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("SetRespondOutTime %d", ignored);
  return 0;
}

FAKE_DRIVER_EXPORT int32_t GetCommCounts(int32_t) { return 0; }
FAKE_DRIVER_EXPORT int32_t ClearCommCounts(int32_t) { return 0; }
FAKE_DRIVER_EXPORT int32_t SetComState(int32_t) { return 0; }
