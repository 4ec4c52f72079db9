// Reading well-formed descriptions: structure, values, ids and texts as the
// program will walk them.
#include <gtest/gtest.h>

#include <cstring>

#include "edd/tags.h"
#include "eddtext/binary.h"
#include "testing/edd_fixture.h"
#include "testing/temp_dir.h"

namespace tavrin::testing {
namespace {

std::vector<uint16_t> tags(const std::vector<const EddNode*>& nodes) {
  std::vector<uint16_t> out;
  for (const EddNode* n : nodes) out.push_back(n->tag);
  return out;
}

TEST(LirrandRead, MissingFileClearsTheWholeBlockAndGivesZero) {
  EddBlock block;
  std::memset(&block, 0xAB, sizeof block);
  EXPECT_EQ(Lirrand::get().read(&block, "/nonexistent/description.bin"), 0);
  EXPECT_TRUE(allZero(block));
  Lirrand::get().deleteAll(&block);
  EXPECT_TRUE(allZero(block)) << "freeing an empty block must not touch it";
}

TEST(LirrandRead, EmptyDescriptionGivesEmptyListsAndZeroLikeAMissingFile) {
  EddFixture edd("header 0 0 0 0");
  EXPECT_EQ(edd.bytes().size(), 8u + 104u + 4u);
  EXPECT_EQ(edd.result(), 0);
  EXPECT_TRUE(allZero(edd.block()));
}

TEST(LirrandRead, HeaderWordsAndCountsAreCarriedThrough) {
  EddFixture edd(R"(
    header 0x1234 0 0xFFFF 7
    list 3
      variable
      variable
    list 25
      menu
    texts
      "a"
  )");
  EXPECT_EQ(edd.result(), 1);
  EXPECT_EQ(edd.block().header[0], 0x1234);
  EXPECT_EQ(edd.block().header[2], 0xFFFF);
  EXPECT_EQ(edd.block().header[3], 7);
  EXPECT_EQ(edd.block().counts[3], 2u);
  EXPECT_EQ(edd.block().counts[25], 1u);
  EXPECT_EQ(edd.list(3).size(), 2u);
  EXPECT_EQ(edd.list(25).size(), 1u);
  for (const EddElement& head : edd.block().heads) {
    EXPECT_EQ(head.id, 0);
    EXPECT_EQ(head.root, nullptr);
  }
}

// A value is read only for the value-bearing tags; every other tag is
// followed directly by its child count, whatever children come after.
TEST(LirrandRead, ValueBearingAndPlainTags) {
  EddFixture edd(R"(
    list 0
      variable
        30 identifier "v"
        31 0x31313131
        89 0x89898989
        90 0x90909090
        99 0x99999999
        302 0x00020000
        341 0x341
        398 1.0
        399 -7
        32 integer
          399 4
          59 empty
        100
  )");
  ASSERT_EQ(edd.result(), 1);
  const EddNode* root = edd.list(0).at(0)->root;
  EXPECT_EQ(root->value, 0u);
  auto kids = children(root);
  ASSERT_EQ(tags(kids), (std::vector<uint16_t>{30, 31, 89, 90, 99, 302, 341, 398, 399, 32, 100}));
  EXPECT_EQ(kids[1]->value, 0x31313131u);
  EXPECT_EQ(kids[2]->value, 0x89898989u);
  EXPECT_EQ(kids[3]->value, 0x90909090u);
  EXPECT_EQ(kids[4]->value, 0x99999999u);
  EXPECT_EQ(kids[5]->value, 0x20000u);
  EXPECT_EQ(kids[6]->value, 0x341u);
  EXPECT_EQ(kids[7]->value, 0x3F800000u);
  EXPECT_EQ(static_cast<int32_t>(kids[8]->value), -7);
  EXPECT_EQ(kids[9]->value, 0u);
  EXPECT_EQ(tags(children(kids[9])), (std::vector<uint16_t>{399, 59}));
  EXPECT_EQ(child(kids[9], 0)->value, 4u);
  EXPECT_EQ(kids[10]->value, 0u);
  EXPECT_EQ(kids[10]->child, nullptr);
  EXPECT_EQ(kids[10]->sibling, nullptr);
}

TEST(LirrandRead, ObjectIdsFollowTheRootTag) {
  EddFixture edd(R"(
    list 0
      variable
        identifier "named"
      variable
        label
        identifier "second child only"
      variable
    list 4
      0
        identifier "root 0"
      128
        identifier "root 128"
      299
        identifier "root 299"
    list 5
      array
        block
          identifier "inner first"
          identifier "typed array"
      array-of
        block
          identifier "x"
          label
      collection-of
        block
          identifier "y"
          identifier "typed collection"
      array
        identifier "not one level down"
      collection
        identifier 0xFFFFFFFF
  )");
  auto id = [&](int list, size_t n) { return edd.list(list).at(n)->id; };
  EXPECT_EQ(id(0, 0), edd.textIndex("named"));
  EXPECT_EQ(id(0, 1), -1) << "only the first child names the object";
  EXPECT_EQ(id(0, 2), -1);
  EXPECT_EQ(id(4, 0), edd.textIndex("root 0"));
  EXPECT_EQ(id(4, 1), edd.textIndex("root 128"));
  EXPECT_EQ(id(4, 2), edd.textIndex("root 299"));
  EXPECT_EQ(id(5, 0), edd.textIndex("typed array"));
  EXPECT_EQ(id(5, 1), -1);
  EXPECT_EQ(id(5, 2), edd.textIndex("typed collection"));
  EXPECT_EQ(id(5, 3), -1);
  EXPECT_EQ(id(5, 4), -1);
  EXPECT_EQ(edd.object("typed array"), edd.list(5).at(0));
  EXPECT_EQ(edd.object("second child only"), nullptr);
}

TEST(LirrandRead, ChildrenKeepFileOrderAndAZeroOrNegativeCountMeansNone) {
  EddFixture edd(R"(
    list 2
      command
        identifier "c"
        399 1 children=-1
        399 2 children=0
        transaction
          request
            data-constant
              399 3
          reply
        399 4
  )");
  ASSERT_EQ(edd.result(), 1);
  auto kids = children(edd.list(2).at(0)->root);
  ASSERT_EQ(tags(kids), (std::vector<uint16_t>{30, 399, 399, 109, 399}));
  EXPECT_EQ(kids[1]->child, nullptr);
  EXPECT_EQ(kids[2]->child, nullptr);
  EXPECT_EQ(kids[4]->value, 4u);
  EXPECT_EQ(tags(children(kids[3])), (std::vector<uint16_t>{111, 110}));
  EXPECT_EQ(child(child(child(kids[3], 0), 0), 0)->value, 3u);
}

TEST(LirrandRead, TextsAreBytesReadAsTheyAre) {
  EddFixture edd(R"(
    texts
      "plain"
      ""
      "Druck \xC3\xBC \xE6\xB8\xA9\xE5\xBA\xA6"
      "\xFF\xFE bytes \x01\x7F"
      "|en|Pressure|de|Druck"
  )");
  ASSERT_EQ(edd.result(), 5);
  EXPECT_EQ(edd.text(0), "plain");
  EXPECT_EQ(edd.text(1), "");
  EXPECT_EQ(edd.text(2), "Druck \xC3\xBC \xE6\xB8\xA9\xE5\xBA\xA6");
  EXPECT_EQ(edd.text(3), "\xFF\xFE bytes \x01\x7F");
  EXPECT_EQ(edd.text(4), "|en|Pressure|de|Druck") << "reading keeps every language";
}

TEST(LirrandRead, NegativeTextCountReadsAsNoTexts) {
  EddFixture edd(R"(
    list 0
      variable
        identifier 0
    texts count=-3
  )");
  EXPECT_EQ(edd.result(), 0);
  EXPECT_EQ(edd.block().textCount, 0);
  EXPECT_EQ(edd.block().texts, nullptr);
  ASSERT_EQ(edd.list(0).size(), 1u) << "the trees are still there";
}

TEST(LirrandRead, ABlockIsReusedAfterDeleteAndBlocksStayApart) {
  const Lirrand& lib = Lirrand::get();
  TempDir dir;
  dir.write("a.bin", assembleEdd("list 0\n  variable\n    identifier \"a\"\n"));
  dir.write("b.bin", assembleEdd("list 1\n  menu\n    identifier \"b\"\ntexts\n  \"x\"\n"));
  EddBlock a{}, b{};
  ASSERT_EQ(lib.read(&a, dir.file("a.bin").c_str()), 1);
  ASSERT_EQ(lib.read(&b, dir.file("b.bin").c_str()), 2);
  // Freeing the first block must free that block, not the latest read.
  lib.deleteAll(&a);
  EXPECT_EQ(a.heads[0].next, nullptr);
  EXPECT_EQ(a.texts, nullptr);
  lib.deleteAll(&a);
  ASSERT_NE(b.heads[1].next, nullptr);
  EXPECT_STREQ(b.texts[b.heads[1].next->id], "b");
  EXPECT_EQ(lib.print(&b, dir.file("b2.bin").c_str()), 0);
  EXPECT_EQ(dir.read("b2.bin"), dir.read("b.bin"));
  lib.deleteAll(&b);
  ASSERT_EQ(lib.read(&b, dir.file("a.bin").c_str()), 1);
  EXPECT_STREQ(b.texts[0], "a");
  lib.deleteAll(&b);
}

// A read's memory is released whole, whichever of the block's pointers leads
// to it; the sanitizer build catches what stays behind or is freed twice.
TEST(LirrandFree, EveryReadIsFoundThroughItsBlockInAnyOrder) {
  const Lirrand& lib = Lirrand::get();
  TempDir dir;
  eddtext::Document treesOnly;  // no text table at all: found through its trees
  treesOnly.lists[3].push_back({{+edd::Tag::Menu, 0, 0, {}}, {+edd::Tag::Identifier, 7, 1, {}}});
  dir.write("trees.bin", eddtext::writeBinary(treesOnly));
  dir.write("texts.bin", assembleEdd("texts\n  \"only\"\n"));  // texts only
  dir.write("both.bin", assembleEdd("list 0\n  variable\n    identifier \"v\"\ntexts\n  \"v\"\n"));
  EddBlock trees{}, texts{}, both{}, copy{};
  ASSERT_EQ(lib.read(&trees, dir.file("trees.bin").c_str()), 0) << "no texts reads as 0";
  ASSERT_NE(trees.heads[3].next, nullptr);
  EXPECT_EQ(trees.heads[3].next->id, 7);
  ASSERT_EQ(lib.read(&texts, dir.file("texts.bin").c_str()), 1);
  ASSERT_EQ(lib.read(&both, dir.file("both.bin").c_str()), 1);
  // A copy of a block frees the read as well; the original is then stale
  // and must not be freed again.
  std::memcpy(&copy, &texts, sizeof copy);
  lib.deleteAll(&copy);
  EXPECT_EQ(copy.texts, nullptr);
  lib.deleteAll(&trees);
  EXPECT_EQ(trees.heads[3].next, nullptr);
  EXPECT_STREQ(both.texts[both.heads[0].next->id], "v");
  lib.deleteAll(&both);
  lib.deleteAll(&both);
}

TEST(LirrandFree, ABlockBuiltByHandIsFreedPieceByPiece) {
  EddBlock block{};
  auto* root = static_cast<EddNode*>(std::calloc(1, sizeof(EddNode)));
  root->tag = +edd::Tag::Variable;
  root->child = static_cast<EddNode*>(std::calloc(1, sizeof(EddNode)));
  root->child->tag = +edd::Tag::Identifier;
  auto* element = static_cast<EddElement*>(std::calloc(1, sizeof(EddElement)));
  element->root = root;
  block.heads[0].next = element;
  block.texts = static_cast<char**>(std::calloc(1, sizeof(char*)));
  block.texts[0] = strdup("v");
  block.textCount = 1;
  TempDir dir;
  ASSERT_EQ(Lirrand::get().print(&block, dir.file("hand.bin").c_str()), 0);
  Lirrand::get().deleteAll(&block);
  EXPECT_TRUE(allZero(block));
  EddFixture again = EddFixture::fromBytes(dir.read("hand.bin"));
  ASSERT_EQ(again.list(0).size(), 1u);
  EXPECT_STREQ(again.block().texts[0], "v");
}

}  // namespace
}  // namespace tavrin::testing
