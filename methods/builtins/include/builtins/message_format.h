// Message formatting of the built-ins that show or build a text from a
// method's values.
//
// The text is copied to the result; each reference (a percent sign, an
// opening brace, a name or number, a closing brace) is replaced by a value
// text followed by one blank. A name that begins with a letter or an
// underscore is a local variable of the running method; a decimal number is
// an index into the call's id list, whose identifier names the device
// variable to show. An opening brace inside a reference starts its name
// afresh; a percent sign without a closing brace after it is an unfinished
// reference and is dropped with the rest of the text.
//
// The result is bounded: formatting ends once more than 250 characters have
// been written, no append goes past kMaxMessage, and a reference name longer
// than 30 characters ends the formatting where it stands.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::builtins {

inline constexpr std::size_t kMessageLimit = 250;
inline constexpr std::size_t kMaxMessage = 255;
inline constexpr std::size_t kMaxReference = 30;

struct MessageSources {
  // The value text of the running method's local of that name.
  std::function<std::optional<std::string>(std::string_view name)> local;
  // The display text of the variable that the id list names at that index;
  // nothing when the list has no such element (or there is no list).
  std::function<std::optional<std::string>(std::size_t index)> listed;
  // Told about a reference that names nothing it may name.
  std::function<void()> badReference;
};

std::string formatMessage(std::string_view text, const MessageSources& sources);

}  // namespace tavrin::builtins
