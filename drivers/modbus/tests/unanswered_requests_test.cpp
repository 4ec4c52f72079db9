#include "unanswered_requests.h"

#include <gtest/gtest.h>

#include "test_frames.h"

namespace tavrin::ostrelle {
namespace {

using namespace std::chrono_literals;
using Clock = UnansweredRequests::Clock;
using tavrin::testing::unhex;

// Register 0 (pressure unit) and register 1 (temperature unit): replies of
// the same size that name no register.
const auto kUnitA = bytesOf(buildReadRequest(1, 3, 0, 2));
const auto kUnitB = bytesOf(buildReadRequest(1, 3, 1, 2));
const auto kReplyA = framed("01 03 02 04 6D");
const auto kReplyB = framed("01 03 02 03 E9");

class UnansweredRequestsTest : public ::testing::Test {
 protected:
  bool attempt(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply, size_t heard) {
    now += 1s;
    return ledger.attemptEnded(request, reply, heard, heard > 0, now);
  }
  UnansweredRequests ledger;
  Clock::time_point now = Clock::now();
};

TEST_F(UnansweredRequestsTest, AReplyAloneWhileAnotherIsOwedIsNotTaken) {
  EXPECT_FALSE(attempt(kUnitA, {}, 0));
  EXPECT_EQ(ledger.owed(), 1u);
  // A's late reply, with B's own lost: it fits B byte for byte.
  EXPECT_FALSE(attempt(kUnitB, kReplyA, 1));
  // A is paid; B's late reply is owed now, and the next reply is B's.
  EXPECT_EQ(ledger.owed(), 1u);
  EXPECT_TRUE(attempt(kUnitB, kReplyB, 2)) << "B's late reply and B's reply";
  EXPECT_EQ(ledger.owed(), 0u);
  EXPECT_TRUE(attempt(kUnitA, kReplyA, 1));
}

TEST_F(UnansweredRequestsTest, AReplyBeyondTheOwedOnesIsTheRequestsOwn) {
  // Three attempts of A unanswered, then its three replies and B's back to
  // back, all equal (the same value in both registers).
  for (int i = 0; i < 3; ++i) attempt(kUnitA, {}, 0);
  EXPECT_EQ(ledger.owed(), 3u);
  EXPECT_TRUE(attempt(kUnitB, kReplyB, 4));
  EXPECT_EQ(ledger.owed(), 0u);
}

TEST_F(UnansweredRequestsTest, OnlyRepliesThatFitTheOwedRequestCount) {
  attempt(kUnitA, {}, 0);
  // Another size, another slave, a write: none could be A's.
  EXPECT_TRUE(attempt(bytesOf(buildReadRequest(1, 3, 6, 4)), framed("01 03 04 3F 00 00 00"), 1));
  EXPECT_TRUE(attempt(bytesOf(buildReadRequest(2, 3, 1, 2)), framed("02 03 02 00 01"), 1));
  EXPECT_TRUE(attempt(bytesOf(*buildWriteRequest(1, 6, 1, unhex("00 01"))), framed("01 06 00 01 00 01"), 1));
  EXPECT_EQ(ledger.owed(), 1u);
  // A repeated: its late reply tells what its own would. One of the two is
  // still to come.
  EXPECT_TRUE(attempt(kUnitA, kReplyA, 1));
  EXPECT_EQ(ledger.owed(), 1u);
}

TEST_F(UnansweredRequestsTest, ALateReplyDiscardedBetweenAttemptsPaysToo) {
  attempt(kUnitA, {}, 0);
  // Noise and the start of A's late reply, while a read of another size
  // ends: what is still arriving is kept for the next look.
  ledger.stray(unhex("FF 01"));
  ledger.stray(std::vector<uint8_t>(kReplyA.begin(), kReplyA.begin() + 3));
  EXPECT_TRUE(attempt(bytesOf(buildReadRequest(1, 3, 6, 4)), framed("01 03 04 3F 00 00 00"), 1));
  EXPECT_EQ(ledger.owed(), 1u);
  // The rest of it and a frame that fits nothing owed.
  ledger.stray(std::vector<uint8_t>(kReplyA.begin() + 3, kReplyA.end()) + framed("01 03 04 00 00 00 00"));
  EXPECT_TRUE(attempt(kUnitB, kReplyB, 1)) << "A's reply was discarded, but it came";
  EXPECT_EQ(ledger.owed(), 0u);
}

TEST_F(UnansweredRequestsTest, WhatIsOwedIsForgottenAfterTheHorizon) {
  attempt(kUnitA, {}, 0);
  now += UnansweredRequests::kHorizon;
  EXPECT_TRUE(attempt(kUnitB, kReplyB, 1));
  EXPECT_EQ(ledger.owed(), 0u);

  // However many go unanswered, the ledger stays small.
  for (uint16_t r = 0; r < 100; ++r) {
    attempt(bytesOf(buildReadRequest(1, 3, r, 2)), {}, 0);
    attempt(kUnitA, {}, 0);
  }
  EXPECT_LE(ledger.owed(), UnansweredRequests::kMaxKept * UnansweredRequests::kMaxKept);
}

}  // namespace
}  // namespace tavrin::ostrelle
