// The C exports of Driver/Ostrelle.so over the one port object of the
// process. No exception leaves an export.
#include <string>
#include <type_traits>

#pragma GCC visibility push(default)
#include "ostrelle.h"
#pragma GCC visibility pop

#include "modbus_frames.h"
#include "my_modbus_comm.h"
#include "platform/program_folder.h"

namespace {

using tavrin::ostrelle::CMyModbusComm;
using tavrin::ostrelle::code;
using tavrin::ostrelle::Status;

static_assert(OSTRELLE_CRC_ERROR == code(Status::CrcError));
static_assert(OSTRELLE_FRAME_FORMAT == code(Status::FrameFormat));
static_assert(OSTRELLE_CANNOT_BUILD == code(Status::CannotBuild));
static_assert(OSTRELLE_NO_RESPONSE == code(Status::NoResponse));
static_assert(OSTRELLE_ODD_BYTE_COUNT == code(Status::OddByteCount));
static_assert(OSTRELLE_QUANTITY_MISMATCH == code(Status::QuantityMismatch));
static_assert(OSTRELLE_ADDRESS_MISMATCH == code(Status::AddressMismatch));
static_assert(OSTRELLE_BAD_FUNCTION == code(Status::BadFunction));
static_assert(std::is_same_v<OstrelleFrameCallback, tavrin::platform::FrameCallback>);
static_assert(OSTRELLE_FRAME_SENT == static_cast<int>(tavrin::ostrelle::FrameDirection::Sent));
static_assert(OSTRELLE_FRAME_RECEIVED == static_cast<int>(tavrin::ostrelle::FrameDirection::Received));
static_assert(OSTRELLE_OUTCOME_SENT == static_cast<int>(tavrin::ostrelle::FrameOutcome::Sent));
static_assert(OSTRELLE_OUTCOME_REPLY == static_cast<int>(tavrin::ostrelle::FrameOutcome::Reply));
static_assert(OSTRELLE_OUTCOME_TIMEOUT == static_cast<int>(tavrin::ostrelle::FrameOutcome::TimedOut));
static_assert(OSTRELLE_OUTCOME_CRC_ERROR == static_cast<int>(tavrin::ostrelle::FrameOutcome::CrcError));
static_assert(OSTRELLE_OUTCOME_DISCARDED == static_cast<int>(tavrin::ostrelle::FrameOutcome::Discarded));

// Built when the library is loaded, closed when it is unloaded.
CMyModbusComm thePort;

// The program's parity index to the line's parity code.
int parityCode(uint8_t index) {
  switch (index) {
    case 0: return 2;  // even
    case 1: return 3;  // mark
    case 2: return 0;  // none
    case 3: return 1;  // odd
    case 4: return 4;  // space
    default: return index;
  }
}

}  // namespace

extern "C" {

int32_t OpenComPort(int32_t port, int32_t baudRate, uint8_t parity, uint8_t dataBits, uint8_t stopBits,
                    uint8_t /*flowControl*/, int32_t /*reserved*/) {
  try {
    thePort.setProgramFolder(tavrin::platform::libraryProgramFolder(reinterpret_cast<const void*>(&OpenComPort)));
    return thePort.Open("COM" + std::to_string(port), baudRate, dataBits, stopBits, parityCode(parity));
  } catch (...) {
    return 0;
  }
}

int32_t CloseComPort(void) {
  try {
    return thePort.Close();
  } catch (...) {
    return -1;
  }
}

uint8_t Mb_Read(uint8_t slave, uint8_t function, uint16_t start, uint16_t byteCount, uint8_t* data,
                uint8_t* dataLength) {
  try {
    return thePort.MbRead(slave, function, start, byteCount, data, dataLength);
  } catch (...) {
    return OSTRELLE_NO_RESPONSE;
  }
}

uint8_t Mb_Write(uint8_t slave, uint8_t function, uint16_t start, const uint8_t* data, uint8_t byteCount) {
  try {
    return thePort.MbWrite(slave, function, start, data, byteCount);
  } catch (...) {
    return OSTRELLE_NO_RESPONSE;
  }
}

int32_t SetFrameMonitor(OstrelleFrameCallback callback, void* context) {
  thePort.setFrameMonitor(callback, context);
  return 0;
}

int32_t SetRespondOutTime(int32_t) { return 0; }
int32_t GetCommCounts(int32_t) __attribute__((alias("SetRespondOutTime")));
int32_t ClearCommCounts(int32_t) __attribute__((alias("SetRespondOutTime")));
int32_t SetComState(int32_t) __attribute__((alias("SetRespondOutTime")));

}  // extern "C"
