#include "attempt_capture.h"

#include <algorithm>

namespace tavrin::ostrelle {

void AttemptCapture::begin() {
  count_ = 0;
  blockCount_ = 0;
}

void AttemptCapture::add(Clock::time_point at, std::span<const uint8_t> bytes) {
  const size_t room = kCapacity - count_;
  const size_t taken = std::min(room, bytes.size());
  if (taken == 0) return;
  if (blockCount_ < kMaxBlocks) blocks_[blockCount_++] = {count_, at};
  std::copy_n(bytes.begin(), taken, bytes_.begin() + static_cast<std::ptrdiff_t>(count_));
  count_ += taken;
}

AttemptCapture::Clock::time_point AttemptCapture::timeAt(size_t offset) const {
  Clock::time_point at = blockCount_ > 0 ? blocks_[0].at : Clock::time_point{};
  for (size_t i = 0; i < blockCount_ && blocks_[i].offset <= offset; ++i) at = blocks_[i].at;
  return at;
}

void AttemptCapture::handPart(platform::FrameTap& tap, size_t from, size_t to, FrameOutcome outcome) const {
  if (to <= from) return;
  tap.deliver(timeAt(from), static_cast<uint8_t>(FrameDirection::Received), static_cast<uint8_t>(outcome),
           std::span<const uint8_t>(bytes_.data() + from, to - from));
}

void AttemptCapture::report(platform::FrameTap& tap, std::span<const uint8_t> reply, bool taken, bool crcFailed,
                            Clock::time_point end) const {
  if (count_ == 0) {
    if (!taken)
      tap.deliver(end, static_cast<uint8_t>(FrameDirection::Received), static_cast<uint8_t>(FrameOutcome::TimedOut), {});
    return;
  }
  const auto heard = std::span<const uint8_t>(bytes_.data(), count_);
  if (taken && !reply.empty()) {
    // The parser takes a reply from consecutive bytes: it stands in what
    // was heard as one run.
    const auto at = std::search(heard.begin(), heard.end(), reply.begin(), reply.end());
    if (at != heard.end()) {
      const auto start = static_cast<size_t>(at - heard.begin());
      handPart(tap, 0, start, FrameOutcome::Discarded);
      handPart(tap, start, start + reply.size(), FrameOutcome::Reply);
      handPart(tap, start + reply.size(), count_, FrameOutcome::Discarded);
      return;
    }
  }
  handPart(tap, 0, count_,
       taken ? FrameOutcome::Reply : crcFailed ? FrameOutcome::CrcError : FrameOutcome::Discarded);
}

}  // namespace tavrin::ostrelle
