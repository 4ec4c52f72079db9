#include "reply_parser.h"

#include <gtest/gtest.h>

#include "test_frames.h"

namespace tavrin::ostrelle {
namespace {

using tavrin::testing::hex;
using tavrin::testing::unhex;
using State = ReplyParser::State;
using FrameStatus = ReplyParser::FrameStatus;

class ReplyParserTest : public ::testing::Test {
 protected:
  // Opens an attempt for the request as the master does.
  void start(const Request& request) {
    parser.expect(request.bytes[0], request.bytes[1]);
    parser.beginAttempt(request.view());
  }
  void feed(const std::vector<uint8_t>& block) { parser.feed(block); }
  std::string reply() const { return hex({parser.received().begin(), parser.received().end()}); }

  ReplyParser parser;
  const std::vector<uint8_t> registers = unhex("01 03 04 00 0A 00 0B 9B F6");
};

TEST_F(ReplyParserTest, ReadReplyInOneBlockOrByteByByte) {
  start(buildReadRequest(1, 3, 0, 4));
  feed(registers);
  EXPECT_TRUE(parser.addressSeen());
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(parser.frameStatus(), FrameStatus::Complete);
  EXPECT_EQ(reply(), "01 03 04 00 0A 00 0B 9B F6");
  EXPECT_EQ(parser.lastError(), 0);

  start(buildReadRequest(1, 3, 0, 4));
  for (size_t i = 0; i < registers.size(); ++i) {
    EXPECT_FALSE(parser.frameComplete()) << "before byte " << i;
    feed({registers[i]});
  }
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 03 04 00 0A 00 0B 9B F6");
}

TEST_F(ReplyParserTest, ExceptionReplyCompletesWithFiveBytes) {
  start(buildReadRequest(1, 3, 0, 4));
  feed(unhex("01 83 02 C0 F1"));
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 83 02 C0 F1");
}

TEST_F(ReplyParserTest, LeadingNoiseAndOtherSlavesAreSkipped) {
  start(buildReadRequest(1, 3, 0, 4));
  feed(unhex("FF 00 13 02") + registers);
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 03 04 00 0A 00 0B 9B F6");

  start(buildReadRequest(1, 3, 0, 4));
  feed(framed("02 03 04 00 0A 00 0B"));
  EXPECT_FALSE(parser.addressSeen()) << "a reply of slave 2 is no reply of slave 1";
  EXPECT_FALSE(parser.frameComplete());
}

TEST_F(ReplyParserTest, RejectedFalseStartIsScannedAgainFromTheRejectionCount) {
  // The slave address twice: the second one starts the real reply. The scan
  // resumes at position 1 after the rejection, not behind the bad byte.
  start(buildReadRequest(1, 3, 0, 4));
  feed(unhex("01") + registers);
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 03 04 00 0A 00 0B 9B F6");
  EXPECT_EQ(parser.lastError(), code(Status::BadFunction)) << "the false start was recorded";

  // A quantity echo that does not match fails at position 5; the rescan from
  // position 1 takes the register byte 01 at position 3 for an address and
  // then rejects its follower as a function code.
  uint8_t two[] = {0, 0x0A, 0, 0x0B};
  start(*buildWriteRequest(1, 16, 0x0001, two));
  feed(unhex("01 10 00 01 00 09"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(parser.lastError(), code(Status::BadFunction));
  EXPECT_EQ(parser.state(), State::Address);
}

TEST_F(ReplyParserTest, WrongFunctionIsRecordedAndAValidReplyStillCompletes) {
  start(buildReadRequest(1, 3, 0, 4));
  feed(framed("01 04 04 00 0A 00 0B") + registers);
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 03 04 00 0A 00 0B 9B F6");
  EXPECT_EQ(parser.lastError(), code(Status::BadFunction));

  // Function 5 is no function this master understands, even echoed.
  start(buildReadRequest(1, 5, 0, 4));
  feed(framed("01 05 00 00 FF 00"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(parser.lastError(), code(Status::BadFunction));
}

TEST_F(ReplyParserTest, SingleRegisterEcho) {
  uint8_t value[] = {0x12, 0x34};
  auto request = *buildWriteRequest(1, 6, 0x0010, value);
  start(request);
  feed(bytesOf(request));
  EXPECT_TRUE(parser.frameComplete());

  start(request);
  feed(framed("01 06 00 11 12 34"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(parser.lastError(), code(Status::AddressMismatch));
}

TEST_F(ReplyParserTest, MultipleRegisterEcho) {
  uint8_t four[] = {0, 1, 0, 2};
  auto request = *buildWriteRequest(1, 16, 0x0020, four);
  start(request);
  feed(framed("01 10 00 20 00 02"));
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(parser.received().size(), 8u);

  // No byte after the first equals the slave address, so the rescan after
  // the rejection finds no false start that would overwrite the status.
  start(request);
  feed(framed("01 10 00 20 00 03"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(parser.lastError(), code(Status::QuantityMismatch));

  start(request);
  feed(framed("01 10 00 21 00 02"));
  EXPECT_EQ(parser.lastError(), code(Status::AddressMismatch));
}

TEST_F(ReplyParserTest, CrcFailureDoesNotEndTheAttempt) {
  start(buildReadRequest(1, 3, 0, 4));
  feed(unhex("01 03 04 00 0A 00 0B 9B F7"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(parser.frameStatus(), FrameStatus::CrcFailed);
  EXPECT_EQ(parser.lastError(), code(Status::CrcError));
  EXPECT_EQ(parser.state(), State::Address);
  EXPECT_TRUE(parser.received().empty());

  feed(registers);
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 03 04 00 0A 00 0B 9B F6");
}

TEST_F(ReplyParserTest, NothingIsTakenOutsideAnAttempt) {
  parser.expect(1, 3);
  feed(registers);
  EXPECT_FALSE(parser.addressSeen());
  EXPECT_TRUE(parser.received().empty());

  start(buildReadRequest(1, 3, 0, 4));
  feed(unhex("01 03 04"));
  parser.endAttempt();
  feed(unhex("00 0A 00 0B 9B F6"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 03 04");

  // A new attempt starts from nothing and clears what the last one left.
  parser.setLastError(25);
  start(buildReadRequest(1, 3, 0, 4));
  EXPECT_EQ(parser.lastError(), 0);
  EXPECT_FALSE(parser.addressSeen());
  EXPECT_TRUE(parser.received().empty());
}

TEST_F(ReplyParserTest, BytesAfterTheCompleteReplyLeaveItAlone) {
  start(buildReadRequest(1, 3, 0, 4));
  feed(registers + framed("01 03 04 FF FF FF FF"));
  feed(unhex("01 03 02 00"));
  feed(framed("01 03 04 EE EE EE EE"));
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), "01 03 04 00 0A 00 0B 9B F6");
  EXPECT_TRUE(parser.conflicting()) << "a second, different reply to the same request";
}

TEST_F(ReplyParserTest, AReadReplyMustCarryTheByteCountAsked) {
  // One register asked; a reply to two (a late one to another request) is
  // no reply to it, whatever its CRC.
  start(buildReadRequest(1, 3, 8, 2));
  feed(framed("01 03 04 3F 00 00 00"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(parser.lastError(), code(Status::FrameFormat));
  feed(framed("01 03 02 00 00"));
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(reply(), hex(framed("01 03 02 00 00")));

  // Ten coils come in two bytes.
  start(buildReadRequest(1, 1, 0, 20));
  feed(framed("01 01 01 49"));
  EXPECT_FALSE(parser.frameComplete());
  feed(framed("01 01 02 49 02"));
  EXPECT_TRUE(parser.frameComplete());
}

TEST_F(ReplyParserTest, ASingleRegisterWriteMustEchoTheValueWritten) {
  uint8_t value[] = {0x12, 0x34};
  auto request = *buildWriteRequest(1, 6, 0x0010, value);
  start(request);
  feed(framed("01 06 00 10 12 35"));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_EQ(parser.lastError(), code(Status::FrameFormat));
  feed(bytesOf(request));
  EXPECT_TRUE(parser.frameComplete());
}

TEST_F(ReplyParserTest, TwoDifferentRepliesToOneRequestConflict) {
  const auto ours = framed("01 03 02 00 0F");
  const auto stale = framed("01 03 02 3F 00");
  start(buildReadRequest(1, 3, 9, 2));
  feed(ours + ours);
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_FALSE(parser.conflicting()) << "the same reply twice tells the same";
  EXPECT_EQ(reply(), hex(ours));

  start(buildReadRequest(1, 3, 9, 2));
  feed(stale + ours);
  EXPECT_TRUE(parser.conflicting());
  EXPECT_EQ(parser.lastError(), code(Status::FrameFormat));

  start(buildReadRequest(1, 3, 9, 2));
  feed(stale);
  feed(unhex("00 13") + ours);
  EXPECT_TRUE(parser.conflicting()) << "also in separate blocks, after noise";
  start(buildReadRequest(1, 3, 9, 2));
  EXPECT_FALSE(parser.conflicting()) << "each attempt starts afresh";
}

TEST_F(ReplyParserTest, RepliesLongerThanTheLongestFrameAreRejected) {
  // 251 data bytes (2008 coils) make the longest frame, 256 bytes.
  start(buildReadRequest(1, 1, 0, 2 * 2008));
  std::string longest = "01 01 FB";
  for (int i = 0; i < 251; ++i) longest += " 5A";
  feed(framed(longest));
  ASSERT_TRUE(parser.frameComplete());
  EXPECT_EQ(parser.received().size(), 256u);

  // One more would not fit an 8-bit length any more: never completes, and
  // the receive buffer never grows past its end.
  start(buildReadRequest(1, 1, 0, 2 * 2016));
  std::string tooLong = "01 01 FC";
  for (int i = 0; i < 252; ++i) tooLong += " 5A";
  feed(framed(tooLong));
  EXPECT_FALSE(parser.frameComplete());
  EXPECT_LE(parser.received().size(), ReplyParser::kMaxReply);

  start(buildReadRequest(1, 3, 0, 510));
  std::string largest = "01 03 FF";
  for (int i = 0; i < 255; ++i) largest += " 01";
  feed(framed(largest));
  EXPECT_FALSE(parser.frameComplete());
}

TEST_F(ReplyParserTest, EmptyDataGoesStraightToTheCrc) {
  start(buildReadRequest(1, 3, 0, 0));
  feed(framed("01 03 00"));
  EXPECT_TRUE(parser.frameComplete());
  EXPECT_EQ(parser.received().size(), 5u);
}

}  // namespace
}  // namespace tavrin::ostrelle
