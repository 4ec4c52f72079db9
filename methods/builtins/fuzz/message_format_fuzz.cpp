// Message formatting over hostile texts and id lists: the first byte picks
// the id list's element type and length, the next bytes are the list, the
// rest is the text. Every reference must stay inside the list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../src/arguments.h"
#include "builtins/message_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavrin;
  if (size == 0) return 0;
  const int32_t type = data[0] % 8;
  const size_t listBytes = std::min<size_t>((data[0] >> 3) % 17, size - 1);
  // The list lives in its own allocation, so that a read past it is seen.
  std::vector<std::byte> list(listBytes);
  for (size_t i = 0; i < listBytes; ++i) list[i] = std::byte{data[1 + i]};
  const methods::Entry ids = methods::Entry::address(list, 0, type);
  const std::string text(reinterpret_cast<const char*>(data + 1 + listBytes), size - 1 - listBytes);

  builtins::MessageSources sources;
  sources.local = [](std::string_view name) -> std::optional<std::string> { return std::string(name); };
  sources.listed = [&](size_t index) -> std::optional<std::string> {
    const auto id = builtins::idListElement(ids, index);
    if (!id) return std::nullopt;
    return std::string(static_cast<size_t>(*id) % 300, 'v');
  };
  const std::string out = builtins::formatMessage(text, sources);
  if (out.size() > builtins::kMaxMessage) __builtin_trap();
  return 0;
}
