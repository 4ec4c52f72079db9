#include "unanswered_requests.h"

#include <algorithm>

#include "modbus_crc.h"
#include "modbus_frames.h"

namespace tavrin::ostrelle {
namespace {

// Stray bytes kept: more than the longest reply, so one that is still
// arriving is never cut.
constexpr size_t kStrayKept = 1024;

// The length a reply to request starting at the front of bytes would have:
// 0 when it cannot start there.
size_t replyLength(std::span<const uint8_t> request, std::span<const uint8_t> bytes) {
  if (request.size() < 6 || bytes.size() < 2 || bytes[0] != request[0]) return 0;
  if (bytes[1] == (request[1] | kExceptionBit)) return 5;
  if (bytes[1] != request[1]) return 0;
  if (const int count = expectedByteCount(request); count >= 0) return count <= 251 ? 5 + static_cast<size_t>(count) : 0;
  return request[1] == 6 || request[1] == 16 ? 8 : 0;
}

}  // namespace

void UnansweredRequests::stray(std::span<const uint8_t> bytes) {
  if (entries_.empty()) return;
  stray_.insert(stray_.end(), bytes.begin(), bytes.end());
  if (stray_.size() > kStrayKept) stray_.erase(stray_.begin(), stray_.end() - kStrayKept);
}

void UnansweredRequests::pay(std::span<const uint8_t> reply, size_t count) {
  for (Entry& e : entries_) {
    if (count == 0) break;
    if (!replyFits(e.request, reply)) continue;
    const size_t n = std::min(count, e.owed);
    e.owed -= n;
    count -= n;
  }
  std::erase_if(entries_, [](const Entry& e) { return e.owed == 0; });
}

void UnansweredRequests::settleStray() {
  const std::span<const uint8_t> bytes(stray_);
  size_t p = 0;
  size_t keep = bytes.size();
  while (p < bytes.size() && !entries_.empty()) {
    size_t found = 0;
    for (const Entry& e : entries_) {
      const size_t length = replyLength(e.request, bytes.subspan(p));
      if (length == 0) continue;
      if (p + length > bytes.size()) {
        keep = std::min(keep, p);  // perhaps a reply still arriving
        continue;
      }
      const auto frame = bytes.subspan(p, length);
      if (crcMatches(frame) && replyFits(e.request, frame)) {
        found = length;
        break;
      }
    }
    if (found == 0) {
      ++p;
      continue;
    }
    pay(bytes.subspan(p, found), 1);
    p += found;
  }
  if (entries_.empty()) keep = bytes.size();
  stray_.erase(stray_.begin(), stray_.begin() + static_cast<std::ptrdiff_t>(std::min(keep, p)));
}

bool UnansweredRequests::attemptEnded(std::span<const uint8_t> request, std::span<const uint8_t> reply, size_t heard,
                                      bool complete, Clock::time_point now) {
  std::erase_if(entries_, [now](const Entry& e) { return e.until < now; });
  settleStray();
  auto same = [&](const Entry& e) { return std::ranges::equal(e.request, request); };

  size_t owedElsewhere = 0;
  if (heard > 0)
    for (const Entry& e : entries_)
      if (!same(e) && replyFits(e.request, reply)) owedElsewhere += e.owed;
  const bool own = complete && heard > owedElsewhere;

  // The replies heard before ours answered what was owed, oldest first.
  if (heard > 0) pay(reply, own ? heard - 1 : heard);

  if (!own) {
    auto it = std::ranges::find_if(entries_, same);
    if (it == entries_.end()) {
      if (entries_.size() == kMaxKept) entries_.erase(entries_.begin());
      entries_.push_back({std::vector<uint8_t>(request.begin(), request.end()), 0, {}});
      it = entries_.end() - 1;
    }
    it->owed = std::min(it->owed + 1, kMaxKept);
    it->until = now + kHorizon;
  }
  return own;
}

size_t UnansweredRequests::owed() const {
  size_t n = 0;
  for (const Entry& e : entries_) n += e.owed;
  return n;
}

}  // namespace tavrin::ostrelle
