// The C exports of Driver/Kelvane.so over the one adapter of the process.
// Nothing C++ leaves them: every failure becomes a status.
#include <algorithm>
#include <cstring>
#include <exception>
#include <type_traits>

#pragma GCC visibility push(default)
#include "kelvane.h"
#pragma GCC visibility pop

#include "kelvane/pa_adapter.h"
#include "kelvane/port_discovery.h"
#include "kelvane/reception_parts.h"
#include "platform/program_folder.h"

namespace {

using tavrin::kelvane::PaAdapter;
using tavrin::kelvane::Payload;
using tavrin::kelvane::Status;

static_assert(KELVANE_MAX_REPLY_DATA == tavrin::kelvane::kMaxReplyData);
static_assert(KELVANE_MAX_WRITE_DATA == tavrin::kelvane::kMaxWriteData);
static_assert(KELVANE_COUNTER_COUNT == tavrin::kelvane::kCounterCount);
static_assert(std::is_same_v<KelvaneFrameCallback, tavrin::platform::FrameCallback>);
using tavrin::kelvane::FrameDirection;
using tavrin::kelvane::FrameOutcome;
static_assert(KELVANE_FRAME_SENT == static_cast<int>(FrameDirection::Sent));
static_assert(KELVANE_FRAME_RECEIVED == static_cast<int>(FrameDirection::Received));
static_assert(KELVANE_OUTCOME_SENT == static_cast<int>(FrameOutcome::Sent));
static_assert(KELVANE_OUTCOME_REPLY == static_cast<int>(FrameOutcome::Reply));
static_assert(KELVANE_OUTCOME_TIMEOUT == static_cast<int>(FrameOutcome::TimedOut));
static_assert(KELVANE_OUTCOME_CRC_ERROR == static_cast<int>(FrameOutcome::CrcError));
static_assert(KELVANE_OUTCOME_DISCARDED == static_cast<int>(FrameOutcome::Discarded));

// Built when the library is loaded; every export works on it.
PaAdapter adapter;

std::string programFolder() {
  return tavrin::platform::libraryProgramFolder(reinterpret_cast<const void*>(&OpenComPort));
}

uint8_t code(Status s) { return static_cast<uint8_t>(s); }

// Out of memory and the like: the local side could not do the request.
constexpr uint8_t kLocalFailure = static_cast<uint8_t>(Status::NotSent);

void handBack(const Payload& payload, uint8_t* data, uint8_t* length) {
  std::memcpy(data, payload.bytes.data(), payload.size);
  *length = payload.size;
}

}  // namespace

extern "C" {

int32_t OpenComPort(int32_t port, int32_t /*baud*/, int32_t /*parity*/, int32_t /*dataBits*/, int32_t /*stopBits*/,
                    int32_t flowControl, int32_t responseTimeoutMs) {
  try {
    return adapter.open(programFolder(), port, flowControl, responseTimeoutMs) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t SetRespondOutTime(int32_t milliseconds) {
  return static_cast<int32_t>(adapter.setResponseTimeout(milliseconds).count());
}

int32_t GetCommCounts(uint32_t* counts) {
  if (counts == nullptr) return -1;
  auto values = adapter.counters();
  std::copy(values.begin(), values.end(), counts);
  return 0;
}

int32_t ClearCommCounts(void) {
  adapter.clearCounters();
  return 0;
}

uint8_t GetSlaveStatus(uint8_t address) {
  try {
    return code(adapter.stationStatus(address));
  } catch (...) {
    return kLocalFailure;
  }
}

uint8_t GetSlaveDiag(uint8_t address, uint8_t* data, uint8_t* length) {
  if (data == nullptr || length == nullptr) return code(Status::InvalidRequest);
  *length = 0;
  try {
    Payload payload;
    Status s = adapter.slaveDiagnosis(address, payload);
    handBack(payload, data, length);
    return code(s);
  } catch (...) {
    return kLocalFailure;
  }
}

uint8_t ModifySlaveAdd(uint8_t oldAddress, uint8_t newAddress) {
  try {
    return code(adapter.modifySlaveAddress(oldAddress, newAddress));
  } catch (...) {
    return kLocalFailure;
  }
}

uint8_t C3Read(uint8_t address, uint8_t slot, uint8_t index, uint8_t length, uint8_t* data, uint8_t* dataLength) {
  if (data == nullptr || dataLength == nullptr) return code(Status::InvalidRequest);
  *dataLength = 0;
  try {
    Payload payload;
    Status s = adapter.read(address, slot, index, length, payload);
    handBack(payload, data, dataLength);
    return code(s);
  } catch (...) {
    return kLocalFailure;
  }
}

uint8_t C3Write(uint8_t address, uint8_t slot, uint8_t index, const uint8_t* data, uint8_t length, uint8_t* error,
                uint8_t* errorLength) {
  if ((data == nullptr && length > 0) || error == nullptr || errorLength == nullptr)
    return code(Status::InvalidRequest);
  *errorLength = 0;
  try {
    Payload payload;
    Status s = adapter.write(address, slot, index, {data, length}, payload);
    handBack(payload, error, errorLength);
    return code(s);
  } catch (...) {
    return kLocalFailure;
  }
}

void CloseComPort(void) {
  try {
    adapter.close();
  } catch (...) {
  }
}

int32_t SetFrameMonitor(KelvaneFrameCallback callback, void* context) {
  adapter.port().frameTap().set(callback, context);
  return 0;
}

int32_t GetCommPortNumber(const char* hardwareIdPart1, const char* hardwareIdPart2) {
  if (hardwareIdPart1 == nullptr || hardwareIdPart2 == nullptr) return -1;
  try {
    return tavrin::kelvane::findUsbSerialPort("/sys", programFolder(), hardwareIdPart1, hardwareIdPart2);
  } catch (...) {
    return -1;
  }
}

}  // extern "C"
