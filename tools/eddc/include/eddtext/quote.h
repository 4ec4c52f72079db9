// Texts of description files are bytes. In the readable form they stand in
// double quotes: valid UTF-8 as it is, everything else escaped, so a dump is
// plain text and reads back to the same bytes.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::eddtext {

// "..." with \" \\ \n \r \t for those characters, \xHH for other control
// characters (C0, DEL, C1) and for every byte that is not part of a valid
// UTF-8 sequence.
std::string quote(std::string_view bytes);

// The bytes of a quoted text starting at text[pos] == '"'. On success pos is
// just past the closing quote; on failure pos is where the fault is and
// error says what it is. A zero byte (\x00) is refused unless allowZero.
bool unquote(std::string_view text, size_t& pos, std::string& out, std::string& error, bool allowZero);

}  // namespace tavrin::eddtext
