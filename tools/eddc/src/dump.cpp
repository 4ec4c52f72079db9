#include <cstdio>
#include <cstring>

#include "edd/tags.h"
#include "eddtext/tool_tags.h"
#include "eddtext/quote.h"
#include "eddtext/text_form.h"

namespace tavrin::eddtext {
namespace {

// What the loader refuses, pointed out where it is so a fixture author sees
// why a read returned 0.
constexpr size_t kLoaderTextLimit = 10239;
constexpr uint32_t kLoaderDepthLimit = 10000;
// Deeper nodes state their depth as "@N" instead of being indented.
constexpr uint32_t kIndentedLevels = 50;

std::string counted(size_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string hex(uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
  return buffer;
}

class Dumper {
 public:
  explicit Dumper(const Document& doc) : doc_(doc) {}

  std::string run() {
    size_t objects = 0, lists = 0;
    for (const auto& trees : doc_.lists) {
      objects += trees.size();
      lists += trees.empty() ? 0 : 1;
    }
    out_ += "# description file: " + counted(objects, "object") + " in " + counted(lists, "list") + ", " +
            counted(doc_.texts.size(), "text") + "\n";
    out_ += "header";
    for (uint16_t word : doc_.header) out_ += " " + hex(word, 4);
    out_ += "\n";
    for (int list = 0; list < kListCount; ++list) {
      if (doc_.lists[list].empty() && !doc_.declaredCounts[list]) continue;
      out_ += "\nlist " + std::to_string(list);
      if (doc_.declaredCounts[list]) out_ += " count=" + std::to_string(*doc_.declaredCounts[list]);
      out_ += "  # " + counted(doc_.lists[list].size(), "object") + "\n";
      for (const Tree& tree : doc_.lists[list]) dumpTree(tree);
    }
    out_ += "\ntexts";
    if (doc_.declaredTextCount) out_ += " count=" + std::to_string(static_cast<int32_t>(*doc_.declaredTextCount));
    out_ += "  # " + counted(doc_.texts.size(), "text") + "\n";
    for (size_t i = 0; i < doc_.texts.size(); ++i) {
      out_ += "  " + std::to_string(i) + " " + quote(doc_.texts[i]);
      if (doc_.texts[i].size() > kLoaderTextLimit)
        out_ += "  # " + std::to_string(doc_.texts[i].size()) + " bytes: longer than the loader accepts";
      out_ += "\n";
    }
    if (!doc_.trailing.empty()) out_ += "\ntrailing " + quote(doc_.trailing) + "  # ignored by readers\n";
    return std::move(out_);
  }

 private:
  void dumpTree(const Tree& tree) {
    bool warnedDepth = false;
    for (size_t i = 0; i < tree.size(); ++i) {
      const Node& node = tree[i];
      std::string comment;
      if (i == 0) {
        auto id = objectId(tree);
        comment = id ? "id " + std::to_string(*id) + textOf(static_cast<uint32_t>(*id))
                     : "no object kind: the loader refuses this file";
      } else if (node.depth >= kLoaderDepthLimit && !warnedDepth) {
        comment = "deeper than the loader accepts";
        warnedDepth = true;
      }
      line(node, comment);
    }
  }

  void line(const Node& node, std::string comment) {
    if (node.depth <= kIndentedLevels) {
      out_.append(2 + 2 * static_cast<size_t>(node.depth), ' ');
    } else {
      // Indenting every level would make a dump grow with the square of
      // the file for hostile, deeply nested trees.
      out_.append(2 + 2 * static_cast<size_t>(kIndentedLevels + 1), ' ');
      out_ += "@" + std::to_string(node.depth) + " ";
    }
    out_ += std::to_string(node.tag);
    if (auto name = anyTagName(node.tag); !name.empty()) {
      out_ += ' ';
      out_ += name;
    }
    if (edd::carriesValue(node.tag)) out_ += " " + value(node, comment);
    if (node.declaredChildren) out_ += " children=" + std::to_string(static_cast<int32_t>(*node.declaredChildren));
    if (!comment.empty()) out_ += "  # " + comment;
    out_ += '\n';
  }

  std::string value(const Node& node, std::string& comment) {
    switch (node.tag) {
      case +edd::Tag::Identifier:
      case +edd::Tag::StringLiteral:
      case +edd::Tag::StringConstant:
        if (node.value >= doc_.texts.size()) comment = "no text " + std::to_string(node.value);
        return std::to_string(node.value) + textOf(node.value);
      case +edd::Tag::FloatConstant: {
        float f;
        std::memcpy(&f, &node.value, sizeof f);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(f));
        comment = buffer;
        return hex(node.value, 8);
      }
      case +edd::Tag::IntegerConstant:
        return std::to_string(static_cast<int32_t>(node.value));
      case +edd::Tag::ClassFlags:
      case +edd::Tag::HandlingFlags:
        return hex(node.value, 8);
      default:
        return std::to_string(node.value);
    }
  }

  // " \"text\"" for an index into the text table, else nothing.
  std::string textOf(uint32_t index) const {
    if (index >= doc_.texts.size()) return {};
    return " " + quote(doc_.texts[index]);
  }

  const Document& doc_;
  std::string out_;
};

}  // namespace

std::string dumpText(const Document& document) { return Dumper(document).run(); }

std::ostream& operator<<(std::ostream& out, const Document& document) { return out << dumpText(document); }

}  // namespace tavrin::eddtext
