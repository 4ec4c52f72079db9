// Small text helpers the model's parts share.
#pragma once

#include <string_view>

namespace tavrin::model {

// Without leading and trailing blanks (spaces, tabs, line ends).
inline std::string_view trim(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace tavrin::model
