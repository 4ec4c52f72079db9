// What fixture authors write: names for tags, inline texts, comments and
// relative indentation; and the one precise message for each mistake.
#include <gtest/gtest.h>

#include "eddtext/binary.h"
#include "eddtext/text_form.h"
#include "assembled.h"

namespace tavrin::eddtext {
namespace {

std::string error(std::string_view text) {
  Assembled a = assembleText(text, "f.txt");
  EXPECT_FALSE(a.document) << text;
  return a.error;
}

TEST(EddAssemble, NamesNumbersCommentsAndMarginsMeanTheSame) {
  const Document byName = assembled(R"(
        # indented like test code; the first line sets the margin
        list 0   # variables
          variable
            identifier "p"    # inline text
            type
              integer
                integer-constant 0x10
  )");
  const Document byNumber = assembled("list 0\r\n 22\r\n     30 0\r\n     300 type\r\n      32 integer\r\n"
                                      "       399 integer-constant 16\r\ntexts\r\n \"p\"\r\n");
  EXPECT_EQ(byName, byNumber);
  EXPECT_EQ(assembled("\xEF\xBB\xBFlist 0\n  variable\n"), assembled("list 0\n  variable\n"));
}

TEST(EddAssemble, InlineTextsReuseTheFirstEqualEntryAndAppendTheRest) {
  const Document doc = assembled(R"(
    list 0
      variable
        identifier "b"
        string-literal "new"
        string-constant "a"
        string-literal "new"
        identifier 1 "a"
    texts
      "a"
      "a"
      "b"
  )");
  EXPECT_EQ(doc.texts, (std::vector<std::string>{"a", "a", "b", "new"}));
  std::vector<uint32_t> values;
  for (const Node& n : doc.lists[0][0]) values.push_back(n.value);
  EXPECT_EQ(values, (std::vector<uint32_t>{0, 2, 3, 0, 3, 1}));
}

TEST(EddAssemble, ValuesInEveryNotation) {
  const Document doc = assembled(R"(
    list 0
      variable
        integer-constant -1
        integer-constant 4294967295
        integer-constant -2147483648
        float-constant 1.0
        float-constant -2.5e-3
        float-constant 0x7F800001
        float-constant -inf
        handling-value 0x3
        value-89 89
  )");
  std::vector<uint32_t> values;
  for (const Node& n : doc.lists[0][0]) values.push_back(n.value);
  EXPECT_EQ(values, (std::vector<uint32_t>{0, 0xFFFFFFFF, 0xFFFFFFFF, 0x80000000, 0x3F800000, 0xBB23D70A,
                                           0x7F800001, 0xFF800000, 3, 89}));
}

TEST(EddAssemble, IndentationBuildsTheTree) {
  const Document doc = assembled(R"(
    list 3
      menu
          label
            direct
          validity
      menu
        label
  )");
  ASSERT_EQ(doc.lists[3].size(), 2u);
  std::vector<uint32_t> depths;
  for (const Node& n : doc.lists[3][0]) depths.push_back(n.depth);
  EXPECT_EQ(depths, (std::vector<uint32_t>{0, 1, 2, 1}));
  EXPECT_EQ(childCounts(doc.lists[3][0]), (std::vector<uint32_t>{2, 1, 0, 0}));
}

TEST(EddAssemble, StatedDepthsMixWithIndentation) {
  const Document stated = assembled(R"(
    list 14
      method
        @1 label
        @2 direct
          @3 string
        @2 if
        expression
        @2 integer-constant 1
  )");
  const Document indented = assembled(R"(
    list 14
      method
        label
          direct
            string
          if
        expression
          integer-constant 1
  )");
  EXPECT_EQ(stated, indented);
}

TEST(EddAssemble, HostileCountsAreWrittenAsDeclared) {
  const Document doc = assembled("list 1 count=9\n  menu children=1000000\ntexts count=-7\n");
  const std::string bytes = writeBinary(doc);
  ASSERT_EQ(bytes.size(), 8u + 104 + 6 + 4);
  EXPECT_EQ(bytes.substr(12, 4), std::string("\x09\0\0\0", 4));
  EXPECT_EQ(bytes.substr(114, 4), std::string("\x40\x42\x0F\x00", 4));
  EXPECT_EQ(bytes.substr(118, 4), std::string("\xF9\xFF\xFF\xFF", 4));
}

TEST(EddAssemble, MistakesArePointedAtByLineAndColumn) {
  const std::pair<const char*, const char*> cases[] = {
      {"list 0\n  nosuch\n", "f.txt:2:3: unknown tag name 'nosuch'"},
      {"list 0\n  30 string-literal 1\n", "f.txt:2:6: tag 30 is not 'string-literal' (that is tag 31)"},
      {"list 0\n  variable 5\n", "f.txt:2:12: tag 22 (variable) carries no value"},
      {"list 0\n  identifier\n", "f.txt:2:3: tag 30 (identifier) needs a value"},
      {"list 0\n  70000\n", "f.txt:2:3: a tag number must lie in 0 to 65535"},
      {"list 26\n", "f.txt:1:6: a list number must lie in 0 to 25"},
      {"list 1\nlist 1\n", "f.txt:2:6: list 1 already appears at line 1"},
      {"header 1 2 3\n", "f.txt:1:1: 'header' takes four words"},
      {"header 1 2 3 65536\n", "f.txt:1:14: a header word must lie in 0 to 65535"},
      {"  list 0\n    variable\nlist 1\n", "f.txt:3:1: this line lies left of the first line"},
      {"  variable\n", "f.txt:1:3: expected 'header', 'list', 'texts' or 'trailing', not 'variable' (indent tree "
                       "nodes and texts)"},
      {"variable\n", "f.txt:1:1: expected 'header', 'list', 'texts' or 'trailing', not 'variable' (indent tree "
                     "nodes and texts)"},
      {"  # comment\n\nlist 0\n    menu\n  menu\n", "f.txt:5:3: this indentation matches no line above"},
      {"list 0\n  menu\n      label\n    label\n", "f.txt:4:5: this indentation matches no line above"},
      {"list 0\n\tmenu\n", "f.txt:2:1: indent with spaces, not tabs"},
      {"list 0\n  string-literal \"abc\n", "f.txt:2:22: the text has no closing quote"},
      {"list 0\n  string-literal \"a\\qb\"\n", "f.txt:2:20: unknown escape \\q (use \\\" \\\\ \\n \\r \\t or \\xHH)"},
      {"texts\n  \"a\\x0\"\n", "f.txt:2:5: \\x needs two hexadecimal digits"},
      {"texts\n  \"a\\x00b\"\n", "f.txt:2:3: a text cannot hold a zero byte"},
      {"texts\n  1 \"a\"\n", "f.txt:2:3: text 1 is out of order: the next index is 0"},
      {"texts\n  0\n", "f.txt:2:3: expected a quoted text"},
      {"texts\n  \"a\" \"b\"\n", "f.txt:2:7: unexpected 'b'"},
      {"texts\n\"a\"\n", "f.txt:2:1: expected 'header', 'list', 'texts' or 'trailing'"},
      {"list 0\n  float-constant 1\n",
       "f.txt:2:18: write a float constant with a decimal point (1.0) or as its bits in hexadecimal (0x3F800000)"},
      {"list 0\n  float-constant 1.5x\n", "f.txt:2:18: expected a float constant, not '1.5x'"},
      {"list 0\n  integer-constant 4294967296\n", "f.txt:2:20: a value must lie in -2147483648 to 4294967295"},
      {"list 0\n  integer-constant \"x\"\n", "f.txt:2:20: tag 399 (integer-constant) takes a number, not a text"},
      {"list 0\n  menu colour=1\n", "f.txt:2:8: unexpected 'colour=1' (only children=N may follow)"},
      {"list 0\n  menu children=x\n", "f.txt:2:17: expected a child count, not 'x'"},
      {"list 0 size=3\n", "f.txt:1:8: unexpected 'size=3' (only count=N may follow)"},
      {"list 0\n  menu\n    identifier 0 \"x\"\n", "f.txt:3:18: there is no text 0 for \"x\""},
      {"list 0\n  menu\n    identifier 0 \"x\"\ntexts\n  \"y\"\n", "f.txt:3:18: text 0 is \"y\", not \"x\""},
      {"header 0 0 0 0\nheader 0 0 0 0\n", "f.txt:2:1: 'header' may appear only once"},
      {"trailing 5\n", "f.txt:1:1: 'trailing' takes one quoted text"},
      {"list 0\n  @1 menu\n", "f.txt:2:3: a tree starts with its root, which has no '@' depth"},
      {"list 0\n  menu\n  @0 menu\n", "f.txt:3:3: expected a depth of 1 or more after '@', not '@0'"},
      {"list 0\n  menu\n  @x\n", "f.txt:3:3: expected a depth of 1 or more after '@', not '@x'"},
      {"list 0\n  menu\n  @1\n", "f.txt:3:3: a node follows its depth"},
      {"list 0\n  menu\n    label\n  @3 label\n", "f.txt:4:3: this node would lie 2 levels below the node before it"},
      {"list 0\n  menu\n    label\n      label\n  @1 label\n        label\n",
       "f.txt:6:9: this node would lie 2 levels below the node before it"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(error(text), message);
}

}  // namespace
}  // namespace tavrin::eddtext
