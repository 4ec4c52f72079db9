// The readable form must give back every byte of any file it can describe,
// and the assembler must survive any text. The input is taken both ways.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "eddtext/binary.h"
#include "eddtext/text_form.h"

using namespace tavrin::eddtext;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const ParsedBinary parsed = parseBinary(input);
  const std::string dumped = dumpText(parsed.document);
  Assembled back = assembleText(dumped, "dump");
  if (!back.document || *back.document != parsed.document) std::abort();
  if (!parsed.error && writeBinary(*back.document) != input) std::abort();

  Assembled text = assembleText(input, "input");
  if (text.document) {
    Assembled again = assembleText(dumpText(*text.document), "again");
    if (!again.document || *again.document != *text.document) std::abort();
  }
  return 0;
}
