#include "messages.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace tavrin::model::msg {

// Each value goes into the next %s or %d after the previous value, so a
// value that itself holds "%s" is never filled in.
std::string withTexts(std::string_view text, std::initializer_list<std::string_view> values) {
  std::string s(text);
  size_t from = 0;
  for (const std::string_view value : values) {
    const size_t at = std::min(s.find("%s", from), s.find("%d", from));
    if (at == std::string::npos) break;
    s.replace(at, 2, value);
    from = at + value.size();
  }
  return s;
}

std::string withText(std::string_view text, std::string_view value) { return withTexts(text, {value}); }

std::string withNumber(std::string_view text, long long value) { return withText(text, std::to_string(value)); }

}  // namespace tavrin::model::msg
