#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "modbus_crc.h"
#include "modbus_frames.h"
#include "my_serial_port.h"
#include "test_frames.h"

namespace tavrin::ostrelle {
namespace {

using tavrin::testing::hex;
using tavrin::testing::unhex;

std::string hexOf(const Request& r) { return hex({r.view().begin(), r.view().end()}); }

TEST(Crc, TablesMatchThePublishedOnes) {
  const auto& t = crcTables();
  EXPECT_EQ(hex({t.first.begin(), t.first.begin() + 8}), "00 C1 81 40 01 C0 80 41");
  EXPECT_EQ(hex({t.second.begin(), t.second.begin() + 8}), "00 C0 C1 01 C3 03 02 C2");
  EXPECT_EQ(t.first[255], 0x40);
  EXPECT_EQ(t.second[255], 0x40);
}

TEST(Crc, KnownVectorsLowByteFirst) {
  EXPECT_EQ(hex(framed("01 03 00 00 00 02")), "01 03 00 00 00 02 C4 0B");
  EXPECT_EQ(hex(framed("01 03 04 00 0A 00 0B")), "01 03 04 00 0A 00 0B 9B F6");
  EXPECT_EQ(hex(framed("10 05 01 49")), "10 05 01 49 D4 83");
  EXPECT_EQ(hex(framed("68 09 09 68 85 81 44 00 00 5E 01 10 14")), "68 09 09 68 85 81 44 00 00 5E 01 10 14 F1 0E");
  std::string digits = "123456789";
  EXPECT_EQ(crc16({reinterpret_cast<const uint8_t*>(digits.data()), digits.size()}), 0x4B37);
}

TEST(Crc, FrameCheck) {
  EXPECT_TRUE(crcMatches(unhex("01 83 02 C0 F1")));
  EXPECT_FALSE(crcMatches(unhex("01 83 02 C0 F0")));
  EXPECT_FALSE(crcMatches(unhex("01 83 02 F1 C0"))) << "high byte first is wrong";
  // Two bytes or fewer never pass, even when they are the CRC of nothing.
  EXPECT_FALSE(crcMatches(unhex("FF FF")));
  EXPECT_FALSE(crcMatches({}));
}

TEST(Requests, ReadRequestForAnyFunction) {
  EXPECT_EQ(hexOf(buildReadRequest(1, 3, 0, 4)), "01 03 00 00 00 02 C4 0B");
  EXPECT_EQ(hexOf(buildReadRequest(1, 3, 0, 5)), "01 03 00 00 00 02 C4 0B") << "5 bytes ask for 2 registers";
  EXPECT_EQ(hexOf(buildReadRequest(0xF7, 4, 0x8000, 8)), hex(framed("F7 04 80 00 00 04")));
  EXPECT_EQ(hexOf(buildReadRequest(2, 1, 0x1234, 0xFFFF)), hex(framed("02 01 12 34 7F FF")));
  EXPECT_EQ(hexOf(buildReadRequest(1, 65, 0, 2)), hex(framed("01 41 00 00 00 01")));
}

TEST(Requests, WriteRequests) {
  uint8_t two[] = {0x12, 0x34};
  auto single = buildWriteRequest(1, 6, 0x0010, two);
  ASSERT_TRUE(single);
  EXPECT_EQ(hexOf(*single), hex(framed("01 06 00 10 12 34")));

  uint8_t four[] = {0, 1, 0, 2};
  auto multiple = buildWriteRequest(1, 16, 0x0100, four);
  ASSERT_TRUE(multiple);
  EXPECT_EQ(hexOf(*multiple), hex(framed("01 10 01 00 00 02 04 00 01 00 02")));

  std::vector<uint8_t> most(254, 0xAB);
  auto longest = buildWriteRequest(1, 16, 0, most);
  ASSERT_TRUE(longest);
  EXPECT_EQ(longest->size, 9u + 254u);
  EXPECT_EQ(longest->bytes[5], 127);
  EXPECT_EQ(longest->bytes[6], 254);

  EXPECT_FALSE(buildWriteRequest(1, 6, 0, four)) << "function 6 takes exactly two bytes";
  EXPECT_FALSE(buildWriteRequest(1, 3, 0, two));
  EXPECT_FALSE(buildWriteRequest(1, 5, 0, two));
}

TEST(FrameTime, CharacterBitsFromTheStoredSettings) {
  // 8 bytes at 1200 baud, even parity, two stop bits: 8.5 x 12 bits.
  EXPECT_DOUBLE_EQ(frameTimeMs(8, {1200, 8, 2, 2}), 85.0);
  EXPECT_NEAR(frameTimeMs(8, {9600, 8, 0, 0}), 8.854, 0.001);
  EXPECT_NEAR(frameTimeMs(8, {19200, 8, 0, 0}), 4.427, 0.001);
  // One and a half stop bits, and any unknown stop code, count 1.5.
  EXPECT_DOUBLE_EQ(frameTimeMs(1, {1000, 7, 1, 1}), 1.5 * 10.5);
  EXPECT_DOUBLE_EQ(frameTimeMs(1, {1000, 7, 7, 1}), 1.5 * 10.5);
  // Mark and space parity send a parity bit too.
  EXPECT_DOUBLE_EQ(frameTimeMs(0, {1000, 8, 0, 3}), 0.5 * 11);
  EXPECT_EQ(frameTimeMs(8, {0, 8, 0, 0}), 0.0) << "no baud rate, no hold";
  EXPECT_EQ(frameTimeMs(8, PortSettings{}), 0.0) << "closed port";
}

TEST(FrameTime, HoldOutlastsTheFrame) {
  using Clock = std::chrono::steady_clock;
  CMyHRTimer timer;
  EXPECT_GT(timer.frequency(), 1e6);
  auto begin = Clock::now();
  timer.Start();
  timer.HoldUntil(5.0);
  EXPECT_GE(Clock::now() - begin, std::chrono::milliseconds(5));
  EXPECT_GT(timer.ElapsedMs(), 5.0);
}

TEST(FrameTime, WithoutACounterTheHoldIsSkipped) {
  using Clock = std::chrono::steady_clock;
  auto begin = Clock::now();
  CMyHRTimer none(0.0);
  none.Start();
  none.HoldUntil(85.0);
  CMyHRTimer broken(-1.0);
  EXPECT_EQ(broken.frequency(), 0.0);
  broken.Start();
  broken.HoldUntil(85.0);
  CMyHRTimer timer;
  timer.Start();
  timer.HoldUntil(frameTimeMs(8, {0, 8, 0, 0}));
  EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(80));
}

TEST(ReplyFits, OnlyTheShapeTheRequestAsksFor) {
  const auto coils = bytesOf(buildReadRequest(1, 1, 0, 20));  // ten coils: two bytes
  EXPECT_TRUE(replyFits(coils, framed("01 01 02 49 02")));
  EXPECT_FALSE(replyFits(coils, framed("01 01 01 49")));
  EXPECT_TRUE(replyFits(coils, framed("01 81 02"))) << "its exception";
  EXPECT_FALSE(replyFits(coils, framed("01 83 02"))) << "another function's exception";
  const auto many = bytesOf(*buildWriteRequest(1, 16, 0x10, unhex("00 01 00 02")));
  EXPECT_TRUE(replyFits(many, framed("01 10 00 10 00 02")));
  EXPECT_FALSE(replyFits(many, framed("01 10 00 10 00 01")));
  EXPECT_FALSE(replyFits(many, framed("01 10 00 11 00 02")));
  EXPECT_FALSE(replyFits(many, unhex("01 10"))) << "too short to tell";
}

}  // namespace
}  // namespace tavrin::ostrelle
