// The CRC-16 that both the Modbus RTU line and the PA adapter link append to
// every frame: initial value 0xFFFF, reflected polynomial 0xA001, sent low
// byte first.
#pragma once

#include <cstdint>

#include "sim/bytes.h"

namespace tavrin::sim {

uint16_t crc16(ByteView bytes);
// Appends the CRC of everything in frame, low byte first.
void appendCrc(Bytes& frame);
// True when the last two bytes are the CRC of the bytes before them; a frame
// of two bytes or fewer never matches.
bool crcMatches(ByteView frame);

}  // namespace tavrin::sim
