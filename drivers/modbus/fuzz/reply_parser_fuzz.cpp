// Bytes from the bus are untrusted: whatever arrives, in whatever blocks,
// the parser stays inside its buffer and completes only CRC-valid replies,
// and the count of replies owed stays inside its bounds whether the bytes
// come in an attempt or between attempts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "modbus_crc.h"
#include "modbus_frames.h"
#include "reply_parser.h"
#include "unanswered_requests.h"

using namespace tavrin::ostrelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Header: slave, function, start (2), two data bytes for a write or a
  // byte count for a read, block size; then the bytes that arrive.
  constexpr size_t kHeader = 6;
  if (size < kHeader) return 0;
  uint16_t start = static_cast<uint16_t>(data[2] << 8 | data[3]);
  std::optional<Request> write = buildWriteRequest(data[0], data[1], start, std::span<const uint8_t>(data + 3, 2));
  Request request = write ? *write : buildReadRequest(data[0], data[1], start, data[4]);
  size_t blockSize = 1 + data[5] % 64;
  ReplyParser parser;
  parser.expect(data[0], data[1]);
  parser.beginAttempt(request.view());
  for (size_t at = kHeader; at < size; at += blockSize) {
    size_t n = size - at < blockSize ? size - at : blockSize;
    parser.feed({data + at, n});
    if (parser.received().size() > ReplyParser::kMaxReply) std::abort();
  }
  if (parser.frameComplete() && !crcMatches(parser.received())) std::abort();
  if (parser.frameComplete() && !replyFits(request.view(), parser.received())) std::abort();

  // The same bytes once in an attempt and once between attempts, while the
  // request and a read of one register at the same start are owed.
  UnansweredRequests ledger;
  const Request other = buildReadRequest(data[0], 3, start, 2);
  auto now = UnansweredRequests::Clock::now();
  ledger.attemptEnded(other.view(), {}, 0, false, now);
  ledger.attemptEnded(request.view(), {}, 0, false, now);
  for (size_t at = kHeader; at < size; at += blockSize)
    ledger.stray({data + at, size - at < blockSize ? size - at : blockSize});
  ledger.attemptEnded(request.view(), parser.received(), parser.repliesHeard(),
                      parser.frameComplete() && !parser.conflicting(), now);
  if (ledger.owed() > UnansweredRequests::kMaxKept * UnansweredRequests::kMaxKept) std::abort();
  return 0;
}
