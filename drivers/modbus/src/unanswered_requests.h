// The requests whose attempt ended without their reply, and what that means
// for the replies heard later.
//
// A slave that answers late still answers in turn: the late reply comes just
// ahead of the reply to a later request, or alone when that one is lost. A
// read reply names no register, so a late reply to a read of as many other
// registers fits the later request byte for byte. What tells them apart is
// the count: of the replies heard in an attempt, the first ones are owed to
// requests left unanswered (oldest first), and only a reply beyond those
// can be this request's own. A reply owed to an earlier request of the very
// same bytes tells the same and does not count against it.
//
// Late replies also arrive between attempts, and the purge before the next
// request discards them: those bytes come here as well (stray()), and every
// reply found in them that fits an unanswered request pays for it.
//
// What is owed is forgotten kHorizon after the attempt that left it: a
// reply later than that is taken for whatever request it fits.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tavrin::ostrelle {

class UnansweredRequests {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kHorizon{10};
  // Requests kept, and replies owed to one request; the oldest go first.
  static constexpr size_t kMaxKept = 16;

  // An attempt of request ended at now. heard: the complete replies that
  // fit the request, equal to reply (the first of them); complete: one of
  // them would be taken. Settles what the replies heard paid and returns
  // whether reply is the request's own. An attempt that did not take its
  // reply leaves one owed.
  bool attemptEnded(std::span<const uint8_t> request, std::span<const uint8_t> reply, size_t heard, bool complete,
                    Clock::time_point now);

  // Bytes received outside any attempt (or before its purge), in order.
  void stray(std::span<const uint8_t> bytes);

  // Replies owed, to all requests.
  size_t owed() const;

 private:
  struct Entry {
    std::vector<uint8_t> request;
    size_t owed = 0;
    Clock::time_point until;
  };

  // One reply to what is owed, the oldest request it fits first.
  void pay(std::span<const uint8_t> reply, size_t count);
  // The replies in the stray bytes that fit an unanswered request pay for
  // them; a reply still arriving stays for the next look.
  void settleStray();

  std::vector<Entry> entries_;  // oldest first
  std::vector<uint8_t> stray_;
};

}  // namespace tavrin::ostrelle
