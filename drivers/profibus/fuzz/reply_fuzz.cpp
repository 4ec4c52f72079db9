// Bytes from the bus through the reply recogniser and every service check:
// whatever arrives, nothing is read or written outside the buffers and the
// checks never hand back more than a reply holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "kelvane/telegram.h"

using namespace tavrin::kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t address = data[0] & 0x7F;
  auto reply = findReply(std::span(data + 1, size - 1));
  if (!reply) return 0;
  if (reply->size() > kReplyBufferSize) std::abort();
  Payload out;
  checkStationStatus(*reply, address);
  checkSetAddress(*reply);
  checkDiagnosis(*reply, address, out);
  if (out.size > kMaxReplyData) std::abort();
  checkRead(*reply, address, out);
  if (out.size > kMaxReplyData) std::abort();
  checkWrite(*reply, address, out);
  if (out.size > kMaxReplyData) std::abort();
  return 0;
}
