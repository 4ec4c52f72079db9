// The one text trim that the key files, the console, the model and the
// sessions share: what a person typed or a file holds, without the blanks
// around it.
#pragma once

#include <string_view>

namespace tavrin::platform {

// Blanks as in the C locale's isspace: space, tab, line feed, carriage
// return, vertical tab, form feed.
inline constexpr std::string_view kBlanks = " \t\n\r\v\f";

// s without leading and trailing blanks.
constexpr std::string_view trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace tavrin::platform
