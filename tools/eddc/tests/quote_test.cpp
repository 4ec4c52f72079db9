#include "eddtext/quote.h"

#include <gtest/gtest.h>

namespace tavrin::eddtext {
namespace {

TEST(EddQuote, ValidUtf8StaysReadableEverythingElseIsEscaped) {
  EXPECT_EQ(quote("Pressure"), "\"Pressure\"");
  EXPECT_EQ(quote("\xE6\xB8\xA9\xE5\xBA\xA6 \xC3\xBC \xF0\x9F\x98\x80"), "\"\xE6\xB8\xA9\xE5\xBA\xA6 \xC3\xBC \xF0\x9F\x98\x80\"");
  EXPECT_EQ(quote("a\"b\\c\nd\re\tf"), "\"a\\\"b\\\\c\\nd\\re\\tf\"");
  EXPECT_EQ(quote(std::string("\x01\x1F\x7F", 3)), "\"\\x01\\x1F\\x7F\"");
  EXPECT_EQ(quote("\xC2\x85"), "\"\\xC2\\x85\"") << "C1 control characters";
  EXPECT_EQ(quote("\xC0\xAF"), "\"\\xC0\\xAF\"") << "overlong form";
  EXPECT_EQ(quote("\xED\xA0\x80"), "\"\\xED\\xA0\\x80\"") << "surrogate";
  EXPECT_EQ(quote("\xF4\x90\x80\x80"), "\"\\xF4\\x90\\x80\\x80\"") << "above U+10FFFF";
  EXPECT_EQ(quote("\xE6\xB8"), "\"\\xE6\\xB8\"") << "cut sequence";
  EXPECT_EQ(quote("\xFF" "a"), "\"\\xFFa\"");
}

TEST(EddQuote, UnquoteInvertsQuoteForEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  for (const std::string& bytes : {all, std::string("\xE6\xB8\xA9\xFF\xC3"), std::string()}) {
    const std::string quoted = quote(bytes);
    size_t pos = 0;
    std::string out, error;
    ASSERT_TRUE(unquote(quoted, pos, out, error, false)) << error;
    EXPECT_EQ(out, bytes);
    EXPECT_EQ(pos, quoted.size());
  }
  size_t pos = 0;
  std::string out, error;
  EXPECT_TRUE(unquote("\"\\x00\"", pos, out, error, true));
  EXPECT_EQ(out, std::string(1, '\0'));
}

}  // namespace
}  // namespace tavrin::eddtext
