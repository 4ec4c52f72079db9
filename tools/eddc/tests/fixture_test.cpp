// The fixture other modules write their tests with.
#include "testing/edd_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tavrin::testing {
namespace {

TEST(EddFixtureTest, LoadsThroughTheLibraryAndFindsObjectsByName) {
  std::string path;
  {
    EddFixture edd(R"(
      list 0
        variable
          identifier "pressure"
      list 14
        method
          identifier "reset"
          method-definition
      texts
        "unused"
    )");
    path = edd.path();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(edd.result(), 3);
    EXPECT_EQ(edd.texts().size(), 3u);
    EXPECT_EQ(edd.text(0), "unused");
    EXPECT_EQ(edd.text(3), "");
    EXPECT_EQ(edd.text(-1), "");
    EXPECT_EQ(edd.textIndex("reset"), 2);
    EXPECT_EQ(edd.textIndex("nothing"), -1);
    const EddElement* reset = edd.object("reset");
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset, edd.list(14).at(0));
    EXPECT_EQ(reset->root->tag, 15);
    EXPECT_EQ(children(reset->root).size(), 2u);
    EXPECT_EQ(child(reset->root, 1)->tag, 478);
    EXPECT_EQ(child(reset->root, 2), nullptr);
    EXPECT_EQ(edd.object("unused"), nullptr);
    EXPECT_TRUE(edd.list(26).empty());

    EddFixture moved = std::move(edd);
    EXPECT_EQ(moved.object("pressure"), moved.list(0).at(0));
  }
  EXPECT_FALSE(std::filesystem::exists(path)) << "the temporary folder goes with the fixture";
}

TEST(EddFixtureTest, InvalidTextThrowsWithTheAssemblersMessage) {
  try {
    EddFixture edd("list 0\n  variable\n    bogus\n", "menus.edd");
    FAIL() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "menus.edd:3:5: unknown tag name 'bogus'");
  }
}

}  // namespace
}  // namespace tavrin::testing
