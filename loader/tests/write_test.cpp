// Writing a block back: same trees, ids and counts, texts reduced to
// English, and every failure to write reported.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "eddtext/binary.h"
#include "eddtext/text_form.h"
#include "testing/edd_fixture.h"
#include "testing/temp_dir.h"

namespace tavrin::testing {
namespace {

// Prints the block and reads the file back as a document.
eddtext::Document printed(EddFixture& edd) {
  const std::string out = edd.scratch("printed.bin");
  EXPECT_EQ(Lirrand::get().print(&edd.block(), out.c_str()), 0);
  auto parsed = eddtext::parseBinary(TempDir::slurp(out));
  EXPECT_FALSE(parsed.error) << parsed.error->message;
  return parsed.document;
}

std::string quoteForFixture(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\\\"") : std::string(1, c);
  return out + "\"";
}

TEST(LirrandWrite, LanguageFilterKeepsEnglishAndTextOutsideMarks) {
  const std::pair<const char*, const char*> cases[] = {
      {"|en|Pressure|de|Druck", "Pressure"},
      {"|de|Druck|en|Pressure", "Pressure"},
      {"Pressure|de|Druck", "Pressure"},
      {"a|b|c", "a|b|c"},
      {"no marks at all", "no marks at all"},
      {"", ""},
      {"|en||de|x", "|de|x"},  // the bar right after a kept mark is text
      {"|001Druck|049Druck", "Druck"},
      {"|fr|a|it|b|es|c|kt|d|033e|en|f", "f"},
      {"x|en|y", "xy"},
      {"|en|", ""},
      {"|de|", ""},
      {"|de", "|de"},
      {"|EN|upper", "|EN|upper"},
      {"|en|a|xx|b", "a|xx|b"},
      {"|e|en|x", "|e|en|x"},  // a mark is only seen where a bar starts four fresh characters
      {"ab|", "ab|"},
      {"|de|Druck|en||ab", "|ab"},
      {"\xE6\xB8\xA9|de|Druck", "\xE6\xB8\xA9"},
  };
  std::string fixture = "texts\n";
  for (const auto& [in, out] : cases) fixture += "  " + quoteForFixture(in) + "\n";
  EddFixture edd(fixture);
  eddtext::Document doc = printed(edd);
  ASSERT_EQ(doc.texts.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(doc.texts[i], cases[i].second) << "from " << cases[i].first;
  EXPECT_EQ(edd.text(0), "|en|Pressure|de|Druck") << "writing leaves the loaded text alone";
}

// One object per list, odd ids and values included: what is read, written and
// read again is the same description, byte for byte once texts are English.
TEST(LirrandWrite, AllTwentySixListsRoundTrip) {
  std::string fixture = "header 0xFFFF 0 1 0x8000\n";
  const char* roots[] = {"variable", "block", "collection", "command", "13", "menu", "method", "collection-of",
                         "array-of", "unit-relation"};
  for (int list = 0; list < 26; ++list) {
    std::string root = roots[list % std::size(roots)];
    fixture += "list " + std::to_string(list) + "\n  " + root + "\n";
    if (root == "13" || root == "array-of" || root == "collection-of")
      fixture += "    block\n      label\n      identifier \"object " + std::to_string(list) + "\"\n";
    else if (list % 4 == 3)
      fixture += "    label\n";  // no identifier first: id -1, still written and counted
    else
      fixture += "    identifier \"object " + std::to_string(list) + "\"\n";
    fixture += "    class 0x20000\n    float-constant -2.5\n    integer-constant -1\n"
               "    if\n      then\n        direct\n          string-literal \"|en|yes|de|ja\"\n"
               "      else\n        value-89 89\n        value-90 90\n        string-constant \"s\"\n";
  }
  fixture += "list 7\n";  // appears twice: must be refused below
  EXPECT_THROW(EddFixture{fixture}, std::invalid_argument);
  fixture.resize(fixture.size() - 7);

  EddFixture edd(fixture);
  ASSERT_GT(edd.result(), 0);
  eddtext::Document expected = eddtext::parseBinary(edd.bytes()).document;
  for (std::string& text : expected.texts)
    if (text == "|en|yes|de|ja") text = "yes";
  eddtext::Document doc = printed(edd);
  EXPECT_EQ(doc, expected) << eddtext::dumpText(doc);
  for (int list = 0; list < 26; ++list) {
    ASSERT_EQ(doc.lists[list].size(), 1u);
    EXPECT_EQ(edd.list(list).at(0)->id, eddtext::objectId(doc.lists[list][0]).value());
    EXPECT_EQ(edd.list(list).at(0)->id == -1, list % 4 == 3 && list % 10 != 4 && list % 10 != 7 && list % 10 != 8);
  }

  EddFixture again = EddFixture::fromBytes(eddtext::writeBinary(doc));
  EXPECT_EQ(printed(again), doc);
}

TEST(LirrandWrite, CountsFollowTheTreesWrittenWhateverTheBlockSays) {
  EddFixture edd("list 4\n  menu\n    identifier \"m\"\n  menu\n    label\n");
  ASSERT_EQ(edd.list(4).size(), 2u);
  // A caller's element without a tree is skipped and not counted; a stale
  // count is not written.
  auto* empty = static_cast<EddElement*>(std::calloc(1, sizeof(EddElement)));
  empty->id = 99;
  empty->next = edd.block().heads[4].next->next;
  edd.block().heads[4].next->next = empty;
  edd.block().counts[4] = 7;
  edd.block().counts[5] = 3;
  eddtext::Document doc = printed(edd);
  EXPECT_EQ(doc.lists[4].size(), 2u);
  EXPECT_EQ(doc.lists[5].size(), 0u);
  EXPECT_FALSE(doc.declaredCounts[4]);
  // The element is the caller's to free, not the library's.
  edd.block().heads[4].next->next = empty->next;
  std::free(empty);
}

TEST(LirrandWrite, CallersTextsLongerThanTheStagingBufferAreFilteredWhole) {
  EddFixture edd("texts\n  \"old\"\n");
  const std::string longText = "|en|" + std::string(50000, 'e') + "|de|" + std::string(50000, 'd');
  char* replacement = static_cast<char*>(std::malloc(longText.size() + 1));
  std::memcpy(replacement, longText.c_str(), longText.size() + 1);
  char* const original = edd.block().texts[0];
  edd.block().texts[0] = replacement;
  eddtext::Document doc = printed(edd);
  ASSERT_EQ(doc.texts.size(), 1u);
  EXPECT_EQ(doc.texts[0], std::string(50000, 'e'));
  edd.block().texts[0] = original;
  std::free(replacement);
}

TEST(LirrandWrite, FailuresToCreateOrWriteTheFileGiveMinusOne) {
  EddFixture edd(R"(
    list 0
      variable
        identifier "v"
    texts
      "t"
  )");
  EXPECT_EQ(Lirrand::get().print(&edd.block(), "/nonexistent/folder/out.bin"), -1);
  EXPECT_EQ(Lirrand::get().print(&edd.block(), edd.scratch("").c_str()), -1) << "a folder is no file";
  EXPECT_EQ(Lirrand::get().print(&edd.block(), "/dev/full"), -1) << "a full disk is a failure, not a success";
}

TEST(LirrandWrite, AnEmptyBlockWritesAnEmptyDescription) {
  EddBlock block{};
  TempDir dir;
  ASSERT_EQ(Lirrand::get().print(&block, dir.file("empty.bin").c_str()), 0);
  EXPECT_EQ(dir.read("empty.bin"), std::string(8 + 104 + 4, '\0'));
}

}  // namespace
}  // namespace tavrin::testing
