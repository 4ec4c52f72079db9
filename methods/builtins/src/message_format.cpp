#include "builtins/message_format.h"

#include <cctype>
#include <charconv>

namespace tavrin::builtins {
namespace {

void append(std::string& out, std::string_view text) {
  const std::size_t room = kMaxMessage - std::min(out.size(), kMaxMessage);
  out.append(text.substr(0, room));
}

bool isDecimal(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<std::string> referenceText(std::string_view name, const MessageSources& sources) {
  const auto first = static_cast<unsigned char>(name.empty() ? '\0' : name.front());
  if (std::isalpha(first) || first == '_') return sources.local ? sources.local(name) : std::nullopt;
  if (!isDecimal(name)) return std::nullopt;
  std::size_t index = 0;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), index);
  if (ec != std::errc() || end != name.data() + name.size()) return std::nullopt;  // too large for any list
  return sources.listed ? sources.listed(index) : std::nullopt;
}

}  // namespace

std::string formatMessage(std::string_view text, const MessageSources& sources) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size() && out.size() <= kMessageLimit) {
    if (text[i] != '%') {
      append(out, text.substr(i, 1));
      ++i;
      continue;
    }
    const std::size_t close = text.find('}', i + 1);
    if (close == std::string_view::npos) break;  // an unfinished reference
    // The name is collected as it is read: every opening brace starts it
    // afresh, and a name that grows past the limit ends the formatting.
    std::string_view reference = text.substr(i + 1, close - i - 1);
    std::string_view name = reference;
    bool tooLong = false;
    for (std::size_t from = 0;;) {
      const std::size_t brace = reference.find('{', from);
      name = reference.substr(from, brace == std::string_view::npos ? std::string_view::npos : brace - from);
      if (name.size() > kMaxReference) tooLong = true;
      if (brace == std::string_view::npos || tooLong) break;
      from = brace + 1;
    }
    if (tooLong) break;
    if (const auto value = referenceText(name, sources)) {
      append(out, *value);
      append(out, " ");
    } else if (sources.badReference) {
      sources.badReference();
    }
    i = close + 1;
  }
  return out;
}

}  // namespace tavrin::builtins
