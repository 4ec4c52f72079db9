// The EDDL compiler: source text in, a description file's document out, with
// the trees in exactly the shapes the model and the method engine walk. The
// grammar and the tree shapes are in tools/eddc/README.md.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eddtext/document.h"

namespace tavrin::eddl {

struct Diagnostic {
  int line = 0;
  int column = 0;
  std::string message;
};

struct Compiled {
  // Empty as soon as one diagnostic was reported: a description with an
  // error is never written, not even in part.
  std::optional<eddtext::Document> document;
  std::vector<Diagnostic> diagnostics;

  // One "name:line:column: message" line per diagnostic.
  std::string report(std::string_view name) const;
};

// Stops collecting after this many diagnostics; the rest would mostly be
// consequences of the first ones.
inline constexpr size_t kMaxDiagnostics = 50;

Compiled compile(std::string_view source);

}  // namespace tavrin::eddl
