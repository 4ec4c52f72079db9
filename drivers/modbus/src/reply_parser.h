// Recognises a Modbus RTU reply byte by byte as it arrives, for the request
// of the attempt in progress. Not thread-safe: the master serialises access.
//
// A reply is address, function, then by function: a byte count and that many
// data bytes (1 to 4), the echoed start register and a register value (6) or
// register quantity (16), or one exception code (function with bit 7 set);
// then the CRC. Bytes that cannot start or continue the expected reply are
// rejected: the scan restarts at the block position given by the number of
// rejections so far in that block, so leading noise is skipped a byte at a
// time and bytes of a false start are looked at again.
//
// A reply must belong to the request: a read reply's byte count must be the
// one the quantity asked for (two per register, one per eight bits), and a
// single-register write must echo the value written as well as the
// register. A reply that does not fit is rejected with FrameFormat (21).
// After a reply completed, the rest of the attempt is still scanned: a
// second reply that differs from it (a late reply to an earlier request and
// the reply to this one, back to back) makes the attempt conflicting.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "modbus_frames.h"

namespace tavrin::ostrelle {

class ReplyParser {
 public:
  // The longest valid RTU frame. Anything longer is rejected rather than
  // allowed to wrap the 8-bit receive length the callers see.
  static constexpr size_t kMaxReply = 256;

  enum class State { Address, Function, ByteCount, Data, EchoAddress, EchoQuantity, Crc };
  enum class FrameStatus : uint8_t { Complete = 1, CrcFailed = 2, Assembling = 4 };

  // The slave and function of the request in progress (0 between requests).
  void expect(uint8_t slave, uint8_t function);
  void clearExpected() { expect(0, 0); }

  // Starts one attempt for the request: clears the last error and both
  // events, remembers the start register and quantity that replies must
  // echo, and accepts bytes from now on.
  void beginAttempt(std::span<const uint8_t> request);
  // Stops accepting bytes.
  void endAttempt() { awaiting_ = false; }

  // One block of received bytes. Dropped whole outside an attempt. A
  // completed reply stays as it was until the next attempt begins; later
  // bytes are only scanned for a second reply.
  void feed(std::span<const uint8_t> block);

  bool awaiting() const { return awaiting_; }
  bool addressSeen() const { return addressSeen_; }
  bool frameComplete() const { return frameComplete_; }
  // Two different complete replies to this attempt's request: neither can
  // be taken for its answer.
  bool conflicting() const { return conflicting_; }
  // Complete replies that fit, in this attempt so far (equal ones count).
  size_t repliesHeard() const { return repliesHeard_; }
  State state() const { return state_; }
  FrameStatus frameStatus() const { return frameComplete_ ? FrameStatus::Complete : frameStatus_; }
  uint8_t lastError() const { return lastError_; }
  void setLastError(uint8_t status) { lastError_ = status; }
  // The bytes of the completed reply, or of the one being assembled.
  std::span<const uint8_t> received() const {
    return frameComplete_ ? std::span<const uint8_t>(reply_.data(), replyLength_)
                          : std::span<const uint8_t>(buffer_.data(), length_);
  }

 private:
  enum class Step { Next, Reject, Complete };

  void reset();
  Step take(uint8_t b);
  void store(uint8_t b) { buffer_[length_++] = b; }
  void collect(size_t count);
  // Stores one byte of a two-byte echo of the request at echo_[at]: Next
  // while the echo is incomplete, Reject (recording the status) when it
  // differs, nothing once it matched.
  std::optional<Step> takeEcho(uint8_t b, int& counter, size_t at, Status mismatch);

  // The byte count a read reply must carry (-1: the request is no read).
  int expectedByteCount_ = -1;
  State state_ = State::Address;
  uint8_t expectedSlave_ = 0;
  uint8_t expectedFunction_ = 0;
  size_t expectedDataCount_ = 0;
  size_t dataCounter_ = 0;
  int echoCounter_ = 0;
  int quantityCounter_ = 0;
  int crcCounter_ = 0;
  uint8_t lastError_ = 0;
  FrameStatus frameStatus_ = FrameStatus::Assembling;
  bool awaiting_ = false;
  bool addressSeen_ = false;
  bool frameComplete_ = false;
  bool conflicting_ = false;
  size_t repliesHeard_ = 0;
  // Start register and quantity (or value) of the request, as sent.
  std::array<uint8_t, 4> echo_{};
  std::array<uint8_t, kMaxReply> buffer_{};
  size_t length_ = 0;
  std::array<uint8_t, kMaxReply> reply_{};
  size_t replyLength_ = 0;
};

}  // namespace tavrin::ostrelle
