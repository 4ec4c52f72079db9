#include "eddl/compiler.h"

#include <algorithm>
#include <map>

#include "eddl/lexer.h"
#include "eddl/parser.h"

namespace tavrin::eddl {
namespace {

std::string kindList(KindSet kinds) {
  std::string out;
  std::vector<const char*> names;
  for (int k = 0; k < kKindCount; ++k) {
    if (kinds & (1u << k)) names.push_back(kindName(static_cast<Kind>(k)));
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) out += i + 1 == names.size() ? " or " : ", ";
    out += names[i];
  }
  return out;
}

std::string article(const std::string& noun) {
  return (noun[0] == 'A' ? "an " : "a ") + noun;
}

// Names may be used before their definition, so they are checked once the
// whole source is read.
void checkUses(const Parser& parser, std::vector<Diagnostic>& diagnostics) {
  std::map<std::string, const Object*> objects;
  for (const Object& o : parser.objects) objects.try_emplace(o.name, &o);
  for (const Use& use : parser.uses) {
    if (diagnostics.size() >= kMaxDiagnostics) return;
    const auto it = objects.find(use.name);
    if (it == objects.end()) {
      diagnostics.push_back({use.line, use.column, "'" + use.name + "' is not defined"});
      continue;
    }
    const Object& o = *it->second;
    if (!(use.kinds & bit(o.kind))) {
      diagnostics.push_back({use.line, use.column,
                             "'" + use.name + "' is " + article(kindName(o.kind)) + ", not " + article(kindList(use.kinds))});
    } else if (!use.member.empty() && o.kind == Kind::Collection && o.membersKnown && !o.members.count(use.member)) {
      diagnostics.push_back({use.line, use.column, "the collection '" + use.name + "' has no member '" + use.member + "'"});
    }
  }
}

void flatten(const Ast& node, uint32_t depth, eddtext::Tree& out) {
  out.push_back({node.tag, node.value, depth, std::nullopt});
  for (const Ast& c : node.children) flatten(c, depth + 1, out);
}

}  // namespace

std::string Compiled::report(std::string_view name) const {
  std::string out;
  for (const Diagnostic& d : diagnostics) {
    out += std::string(name) + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.message + "\n";
  }
  return out;
}

Compiled compile(std::string_view source) {
  Compiled result;
  Parser parser(lex(source, result.diagnostics), result.diagnostics);
  parser.run();
  checkUses(parser, result.diagnostics);
  std::stable_sort(result.diagnostics.begin(), result.diagnostics.end(), [](const Diagnostic& a, const Diagnostic& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  if (result.diagnostics.size() > kMaxDiagnostics) result.diagnostics.resize(kMaxDiagnostics);
  if (!result.diagnostics.empty()) return result;
  eddtext::Document document;
  for (const Object& o : parser.objects) {
    eddtext::Tree tree;
    flatten(o.root, 0, tree);
    document.lists[static_cast<size_t>(o.list)].push_back(std::move(tree));
  }
  document.texts = parser.texts.list();
  result.document = std::move(document);
  return result;
}

}  // namespace tavrin::eddl
