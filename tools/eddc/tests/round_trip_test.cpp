// The readable form must give back the very bytes it was made from: files
// with odd texts, unnamed objects, unusual header words and counts that lie.
#include <gtest/gtest.h>

#include <random>

#include "edd/tags.h"
#include "eddtext/binary.h"
#include "eddtext/text_form.h"
#include "assembled.h"

namespace tavrin::eddtext {
namespace {

void expectRoundTrip(const Document& doc) {
  const std::string bytes = writeBinary(doc);
  ParsedBinary parsed = parseBinary(bytes);
  ASSERT_FALSE(parsed.error) << parsed.error->message;
  const std::string text = dumpText(parsed.document);
  Assembled back = assembleText(text, "dump");
  ASSERT_TRUE(back.document) << back.error << "\n" << text;
  EXPECT_EQ(writeBinary(*back.document), bytes) << text;
}

// Random documents of every feature the format has: the property is that
// bytes -> dump -> asm -> bytes is the identity.
Document randomDocument(std::mt19937& rng) {
  auto pick = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
  static const uint16_t kTags[] = {0, 1, 2, 22, 30, 31, 32, 58, 89, 90, 99, 302, 341, 398, 399, 404, 13, 700, 65535};
  static const uint16_t kRoots[] = {0, 1, 3, 4, 13, 14, 15, 21, 22, 128, 299, 403, 404};
  Document doc;
  for (auto& word : doc.header) word = static_cast<uint16_t>(pick(65536));
  const uint32_t texts = pick(8);
  for (uint32_t i = 0; i < texts; ++i) {
    std::string text;
    for (uint32_t n = pick(12); n > 0; --n) text += static_cast<char>(1 + pick(255));
    doc.texts.push_back(text);
  }
  if (texts == 0 && pick(3) == 0) doc.declaredTextCount = 0x80000000u + pick(1000);
  for (uint32_t objects = pick(6); objects > 0; --objects) {
    Tree tree;
    tree.push_back({kRoots[pick(std::size(kRoots))], 0, 0, {}});
    for (uint32_t n = pick(20); n > 0; --n) {
      Node node{kTags[pick(std::size(kTags))], 0, 1 + pick(tree.back().depth + 1), {}};
      if (edd::carriesValue(node.tag)) node.value = pick(3) == 0 ? pick(texts + 2) : static_cast<uint32_t>(rng());
      tree.push_back(node);
    }
    for (Node& node : tree)
      if (pick(10) == 0) node.declaredChildren = 0x80000000u | static_cast<uint32_t>(rng());
    // A declared negative count means the children written are not there.
    for (size_t i = 0; i + 1 < tree.size(); ++i)
      if (tree[i].declaredChildren && tree[i + 1].depth > tree[i].depth) tree[i].declaredChildren.reset();
    doc.lists[pick(kListCount)].push_back(std::move(tree));
  }
  if (pick(4) == 0) doc.trailing = std::string("\0\x01\xFFtail", 7);
  return doc;
}

TEST(EddRoundTrip, RandomDocumentsSurviveBytesDumpAndAssembly) {
  std::mt19937 rng(20240607);
  for (int i = 0; i < 400; ++i) {
    SCOPED_TRACE("document " + std::to_string(i));
    Document doc = randomDocument(rng);
    ParsedBinary parsed = parseBinary(writeBinary(doc));
    ASSERT_FALSE(parsed.error) << parsed.error->message;
    EXPECT_EQ(parsed.document, doc);
    expectRoundTrip(doc);
  }
}

TEST(EddRoundTrip, OddFilesKeepEveryByte) {
  expectRoundTrip(Document{});
  expectRoundTrip(assembled(R"(
    header 0xFFFF 0x8000 0 1
    list 25
      variable
        label
        identifier 7 children=-1
      2
      65535 children=-2147483648
    list 0
      398 0x7FC00001
    texts count=-1
    trailing "\x00\x00garbage"
  )"));
  Document doc;
  doc.texts = {std::string("\xC3\x28\xED\xA0\x80\xF4\x90\x80\x80\xC0\xAF", 11), "\"quoted\" \\ back\tslash\r\n",
               "\x7F\xC2\x85\xE2\x80\xA8", "\xE6\xB8\xA9\xE5\xBA\xA6 \xF0\x9F\x98\x80"};
  doc.lists[3].push_back({{14, 0, 0, {}}, {30, 3, 1, {}}, {31, 99, 1, {}}});
  expectRoundTrip(doc);
}

// Indenting every level would make the dump of a deep chain quadratic in
// the file; deep nodes state their depth instead.
TEST(EddRoundTrip, DeepTreesDumpInSpaceProportionalToTheFile) {
  Document doc;
  for (int chains = 0; chains < 3; ++chains) {
    Tree tree{{15, 0, 0, {}}};
    for (uint32_t depth = 1; depth < 30000; ++depth) tree.push_back({405, 0, depth, {}});
    for (uint32_t depth = 29999; depth > 25000; depth -= 1000) tree.push_back({399, depth, depth, {}});
    doc.lists[14].push_back(std::move(tree));
  }
  const std::string text = dumpText(doc);
  EXPECT_LT(text.size(), 3u * 30000 * 140);
  EXPECT_NE(text.find("\n" + std::string(104, ' ') + "@51 405 expression\n"), std::string::npos);
  Assembled back = assembleText(text, "dump");
  ASSERT_TRUE(back.document) << back.error;
  EXPECT_TRUE(*back.document == doc);
}

TEST(EddRoundTrip, DumpShowsNamesValuesTextsAndWhatTheLoaderRefuses) {
  Document doc = assembled(R"(
    header 1 2 3 4
    list 0
      variable
        identifier "pressure"
        float-constant 1.5
        integer-constant -3
        class 0x20000
        string-literal 42
    list 1
      2
    texts
      "pressure"
      "\xFF"
  )");
  doc.texts.push_back(std::string(10240, 'x'));
  const std::string text = dumpText(doc);
  for (const char* expected : {"header 0x0001 0x0002 0x0003 0x0004\n",
                               "list 0  # 1 object\n  22 variable  # id 0 \"pressure\"\n",
                               "    30 identifier 0 \"pressure\"\n",
                               "    398 float-constant 0x3FC00000  # 1.5\n",
                               "    399 integer-constant -3\n",
                               "    302 class 0x00020000\n",
                               "    31 string-literal 42  # no text 42\n",
                               "  2  # no object kind: the loader refuses this file\n",
                               "texts  # 3 texts\n  0 \"pressure\"\n  1 \"\\xFF\"\n",
                               "  # 10240 bytes: longer than the loader accepts\n"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin\n" << text;
}

TEST(EddRoundTrip, TruncatedFilesReportWhereAndKeepWhatCameBefore) {
  const std::string bytes = writeBinary(assembled("list 2\n  command\n    identifier \"c\"\n  command\ntexts\n  \"c\"\n"));
  struct Case {
    size_t length;
    const char* message;
  } cases[] = {{3, "the file ends inside the header words"},
               {50, "the file ends inside the object counts"},
               {115, "the file ends inside tree 0 of list 2"},
               {130, "the file ends inside tree 1 of list 2"},
               {bytes.size() - 6, "the file ends inside the text count"},
               {bytes.size() - 1, "the file ends inside text 0"}};
  for (const Case& c : cases) {
    ParsedBinary parsed = parseBinary(std::string_view(bytes).substr(0, c.length));
    ASSERT_TRUE(parsed.error) << c.length;
    EXPECT_EQ(parsed.error->message, c.message);
    EXPECT_LE(parsed.error->offset, c.length);
  }
  ParsedBinary partial = parseBinary(std::string_view(bytes).substr(0, 130));
  ASSERT_EQ(partial.document.lists[2].size(), 1u);
  EXPECT_EQ(partial.document.lists[2][0].size(), 2u);
}

TEST(EddRoundTrip, ObjectIdsMatchTheLoadersRule) {
  Document doc = assembled(R"(
    list 0
      variable
        identifier 5
      variable
        label
        identifier 6
      array
        block
          label
          identifier 7
      array
        block
          label
            identifier 9
          identifier 8
      menu
    list 1
      19
  )");
  const auto& trees = doc.lists[0];
  EXPECT_EQ(objectId(trees[0]), 5);
  EXPECT_EQ(objectId(trees[1]), -1);
  EXPECT_EQ(objectId(trees[2]), 7);
  EXPECT_EQ(objectId(trees[3]), 8) << "the second child, not a grandchild";
  EXPECT_EQ(objectId(trees[4]), -1);
  EXPECT_EQ(objectId(doc.lists[1][0]), std::nullopt);
}

}  // namespace
}  // namespace tavrin::eddtext
