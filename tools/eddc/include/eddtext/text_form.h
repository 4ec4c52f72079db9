// The readable form of a description file (tools/eddc/README.md describes
// it): what `eddc dump` prints and `eddc asm` reads, and the form in which
// tests write their description fixtures.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "eddtext/document.h"

namespace tavrin::eddtext {

// The readable form of a document. Assembling it gives the same document.
std::string dumpText(const Document& document);

struct Assembled {
  std::optional<Document> document;
  std::string error;  // "<name>:<line>:<column>: <message>" when document is empty
};

// Prints the readable form, so test failures show documents as text.
std::ostream& operator<<(std::ostream& out, const Document& document);

// Reads the readable form; name is what error messages call the source.
Assembled assembleText(std::string_view source, std::string_view name);

}  // namespace tavrin::eddtext
