#include "kelvane/telegram.h"

#include <gtest/gtest.h>

#include <string>

#include "adapter_peer.h"
#include "testing/pty_pair.h"

namespace tavrin::kelvane {
namespace {

using tavrin::kelvane::testing::framed;
using tavrin::testing::hex;
using tavrin::testing::unhex;

std::string withCrc(std::vector<uint8_t> t) {
  appendCrc(t);
  return hex(t);
}

std::string found(const std::vector<uint8_t>& received) {
  auto reply = findReply(received);
  return reply ? hex({reply->begin(), reply->end()}) : "none";
}

TEST(TelegramTest, CrcOfKnownVectors) {
  EXPECT_EQ(crc16(unhex("01 03 00 00 00 02")), 0x0BC4);
  const std::string digits = "123456789";
  EXPECT_EQ(crc16({reinterpret_cast<const uint8_t*>(digits.data()), digits.size()}), 0x4B37);
  EXPECT_EQ(crc16({}), 0xFFFF);
}

TEST(TelegramTest, RequestsCarryTheirCrcLowByteFirst) {
  EXPECT_EQ(withCrc(stationStatusRequest(5)), "10 05 01 49 D4 83");
  EXPECT_EQ(withCrc(readRequest(5, 1, 0x10, 20)), "68 09 09 68 85 81 44 00 00 5E 01 10 14 F1 0E");
  auto diag = slaveDiagnosisRequest(7);
  EXPECT_EQ(hex(diag), "68 05 05 68 87 81 4D 3C 3E");
  EXPECT_EQ(hex(setSlaveAddressRequest(5, 9, 0x12, 0x34)), "68 09 09 68 85 81 4D 37 3E 09 12 34 00");
  auto write = writeRequest(5, 3, 0x21, unhex("AA BB"));
  ASSERT_TRUE(write);
  EXPECT_EQ(hex(*write), "68 0B 0B 68 85 81 44 00 00 5F 03 21 02 AA BB");
}

TEST(TelegramTest, WriteDataIsLimitedByTheLengthByte) {
  std::vector<uint8_t> data(kMaxWriteData, 0x55);
  auto longest = writeRequest(1, 0, 0, data);
  ASSERT_TRUE(longest);
  EXPECT_EQ((*longest)[1], 255);
  EXPECT_EQ(longest->size(), 4u + 255u);
  data.push_back(0x55);
  EXPECT_FALSE(writeRequest(1, 0, 0, data)) << "247 bytes would wrap LE to 0";
}

TEST(TelegramTest, ScanFindsTheFirstWholeReply) {
  EXPECT_EQ(found(unhex("10 01 05 00 56 74")), "10 01 05 00");
  EXPECT_EQ(found(unhex("FF 00 13 10 01 05 00 56 74 E5")), "10 01 05 00") << "noise before it is skipped";
  EXPECT_EQ(found(unhex("00 E5")), "E5");
  EXPECT_EQ(found(unhex("10 01 05 00 56 75")), "none") << "bad CRC";
  EXPECT_EQ(found(framed("10 01 05 01")), "none") << "a short frame ends in 00";
  auto frame = framed("68 03 03 68 81 85 44");
  EXPECT_EQ(found(frame), "68 03 03 68 81 85 44");
  auto mismatch = frame;
  mismatch[2] = 0x04;
  EXPECT_EQ(found(mismatch), "none") << "LE and its repetition differ";
  EXPECT_EQ(found({}), "none");
}

TEST(TelegramTest, ScanNeverReadsPastWhatArrived) {
  auto frame = framed("68 05 05 68 81 85 44 3E 3C");
  for (size_t cut = 1; cut < frame.size(); ++cut) {
    std::vector<uint8_t> part(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(found(part), "none") << "cut at " << cut;
  }
  // A header whose LE claims more than arrived is not a reply.
  auto claim = unhex("68 30 30 68 81 85");
  EXPECT_EQ(found(claim), "none");
  claim.push_back(0xE5);
  EXPECT_EQ(found(claim), "E5") << "the scan goes on after the torn header";
}

TEST(TelegramTest, RepliesLongerThanTheReplyBufferAreRefused) {
  auto frameOf = [](size_t le) {
    std::vector<uint8_t> f{0x68, static_cast<uint8_t>(le), static_cast<uint8_t>(le), 0x68};
    f.resize(4 + le, 0x11);
    appendCrc(f);
    return f;
  };
  auto fits = frameOf(kReplyBufferSize - 4);
  auto reply = findReply(fits);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->size(), kReplyBufferSize);
  auto tooLong = frameOf(kReplyBufferSize - 3);
  tooLong.push_back(0xE5);
  EXPECT_FALSE(findReply(tooLong)) << "never cut, and nothing inside it taken instead";
}

TEST(TelegramTest, StationStatusAcceptsOnlyItsOwnAnswer) {
  EXPECT_EQ(checkStationStatus(unhex("10 01 05 00"), 5), Status::Ok);
  EXPECT_EQ(checkStationStatus(unhex("10 01 06 00"), 5), Status::BadReply) << "another station";
  EXPECT_EQ(checkStationStatus(unhex("E5"), 5), Status::BadReply);
  EXPECT_EQ(checkSetAddress(unhex("E5")), Status::Ok);
  EXPECT_EQ(checkSetAddress(unhex("10 01 05 00")), Status::BadReply);
}

TEST(TelegramTest, ReadRepliesGiveDataOrTheThreeErrorBytes) {
  Payload data;
  auto positive = unhex("68 0C 0C 68 81 85 08 00 00 5E 01 10 03 0A 0B 0C");
  EXPECT_EQ(checkRead(positive, 5, 1, 0x10, 3, data), Status::Ok);
  EXPECT_EQ(hex({data.bytes.begin(), data.bytes.begin() + data.size}), "0A 0B 0C");

  auto negative = unhex("68 09 09 68 81 85 08 00 00 DE 80 B6 00");
  EXPECT_EQ(checkRead(negative, 5, 1, 0x10, 3, data), Status::NegativeReply);
  EXPECT_EQ(hex({data.bytes.begin(), data.bytes.begin() + data.size}), "80 B6 00");

  EXPECT_EQ(checkRead(negative, 6, 1, 0x10, 3, data), Status::BadReply) << "another station";
  EXPECT_EQ(data.size, 0);
  auto toSomeoneElse = negative;
  toSomeoneElse[4] = 0x82;
  EXPECT_EQ(checkRead(toSomeoneElse, 5, 1, 0x10, 3, data), Status::BadReply);
  auto otherService = negative;
  otherService[7] = 0x3E;
  EXPECT_EQ(checkRead(otherService, 5, 1, 0x10, 3, data), Status::BadReply);
}

// A reply answers only the request it belongs to: a late one to another
// slot or index, longer than asked, or of the other service is none.
TEST(TelegramTest, DpvOneRepliesMustEchoTheirRequest) {
  Payload data;
  const auto positive = unhex("68 0C 0C 68 81 85 08 00 00 5E 01 24 03 0A 0B 0C");
  EXPECT_EQ(checkRead(positive, 5, 1, 0x24, 3, data), Status::Ok);
  EXPECT_EQ(checkRead(positive, 5, 1, 0x24, 4, data), Status::Ok) << "fewer bytes than asked";
  EXPECT_EQ(checkRead(positive, 5, 1, 0x6A, 3, data), Status::BadReply) << "another index";
  EXPECT_EQ(data.size, 0);
  EXPECT_EQ(checkRead(positive, 5, 3, 0x24, 3, data), Status::BadReply) << "another slot";
  EXPECT_EQ(checkRead(positive, 5, 1, 0x24, 2, data), Status::BadReply) << "more bytes than asked";
  EXPECT_EQ(checkWrite(positive, 5, 1, 0x24, 3, data), Status::BadReply) << "a read reply to a write";

  const auto written = unhex("68 09 09 68 81 85 08 00 00 5F 01 24 02");
  EXPECT_EQ(checkWrite(written, 5, 1, 0x24, 2, data), Status::Ok);
  EXPECT_EQ(checkWrite(written, 5, 1, 0x20, 2, data), Status::BadReply) << "another index";
  EXPECT_EQ(checkWrite(written, 5, 3, 0x24, 2, data), Status::BadReply) << "another slot";
  EXPECT_EQ(checkWrite(written, 5, 1, 0x24, 4, data), Status::BadReply) << "another length";
  EXPECT_EQ(checkRead(written, 5, 1, 0x24, 2, data), Status::BadReply) << "a write reply to a read";

  // Negative replies carry no slot or index, only their service.
  EXPECT_EQ(checkRead(unhex("68 09 09 68 81 85 08 00 00 DF 80 B6 00"), 5, 1, 0x24, 2, data), Status::BadReply);
  EXPECT_EQ(checkWrite(unhex("68 09 09 68 81 85 08 00 00 DE 80 B0 00"), 5, 1, 0x24, 2, data), Status::BadReply);
}

TEST(TelegramTest, TheScanFindsEveryReplyInOrder) {
  const auto a = framed("68 0C 0C 68 81 85 08 00 00 5E 01 24 03 0A 0B 0C");
  const auto b = framed("68 0A 0A 68 81 85 08 00 00 5E 01 6A 01 07");
  std::vector<uint8_t> bytes = unhex("FF");
  for (const auto& part : {a, unhex("00"), b, unhex("E5")}) bytes.insert(bytes.end(), part.begin(), part.end());
  const auto replies = findReplies(bytes);
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(hex({replies[0].begin(), replies[0].end()}), hex({a.begin(), a.end() - 2}));
  EXPECT_EQ(hex({replies[1].begin(), replies[1].end()}), hex({b.begin(), b.end() - 2}));
  EXPECT_EQ(hex({replies[2].begin(), replies[2].end()}), "E5");
  EXPECT_TRUE(findReplies({}).empty());
}

TEST(TelegramTest, RepliesTooShortForTheirServiceAreBad) {
  Payload data;
  // A negative reply without its error bytes (LE 6).
  EXPECT_EQ(checkRead(unhex("68 06 06 68 81 85 08 00 00 DE"), 5, 1, 0x10, 3, data), Status::BadReply);
  EXPECT_EQ(checkWrite(unhex("68 08 08 68 81 85 08 00 00 DF 80 B6"), 5, 1, 0x10, 2, data), Status::BadReply);
  EXPECT_EQ(checkWrite(unhex("68 09 09 68 81 85 08 00 00 5F 01 10 02"), 5, 1, 0x10, 2, data), Status::Ok);
  EXPECT_EQ(checkWrite(unhex("68 09 09 68 81 85 08 00 00 DF 80 B6 00"), 5, 1, 0x10, 2, data), Status::NegativeReply);
  EXPECT_EQ(data.size, 3);
  // A span that is not exactly one frame (LE says more than is there).
  EXPECT_EQ(checkRead(unhex("68 0C 0C 68 81 85 08 00 00 5E 01 10 03"), 5, 1, 0x10, 3, data), Status::BadReply);

  EXPECT_EQ(checkDiagnosis(unhex("68 04 04 68 81 85 08 3E"), 5, data), Status::BadReply);
  EXPECT_EQ(checkDiagnosis(unhex("68 05 05 68 81 85 08 3E 3C"), 5, data), Status::Ok);
  EXPECT_EQ(data.size, 0);
  EXPECT_EQ(checkDiagnosis(unhex("68 0B 0B 68 81 85 08 3E 3C 00 0C 00 02 12 34"), 5, data), Status::Ok);
  EXPECT_EQ(hex({data.bytes.begin(), data.bytes.begin() + data.size}), "00 0C 00 02 12 34");
  EXPECT_EQ(checkDiagnosis(unhex("68 0B 0B 68 81 85 08 3C 3E 00 0C 00 02 12 34"), 5, data), Status::BadReply);
}

}  // namespace
}  // namespace tavrin::kelvane
