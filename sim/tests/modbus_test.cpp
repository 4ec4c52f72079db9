#include <gtest/gtest.h>

#include "rig.h"

namespace tavrin::sim {
namespace {

using test::framed;
using test::hex;
using test::Rig;
using test::withCrc;

constexpr std::string_view kTwoSlaves = R"(
[DEVICE A]
ADDRESS = 1
MANUFACTURER = 0x0017
DEVICE_TYPE = 0x0A01
DEVICE_VERSION = 0x0102
holding.0 = 10 11 12 13
holding.4 = f32: 1.5
holding.10 = 7
holding.11 = 8
range.holding.4 = f32 0 10
READONLY = holding.10
input.0 = 100 200
coil.0 = 1 0 1 1 0 0 0 0 1
discrete.0 = 0 1

[DEVICE B]
ADDRESS = 2
holding.0 = 0
)";

TEST(ModbusSlaveTest, ReadsAnswerFromMemory) {
  Rig rig(kTwoSlaves, Bus::Modbus);
  EXPECT_EQ(rig.ask("01 03 00 00 00 02"), "01 03 04 00 0A 00 0B 9B F6");
  EXPECT_EQ(rig.ask("01 04 80 00 00 04"), withCrc("01 04 08 00 17 0A 01 00 00 01 02")) << "identification";
  EXPECT_EQ(rig.ask("01 04 00 00 00 02"), withCrc("01 04 04 00 64 00 C8"));
  EXPECT_EQ(rig.ask("01 03 00 04 00 02"), withCrc("01 03 04 3F C0 00 00")) << "float, high word first";
  EXPECT_EQ(rig.ask("01 01 00 00 00 09"), withCrc("01 01 02 0D 01")) << "coils, lowest first";
  EXPECT_EQ(rig.ask("01 02 00 00 00 02"), withCrc("01 02 01 02"));
  EXPECT_EQ(rig.ask("02 03 00 00 00 01"), withCrc("02 03 02 00 00"));
}

TEST(ModbusSlaveTest, RefusesWithTheStandardExceptions) {
  Rig rig(kTwoSlaves, Bus::Modbus);
  EXPECT_EQ(rig.ask("01 05 00 00 FF 00"), withCrc("01 85 01")) << "function not offered";
  EXPECT_EQ(rig.ask("01 2B 0E 01 00"), withCrc("01 AB 01")) << "unknown length, found by its CRC";
  EXPECT_EQ(rig.ask("01 03 00 00 00 00"), withCrc("01 83 03")) << "quantity 0";
  EXPECT_EQ(rig.ask("01 03 00 00 00 7E"), withCrc("01 83 03")) << "quantity 126";
  EXPECT_EQ(rig.ask("01 01 00 00 07 D1"), withCrc("01 81 03")) << "2001 coils";
  EXPECT_EQ(rig.ask("01 03 00 04 00 04"), withCrc("01 83 02")) << "registers 6 and 7 are not defined";
  EXPECT_EQ(rig.ask("01 03 FF FF 00 02"), withCrc("01 83 02")) << "past the last address";
  EXPECT_EQ(rig.ask("01 04 00 01 00 02"), withCrc("01 84 02"));
  EXPECT_EQ(rig.ask("01 06 00 0A 00 01"), withCrc("01 86 02")) << "read-only register";
  EXPECT_EQ(rig.ask("01 06 00 20 00 01"), withCrc("01 86 02")) << "undefined register";
  EXPECT_EQ(rig.ask("01 10 00 00 00 02 03 00 01 00"), withCrc("01 90 03")) << "byte count does not match";
}

TEST(ModbusSlaveTest, WritesAreEchoedAndAllOrNothing) {
  Rig rig(kTwoSlaves, Bus::Modbus);
  EXPECT_EQ(rig.ask("01 06 00 01 12 34"), withCrc("01 06 00 01 12 34"));
  EXPECT_EQ(rig.ask("01 10 00 02 00 02 04 AB CD 00 05"), withCrc("01 10 00 02 00 02"));
  EXPECT_EQ(rig.ask("01 03 00 00 00 04"), withCrc("01 03 08 00 0A 12 34 AB CD 00 05"));

  // Register 11 is writable, 10 is not: nothing of the write happens.
  EXPECT_EQ(rig.ask("01 10 00 0A 00 02 04 00 01 00 02"), withCrc("01 90 02"));
  EXPECT_EQ(rig.slave().reg(ModbusTable::Holding, 11), 8);

  // The float at 4-5 must stay within 0 to 10, checked on the whole value
  // even when one word of it is written.
  EXPECT_EQ(rig.ask("01 10 00 04 00 02 04 41 00 00 00"), withCrc("01 10 00 04 00 02")) << "8.0";
  EXPECT_EQ(rig.ask("01 06 00 04 41 30"), withCrc("01 86 03")) << "11.0";
  EXPECT_EQ(rig.ask("01 06 00 04 7F C0"), withCrc("01 86 03")) << "NaN";
  EXPECT_EQ(rig.ask("01 03 00 04 00 02"), withCrc("01 03 04 41 00 00 00"));
}

TEST(ModbusSlaveTest, BroadcastWritesReachEverySlaveWithoutReply) {
  Rig rig(kTwoSlaves, Bus::Modbus);
  EXPECT_EQ(rig.ask("00 06 00 00 00 2A"), "");
  EXPECT_EQ(rig.slave(0).reg(ModbusTable::Holding, 0), 42);
  EXPECT_EQ(rig.slave(1).reg(ModbusTable::Holding, 0), 42);
  EXPECT_EQ(rig.ask("00 03 00 00 00 01"), "") << "a broadcast read is nonsense and ignored";
  EXPECT_EQ(rig.ask("09 03 00 00 00 01"), "") << "nobody at 9";
}

TEST(ModbusLineTest, FindsRequestsInAStreamWithoutBoundaries) {
  Rig rig(kTwoSlaves, Bus::Modbus);
  Bytes request = framed("01 03 00 00 00 01");
  std::string reply = withCrc("01 03 02 00 0A");

  Bytes noisy = {0xFF, 0x01, 0x03};  // noise, and a false start
  noisy.insert(noisy.end(), request.begin(), request.end());
  EXPECT_EQ(Rig::onLine(rig.send(noisy)), reply);
  EXPECT_EQ(rig.trace.lines.back(), "request " + hex(request));
  EXPECT_EQ(rig.trace.lines[rig.trace.lines.size() - 2], "discard FF 01 03");

  // In pieces.
  EXPECT_TRUE(rig.send(Bytes(request.begin(), request.begin() + 5)).empty());
  EXPECT_TRUE(rig.simulator->pending());
  EXPECT_EQ(Rig::onLine(rig.send(Bytes(request.begin() + 5, request.end()))), reply);
  EXPECT_FALSE(rig.simulator->pending());

  // Two at once give two replies, in order.
  Bytes two = framed("02 03 00 00 00 01");
  two.insert(two.end(), request.begin(), request.end());
  auto replies = rig.send(two);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(Rig::onLine({replies[0]}), withCrc("02 03 02 00 00"));
  EXPECT_EQ(Rig::onLine({replies[1]}), reply);
  EXPECT_EQ(replies[1].requestLength, 8u);

  // A corrupted request is never answered; the quiet line clears it.
  Bytes broken = request;
  broken[7] ^= 0x55;
  EXPECT_TRUE(rig.send(broken).empty());
  rig.simulator->silence();
  EXPECT_FALSE(rig.simulator->pending());
  EXPECT_EQ(rig.trace.lines.back(), "discard " + hex(broken));
  EXPECT_EQ(Rig::onLine(rig.send(request)), reply);
}

TEST(ModbusLineTest, EndlessGarbageIsBounded) {
  Rig rig(kTwoSlaves, Bus::Modbus);
  Bytes junk(5000, 0xFF);
  EXPECT_TRUE(rig.send(junk).empty());
  EXPECT_EQ(Rig::onLine(rig.send(framed("01 03 00 00 00 01"))), withCrc("01 03 02 00 0A"));
}

}  // namespace
}  // namespace tavrin::sim
