// What the driver statuses mean to the person at the screen: the texts the
// links show when a transfer fails, and the decoding of the three error bytes
// of a negative DPV1 reply.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::app {

// Text of a Profibus driver status ("No response from slave", ...).
std::string profibusStatusText(uint8_t status);
// The message of a failed Profibus read or write: the slot and index prefix
// followed by the status text.
std::string profibusFailureText(uint8_t slot, uint8_t index, uint8_t status);

std::string modbusReadStatusText(uint8_t status);
std::string modbusWriteStatusText(uint8_t status);

// Error code 1 of a negative DPV1 reply that means "Resource busy": the
// device asks to be left alone for a while before the next attempt.
inline constexpr uint8_t kDpv1ResourceBusy = 0xC2;

struct Dpv1Error {
  uint8_t code1 = 0;  // error code 1, class in the high and code in the low four bits
  std::string classText;
  std::string codeText;
  // "<class> : <code>"
  std::string text() const { return classText + " : " + codeText; }
};

// Decodes error decode, error code 1 and error code 2 of a negative reply.
// Only error code 1 carries meaning here; unknown classes and codes give
// empty texts.
Dpv1Error decodeDpv1Error(uint8_t errorDecode, uint8_t errorCode1, uint8_t errorCode2);

}  // namespace tavrin::app
