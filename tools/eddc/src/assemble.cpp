// The assembler of the readable form. It reads line by line, stops at the
// first fault with "<name>:<line>:<column>: <message>", and resolves inline
// texts only at the end, when every explicit text-table entry is known.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "edd/tags.h"
#include "eddtext/tool_tags.h"
#include "eddtext/quote.h"
#include "eddtext/text_form.h"

namespace tavrin::eddtext {
namespace {

struct Token {
  enum Kind { Word, String } kind;
  std::string text;  // the word, or the bytes of the string
  size_t column;     // 1-based
};

struct Fault {
  size_t column;
  std::string message;
};

// Every fault leaves the assembler as this exception and becomes the one
// error message; it never crosses the library's interface.
struct Stop {
  Fault fault;
};

[[noreturn]] void stop(size_t column, std::string message) { throw Stop{{column, std::move(message)}}; }

std::optional<int64_t> integer(std::string_view word) {
  bool negative = !word.empty() && word[0] == '-';
  if (negative) word.remove_prefix(1);
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  }
  if (word.empty()) return std::nullopt;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  if (ec != std::errc() || end != word.data() + word.size() || value > (uint64_t{1} << 40)) return std::nullopt;
  return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

std::string describe(uint16_t tag) {
  auto name = anyTagName(tag);
  return "tag " + std::to_string(tag) + (name.empty() ? "" : " (" + std::string(name) + ")");
}

class Assembler {
 public:
  Assembler(std::string_view source, std::string_view name) : source_(source), name_(name) {}

  Assembled run() {
    Assembled result;
    try {
      if (source_.substr(0, 3) == "\xEF\xBB\xBF") source_.remove_prefix(3);
      size_t start = 0;
      while (start <= source_.size()) {
        size_t end = source_.find('\n', start);
        if (end == std::string_view::npos) end = source_.size();
        std::string_view text = source_.substr(start, end - start);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        ++lineNumber_;
        line(text);
        start = end + 1;
      }
      resolveTexts();
      result.document = std::move(doc_);
    } catch (const Stop& s) {
      result.error = std::string(name_) + ":" + std::to_string(faultLine_ ? faultLine_ : lineNumber_) + ":" +
                     std::to_string(s.fault.column) + ": " + s.fault.message;
    }
    return result;
  }

 private:
  enum class Section { None, List, Texts };

  // A node whose value is a text written inline, or an index written with
  // the text it must hold; both wait for the whole text table.
  struct TextUse {
    int list;
    size_t tree, node;
    std::optional<uint32_t> index;
    std::string text;
    size_t line, column;
  };

  void line(std::string_view text) {
    size_t indent = 0;
    while (indent < text.size() && (text[indent] == ' ' || text[indent] == '\t')) {
      if (text[indent] == '\t') stop(indent + 1, "indent with spaces, not tabs");
      ++indent;
    }
    std::vector<Token> tokens = tokenize(text, indent);
    if (tokens.empty()) return;
    // The first statement sets the left margin, so a fixture inside an
    // indented raw string literal reads like a file.
    if (!margin_) margin_ = indent;
    if (indent < *margin_) stop(indent + 1, "this line lies left of the first line");
    indent -= *margin_;
    if (indent == 0)
      statement(tokens);
    else if (section_ == Section::List)
      node(tokens, indent);
    else if (section_ == Section::Texts)
      textEntry(tokens);
    else
      stop(tokens[0].column, "an indented line belongs under 'list' or 'texts'");
  }

  std::vector<Token> tokenize(std::string_view text, size_t pos) {
    std::vector<Token> tokens;
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == ' ' || c == '\t') {
        ++pos;
      } else if (c == '#') {
        break;
      } else if (c == '"') {
        Token t{Token::String, {}, pos + 1};
        std::string error;
        // Zero bytes are refused here and allowed for 'trailing' below.
        if (!unquote(text, pos, t.text, error, true)) stop(pos + 1, error);
        tokens.push_back(std::move(t));
      } else {
        size_t end = pos;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '#' && text[end] != '"') ++end;
        tokens.push_back({Token::Word, std::string(text.substr(pos, end - pos)), pos + 1});
        pos = end;
      }
    }
    return tokens;
  }

  // ---- top-level statements

  void statement(const std::vector<Token>& t) {
    const Token& keyword = t[0];
    if (keyword.kind != Token::Word)
      stop(keyword.column, "expected 'header', 'list', 'texts' or 'trailing'");
    if (keyword.text == "header") {
      once(seenHeader_, keyword, "header");
      if (t.size() != 5) stop(keyword.column, "'header' takes four words");
      for (size_t i = 0; i < 4; ++i) doc_.header[i] = static_cast<uint16_t>(number(t[i + 1], 0, 0xFFFF, "a header word"));
      section_ = Section::None;
    } else if (keyword.text == "list") {
      if (t.size() < 2) stop(keyword.column, "'list' needs the list number, 0 to 25");
      list_ = static_cast<int>(number(t[1], 0, kListCount - 1, "a list number"));
      if (listLine_[list_] != 0)
        stop(t[1].column, "list " + std::to_string(list_) + " already appears at line " + std::to_string(listLine_[list_]));
      listLine_[list_] = lineNumber_;
      options(t, 2, "count", [&](const Token& v) { doc_.declaredCounts[list_] = word32(v, "a list count"); });
      section_ = Section::List;
      indents_.clear();
    } else if (keyword.text == "texts") {
      once(seenTexts_, keyword, "texts");
      options(t, 1, "count", [&](const Token& v) { doc_.declaredTextCount = word32(v, "a text count"); });
      section_ = Section::Texts;
    } else if (keyword.text == "trailing") {
      once(seenTrailing_, keyword, "trailing");
      if (t.size() != 2 || t[1].kind != Token::String) stop(keyword.column, "'trailing' takes one quoted text");
      doc_.trailing = t[1].text;
      section_ = Section::None;
    } else {
      stop(keyword.column, "expected 'header', 'list', 'texts' or 'trailing', not '" + keyword.text +
                               "' (indent tree nodes and texts)");
    }
  }

  void once(bool& seen, const Token& keyword, const char* what) {
    if (seen) stop(keyword.column, std::string("'") + what + "' may appear only once");
    seen = true;
  }

  // Trailing "key=value" options; only `key` is allowed.
  template <class Apply>
  void options(const std::vector<Token>& t, size_t from, std::string_view key, Apply apply) {
    for (size_t i = from; i < t.size(); ++i) {
      const std::string& w = t[i].text;
      size_t eq = w.find('=');
      if (t[i].kind != Token::Word || eq == std::string::npos || std::string_view(w).substr(0, eq) != key)
        stop(t[i].column, "unexpected '" + w + "'" + (i == from ? " (only " + std::string(key) + "=N may follow)" : ""));
      Token value{Token::Word, w.substr(eq + 1), t[i].column + eq + 1};
      apply(value);
    }
  }

  int64_t number(const Token& t, int64_t min, int64_t max, const char* what) {
    auto v = t.kind == Token::Word ? integer(t.text) : std::nullopt;
    if (!v) stop(t.column, std::string("expected ") + what + ", not '" + t.text + "'");
    if (*v < min || *v > max)
      stop(t.column, std::string(what) + " must lie in " + std::to_string(min) + " to " + std::to_string(max));
    return *v;
  }

  // Any 32-bit word: -2147483648 to 4294967295, negatives as two's complement.
  uint32_t word32(const Token& t, const char* what) {
    return static_cast<uint32_t>(number(t, INT32_MIN, UINT32_MAX, what));
  }

  // ---- tree nodes

  void node(const std::vector<Token>& t, size_t indent) {
    size_t i = 0;
    uint32_t depth;
    if (t[0].kind == Token::Word && t[0].text[0] == '@') {
      depth = explicitDepth(t[0]);
      ++i;
      if (i == t.size()) stop(t[0].column, "a node follows its depth");
    } else {
      depth = place(indent, t[0].column);
    }
    auto& trees = doc_.lists[list_];
    const uint32_t before = trees.empty() ? 0 : trees.back().back().depth;
    if (depth > before + 1)
      stop(t[0].column, "this node would lie " + std::to_string(depth - before) + " levels below the node before it");
    Node n;
    n.depth = depth;
    n.tag = tag(t, i);
    TextUse use{list_, 0, 0, std::nullopt, {}, lineNumber_, 0};
    bool textUse = false;
    if (edd::carriesValue(n.tag)) {
      if (i >= t.size() || isOption(t[i])) stop(t[0].column, describe(n.tag) + " needs a value");
      textUse = value(t, i, n, use);
    }
    for (; i < t.size(); ++i) {
      if (!isOption(t[i])) {
        if (!edd::carriesValue(n.tag) && (t[i].kind == Token::String || integer(t[i].text)))
          stop(t[i].column, describe(n.tag) + " carries no value");
        stop(t[i].column, "unexpected '" + t[i].text + "'");
      }
      options({t[i]}, 0, "children", [&](const Token& v) { n.declaredChildren = word32(v, "a child count"); });
    }
    if (depth == 0) trees.emplace_back();
    trees.back().push_back(n);
    if (textUse) {
      use.tree = trees.size() - 1;
      use.node = trees.back().size() - 1;
      textUses_.push_back(std::move(use));
    }
  }

  // "@N": the node's depth stated outright (1 for a root's child), which
  // dumps use for deep nodes so they need not be indented in proportion.
  // Such lines leave the indentation levels alone.
  uint32_t explicitDepth(const Token& t) {
    auto depth = integer(std::string_view(t.text).substr(1));
    if (!depth || *depth < 1 || *depth > UINT32_MAX || t.text[1] == '-')
      stop(t.column, "expected a depth of 1 or more after '@', not '" + t.text + "'");
    if (doc_.lists[list_].empty()) stop(t.column, "a tree starts with its root, which has no '@' depth");
    return static_cast<uint32_t>(*depth);
  }

  static bool isOption(const Token& t) { return t.kind == Token::Word && t.text.find('=') != std::string::npos; }

  // The depth of a node from its indentation: deeper than the line above
  // makes a child, equal to an open level makes a sibling there.
  uint32_t place(size_t indent, size_t column) {
    if (!indents_.empty() && indent > indents_.back()) {
      indents_.push_back(indent);
      return static_cast<uint32_t>(indents_.size() - 1);
    }
    while (!indents_.empty() && indents_.back() > indent) indents_.pop_back();
    if (!indents_.empty() && indents_.back() != indent)
      stop(column, "this indentation matches no line above");
    if (indents_.empty() && rootIndent_[list_] != 0 && indent != rootIndent_[list_])
      stop(column, "this indentation matches no line above");
    if (!indents_.empty()) indents_.pop_back();
    indents_.push_back(indent);
    if (indents_.size() == 1) rootIndent_[list_] = indent;
    return static_cast<uint32_t>(indents_.size() - 1);
  }

  // "NUMBER", "NAME" or "NUMBER NAME"; advances i past them.
  uint16_t tag(const std::vector<Token>& t, size_t& i) {
    const Token& first = t[i];
    if (first.kind != Token::Word) stop(first.column, "a node starts with its tag number or name");
    if (auto number = integer(first.text)) {
      if (*number < 0 || *number > 0xFFFF) stop(first.column, "a tag number must lie in 0 to 65535");
      auto tag = static_cast<uint16_t>(*number);
      ++i;
      if (i < t.size() && looksLikeName(t[i])) {
        auto named = anyTagNumber(t[i].text);
        if (!named) stop(t[i].column, "unknown tag name '" + t[i].text + "'");
        if (*named != tag)
          stop(t[i].column, "tag " + std::to_string(tag) + " is not '" + t[i].text + "' (that is tag " +
                                std::to_string(*named) + ")");
        ++i;
      }
      return tag;
    }
    auto named = anyTagNumber(first.text);
    if (!named) stop(first.column, "unknown tag name '" + first.text + "'");
    ++i;
    return *named;
  }

  static bool looksLikeName(const Token& t) {
    return t.kind == Token::Word && std::isalpha(static_cast<unsigned char>(t.text[0])) && !isOption(t) &&
           !floatWord(t.text);
  }

  static bool floatWord(std::string_view w) {
    if (!w.empty() && (w[0] == '-' || w[0] == '+')) w.remove_prefix(1);
    return w == "inf" || w == "nan";
  }

  // Reads the value of n at t[i]; true when it waits for the text table.
  bool value(const std::vector<Token>& t, size_t& i, Node& n, TextUse& use) {
    const Token& v = t[i];
    const bool textIndex = n.tag == +edd::Tag::Identifier || n.tag == +edd::Tag::StringLiteral ||
                           n.tag == +edd::Tag::StringConstant;
    if (textIndex) {
      use.column = v.column;
      if (v.kind == Token::String) {
        if (v.text.find('\0') != std::string::npos) stop(v.column, "a text cannot hold a zero byte");
        use.text = v.text;
        ++i;
        return true;
      }
      n.value = word32(v, "a text index or a quoted text");
      ++i;
      if (i < t.size() && t[i].kind == Token::String) {
        use.index = n.value;
        use.text = t[i].text;
        use.column = t[i].column;
        ++i;
        return true;
      }
      return false;
    }
    if (v.kind != Token::Word) stop(v.column, describe(n.tag) + " takes a number, not a text");
    if (n.tag == +edd::Tag::FloatConstant && !integer(v.text)) {
      n.value = floatBits(v);
    } else if (n.tag == +edd::Tag::FloatConstant && v.text.find_first_of("xX") == std::string::npos) {
      stop(v.column, "write a float constant with a decimal point (1.0) or as its bits in hexadecimal (0x3F800000)");
    } else {
      n.value = word32(v, "a value");
    }
    ++i;
    return false;
  }

  uint32_t floatBits(const Token& v) {
    std::string_view w = v.text;
    float f = 0;
    if (floatWord(w)) {
      f = w.find("nan") != std::string_view::npos ? NAN : INFINITY;
      if (w[0] == '-') f = -f;
    } else {
      if (!w.empty() && w[0] == '+') w.remove_prefix(1);
      auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), f);
      if (ec != std::errc() || end != w.data() + w.size())
        stop(v.column, "expected a float constant, not '" + v.text + "'");
    }
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
  }

  // ---- text table

  void textEntry(const std::vector<Token>& t) {
    size_t i = 0;
    if (t[0].kind == Token::Word) {
      const auto expected = static_cast<int64_t>(doc_.texts.size());
      if (number(t[0], 0, UINT32_MAX, "a text index") != expected)
        stop(t[0].column, "text " + t[0].text + " is out of order: the next index is " + std::to_string(expected));
      ++i;
    }
    if (i >= t.size() || t[i].kind != Token::String) stop(t[i < t.size() ? i : 0].column, "expected a quoted text");
    if (t[i].text.find('\0') != std::string::npos) stop(t[i].column, "a text cannot hold a zero byte");
    if (i + 1 < t.size()) stop(t[i + 1].column, "unexpected '" + t[i + 1].text + "'");
    doc_.texts.push_back(t[i].text);
  }

  void resolveTexts() {
    std::unordered_map<std::string, uint32_t> first;
    for (size_t i = 0; i < doc_.texts.size(); ++i) first.emplace(doc_.texts[i], static_cast<uint32_t>(i));
    for (const TextUse& use : textUses_) {
      if (use.index) continue;
      auto [at, added] = first.emplace(use.text, static_cast<uint32_t>(doc_.texts.size()));
      if (added) doc_.texts.push_back(use.text);
      doc_.lists[use.list][use.tree][use.node].value = at->second;
    }
    for (const TextUse& use : textUses_) {
      if (!use.index) continue;
      faultLine_ = use.line;
      if (*use.index >= doc_.texts.size())
        stop(use.column, "there is no text " + std::to_string(*use.index) + " for " + quote(use.text));
      if (doc_.texts[*use.index] != use.text)
        stop(use.column, "text " + std::to_string(*use.index) + " is " + quote(doc_.texts[*use.index]) + ", not " +
                             quote(use.text));
    }
  }

  std::string_view source_;
  std::string_view name_;
  size_t lineNumber_ = 0;
  std::optional<size_t> margin_;
  size_t faultLine_ = 0;
  Document doc_;
  Section section_ = Section::None;
  int list_ = 0;
  std::array<size_t, kListCount> listLine_{};
  std::array<size_t, kListCount> rootIndent_{};
  std::vector<size_t> indents_;  // indentation of each open level of the current tree
  std::vector<TextUse> textUses_;
  bool seenHeader_ = false, seenTexts_ = false, seenTrailing_ = false;
};

}  // namespace

Assembled assembleText(std::string_view source, std::string_view name) { return Assembler(source, name).run(); }

}  // namespace tavrin::eddtext
