// Key files come from users and other programs. Parse arbitrary bytes, query
// them, write a key and check that the written key reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/key_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto file = tavrin::platform::KeyFile::parse(text);
  if (file.text() != text) std::abort();  // parsing must keep every byte
  for (const auto& section : file.sectionNames()) {
    for (const auto& [key, value] : file.entries(section)) {
      auto found = file.get(section, key);
      if (!found || *found != value) std::abort();
    }
  }
  std::string value = size > 3 ? text.substr(size / 2) : "v\nx";
  if (file.set("Fuzz Section", "fuzz.key", value)) {
    auto back = file.get("fuzz section", "FUZZ.KEY");
    if (!back) std::abort();
  }
  return 0;
}
