// Description files as bytes: parsing for `eddc dump` and writing for
// `eddc asm`. The parser is not the loader: it accepts everything the format
// can express (roots the loader refuses, any depth, texts of any length) so
// that a dump shows a file as it is, and it stops cleanly where a file ends
// too early.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "eddtext/document.h"

namespace tavrin::eddtext {

struct BinaryError {
  size_t offset = 0;    // where the file ended or went wrong
  std::string message;  // for example "the file ends inside tree 3 of list 0"
};

struct ParsedBinary {
  Document document;  // everything read before an error
  std::optional<BinaryError> error;
};

ParsedBinary parseBinary(std::string_view bytes);

// The file for a well-formed document (see Node::depth).
std::string writeBinary(const Document& document);

}  // namespace tavrin::eddtext
