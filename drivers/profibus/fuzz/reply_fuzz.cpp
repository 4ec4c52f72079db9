// Bytes from the bus through the reply scan and every service check:
// whatever arrives, nothing is read or written outside the buffers, the scan
// hands back only whole replies inside what arrived, and the checks never
// hand back more than a reply holds (a read never more than it asked); the
// frame monitor's split of a reception covers every byte once, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "kelvane/reception_parts.h"
#include "kelvane/telegram.h"

using namespace tavrin::kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Header: address, slot, index, length of the request; then the bytes.
  constexpr size_t kHeader = 4;
  if (size < kHeader) return 0;
  const uint8_t address = data[0] & 0x7F;
  const uint8_t slot = data[1], index = data[2], length = data[3];
  const std::span<const uint8_t> received(data + kHeader, size - kHeader);
  const auto first = findReply(received);
  const auto all = findReplies(received);
  if (first && (all.empty() || all.front().data() != first->data())) std::abort();
  for (const auto& reply : all) {
    if (reply.size() > kReplyBufferSize || reply.data() < received.data() ||
        reply.data() + reply.size() > received.data() + received.size())
      std::abort();
    Payload out;
    checkStationStatus(reply, address);
    checkSetAddress(reply);
    checkDiagnosis(reply, address, out);
    if (out.size > kMaxReplyData) std::abort();
    if (checkRead(reply, address, slot, index, length, out) == Status::Ok && out.size > length) std::abort();
    if (out.size > kMaxReplyData) std::abort();
    checkWrite(reply, address, slot, index, length, out);
    if (out.size > kMaxReplyData) std::abort();
  }
  size_t next = 0;
  for (const ReceptionPart& part : splitReception(received)) {
    if (part.offset != next || part.length == 0) std::abort();
    next = part.offset + part.length;
  }
  if (next != received.size()) std::abort();
  return 0;
}
