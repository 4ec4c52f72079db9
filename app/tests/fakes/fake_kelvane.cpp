// A scripted stand-in for Driver/Kelvane.so with the driver's own signatures.

#include "fake_driver_state.h"
#include "kelvane.h"

using tavrin::app::fakes::deliver;
using tavrin::app::fakes::hexOf;
using tavrin::app::fakes::state;

FAKE_DRIVER_CONTROL_EXPORTS

FAKE_DRIVER_EXPORT int32_t OpenComPort(int32_t port, int32_t baud, int32_t parity, int32_t dataBits,
                                       int32_t stopBits, int32_t flowControl, int32_t responseTimeoutMs) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("OpenComPort %d %d %d %d %d %d %d", port, baud, parity, dataBits, stopBits, flowControl,
         responseTimeoutMs);
  return s.openResult;
}

FAKE_DRIVER_EXPORT int32_t SetRespondOutTime(int32_t milliseconds) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("SetRespondOutTime %d", milliseconds);
  return milliseconds;
}

FAKE_DRIVER_EXPORT int32_t GetCommCounts(uint32_t*) { return 0; }
FAKE_DRIVER_EXPORT int32_t ClearCommCounts(void) { return 0; }

FAKE_DRIVER_EXPORT uint8_t GetSlaveStatus(uint8_t address) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("GetSlaveStatus %d", address);
  return s.next().status;
}

FAKE_DRIVER_EXPORT uint8_t GetSlaveDiag(uint8_t, uint8_t*, uint8_t* length) {
  if (length) *length = 0;
  return 15;
}

FAKE_DRIVER_EXPORT uint8_t ModifySlaveAdd(uint8_t, uint8_t) { return 15; }

FAKE_DRIVER_EXPORT uint8_t C3Read(uint8_t address, uint8_t slot, uint8_t index, uint8_t length, uint8_t* data,
                                  uint8_t* dataLength) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("C3Read %d %d %d %d", address, slot, index, length);
  return deliver(s.next(), data, dataLength, KELVANE_MAX_REPLY_DATA);
}

FAKE_DRIVER_EXPORT uint8_t C3Write(uint8_t address, uint8_t slot, uint8_t index, const uint8_t* data, uint8_t length,
                                   uint8_t* error, uint8_t* errorLength) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("C3Write %d %d %d %s", address, slot, index, hexOf(data, length).c_str());
  return deliver(s.next(), error, errorLength, KELVANE_MAX_REPLY_DATA);
}

FAKE_DRIVER_EXPORT void CloseComPort(void) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.note("CloseComPort");
}

FAKE_DRIVER_EXPORT int32_t GetCommPortNumber(const char*, const char*) { return -1; }
