// Multi-language texts carry a four-character mark before each language
// part, for example "|en|Pressure|de|Druck". English parts are kept, the
// other recognised languages dropped, and text before any mark is kept.
#include "internal.h"

namespace tavrin::lirrand {
namespace {

bool isKeptMark(const char* c, size_t n) {
  return n == 4 && (std::memcmp(c, "|en|", 4) == 0 || std::memcmp(c, "|001", 4) == 0);
}

bool isDroppedMark(const char* c, size_t n) {
  static const char* const kDropped[] = {"|it|", "|fr|", "|de|", "|es|", "|kt|", "|049", "|033"};
  if (n != 4) return false;
  for (const char* mark : kDropped)
    if (std::memcmp(c, mark, 4) == 0) return true;
  return false;
}

}  // namespace

size_t languageFilter(const char* in, size_t length, char* out) noexcept {
  bool keep = true;
  bool collecting = false;
  char candidate[5];
  size_t candidateLength = 0;
  size_t used = 0;
  auto takeBackMark = [&] { used = used >= 3 ? used - 3 : 0; };

  for (size_t i = 0; i < length; ++i) {
    const char c = in[i];
    if (c == '|') collecting = true;
    // A candidate only reaches five characters right after a kept mark, and
    // then it matches nothing and is cleared below.
    if (collecting && candidateLength < sizeof candidate) candidate[candidateLength++] = c;
    if (candidateLength < 4) {
      if (keep) out[used++] = c;
      continue;
    }
    if (isKeptMark(candidate, candidateLength)) {
      // The character after a kept mark fills the fifth place and so is
      // always taken as text, never as the start of another mark.
      if (keep) takeBackMark();
      keep = true;
    } else if (isDroppedMark(candidate, candidateLength)) {
      if (keep) takeBackMark();
      keep = false;
      candidateLength = 0;
      collecting = false;
    } else {
      candidateLength = 0;
      collecting = false;
      if (keep) out[used++] = c;
    }
  }
  out[used] = '\0';
  return used;
}

}  // namespace tavrin::lirrand
