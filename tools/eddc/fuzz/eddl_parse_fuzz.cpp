// The EDDL compiler on arbitrary source text: it must report or compile,
// never crash, hang or run off the stack, and what it compiles must write
// and read back as the same description.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "eddl/compiler.h"
#include "eddtext/binary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tavrin::eddl::Compiled compiled =
      tavrin::eddl::compile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (compiled.document.has_value() == !compiled.diagnostics.empty()) std::abort();
  if (compiled.diagnostics.size() > tavrin::eddl::kMaxDiagnostics) std::abort();
  if (compiled.document) {
    const auto back = tavrin::eddtext::parseBinary(tavrin::eddtext::writeBinary(*compiled.document));
    if (back.error || back.document != *compiled.document) std::abort();
  }
  return 0;
}
