#include "reply_parser.h"

#include <algorithm>

#include "modbus_crc.h"
#include "modbus_frames.h"

namespace tavrin::ostrelle {
namespace {
// Address, function, byte count and the two CRC bytes around the data.
constexpr size_t kFrameOverhead = 5;
}  // namespace

void ReplyParser::expect(uint8_t slave, uint8_t function) {
  expectedSlave_ = slave;
  expectedFunction_ = function;
}

void ReplyParser::beginAttempt(std::span<const uint8_t> request) {
  lastError_ = 0;
  addressSeen_ = false;
  frameComplete_ = false;
  conflicting_ = false;
  replyLength_ = 0;
  echo_.fill(0);
  repliesHeard_ = 0;
  expectedByteCount_ = expectedByteCount(request);
  if (request.size() >= 6) std::copy(request.begin() + 2, request.begin() + 6, echo_.begin());
  reset();
  awaiting_ = true;
}

void ReplyParser::reset() {
  state_ = State::Address;
  length_ = 0;
  expectedDataCount_ = 0;
  dataCounter_ = 0;
  echoCounter_ = 0;
  quantityCounter_ = 0;
  crcCounter_ = 0;
  frameStatus_ = FrameStatus::Assembling;
}

void ReplyParser::feed(std::span<const uint8_t> block) {
  if (!awaiting_ || conflicting_) return;
  size_t rejections = 0;
  size_t i = 0;
  while (i < block.size()) {
    switch (take(block[i])) {
      case Step::Next:
        ++i;
        break;
      case Step::Reject:
        reset();
        i = ++rejections;
        break;
      case Step::Complete:
        ++repliesHeard_;
        if (!frameComplete_) {
          std::copy_n(buffer_.begin(), length_, reply_.begin());
          replyLength_ = length_;
          frameComplete_ = true;
        } else if (!std::equal(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length_),
                               reply_.begin(), reply_.begin() + static_cast<std::ptrdiff_t>(replyLength_))) {
          conflicting_ = true;
          lastError_ = code(Status::FrameFormat);
          return;
        }
        reset();
        ++i;
        break;
    }
  }
}

void ReplyParser::collect(size_t count) {
  expectedDataCount_ = count;
  dataCounter_ = 0;
  crcCounter_ = 0;
  state_ = count == 0 ? State::Crc : State::Data;
}

std::optional<ReplyParser::Step> ReplyParser::takeEcho(uint8_t b, int& counter, size_t at, Status mismatch) {
  store(b);
  if (++counter < 2) return Step::Next;
  if (counter > 2 || buffer_[length_ - 2] != echo_[at] || buffer_[length_ - 1] != echo_[at + 1]) {
    lastError_ = code(mismatch);
    return Step::Reject;
  }
  return std::nullopt;
}

ReplyParser::Step ReplyParser::take(uint8_t b) {
  switch (state_) {
    case State::Address:
      if (b != expectedSlave_) return Step::Reject;
      addressSeen_ = true;
      buffer_[0] = b;
      length_ = 1;
      frameStatus_ = FrameStatus::Assembling;
      state_ = State::Function;
      return Step::Next;

    case State::Function:
      if (b == (expectedFunction_ | kExceptionBit)) {
        store(b);
        collect(1);
      } else if (b == expectedFunction_ && b >= 1 && b <= 4) {
        store(b);
        state_ = State::ByteCount;
      } else if (b == expectedFunction_ && (b == 6 || b == 16)) {
        store(b);
        echoCounter_ = 0;
        state_ = State::EchoAddress;
      } else {
        lastError_ = code(Status::BadFunction);
        return Step::Reject;
      }
      return Step::Next;

    case State::ByteCount:
      if (b > kMaxReply - kFrameOverhead) return Step::Reject;
      if (b != expectedByteCount_) {
        lastError_ = code(Status::FrameFormat);
        return Step::Reject;
      }
      store(b);
      collect(b);
      return Step::Next;

    case State::Data:
      store(b);
      if (++dataCounter_ >= expectedDataCount_) {
        crcCounter_ = 0;
        state_ = State::Crc;
      }
      return Step::Next;

    case State::EchoAddress:
      if (auto step = takeEcho(b, echoCounter_, 0, Status::AddressMismatch)) return *step;
      // Function 6 echoes the value written where 16 echoes the quantity.
      quantityCounter_ = 0;
      state_ = State::EchoQuantity;
      return Step::Next;

    case State::EchoQuantity:
      if (auto step = takeEcho(b, quantityCounter_, 2,
                               buffer_[1] == 6 ? Status::FrameFormat : Status::QuantityMismatch))
        return *step;
      crcCounter_ = 0;
      state_ = State::Crc;
      return Step::Next;

    case State::Crc:
      if (++crcCounter_ > 2) {
        reset();
        return Step::Next;
      }
      store(b);
      if (crcCounter_ < 2) return Step::Next;
      if (crcMatches({buffer_.data(), length_})) {
        frameStatus_ = FrameStatus::Complete;
        return Step::Complete;
      }
      reset();
      frameStatus_ = FrameStatus::CrcFailed;
      lastError_ = code(Status::CrcError);
      return Step::Next;
  }
  return Step::Reject;
}

}  // namespace tavrin::ostrelle
