// Menu items, the expansion of collections and arrays into variables, and
// action lists.
#include <string>

#include "model_fixture.h"

namespace tavrin::model::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kMenus = R"(
  list 0
    variable
      identifier "v1"
      type
        integer
          integer-constant 1
    variable
      identifier "v2"
      type
        integer
          integer-constant 1
    variable
      identifier "v3"
      type
        integer
          integer-constant 1
    variable
      identifier "v4"
      type
        integer
          integer-constant 1
    variable
      identifier "v5"
      type
        integer
          integer-constant 1
  list 3
    collection
      identifier "inner"
      members
        direct
          member-122
            identifier "second"
            identifier "v2"
          member-122
            identifier "third"
            identifier "v3"
    collection
      identifier "outer"
      members
        direct
          member-122
            identifier "first"
            identifier "v1"
          member-122
            identifier "values"
            identifier "arr"
          member-122
            identifier "submenu"
            identifier "sub"
          member-122
            identifier "method"
            identifier "m1"
          member-123
            identifier "last"
            collection-member-ref
              identifier "inner"
              identifier "third"
            direct
              string
                string-literal "Last"
    collection
      identifier "self"
      members
        direct
          member-122
            identifier "again"
            identifier "self"
    collection
      identifier "broken"
      members
        direct
          member-122
            identifier "ok"
            identifier "v1"
          element-401
            integer-constant 0
            identifier "v2"
          member-122
            identifier "menu"
            identifier "Last"
          member-122
            identifier "after"
            identifier "v5"
  list 4
    array
      1001
        empty
        identifier "arr"
      elements
        direct
          element-401
            integer-constant 0
            identifier "inner"
          element-406
            integer-constant 1
            identifier "v4"
            direct
              string
                string-literal "Four"
    array
      1001
        empty
        identifier "gaps"
      elements
        direct
          element-401
            integer-constant 0
            array-element-ref
              identifier "arr"
              expression
                integer-constant 7
          element-401
            integer-constant 1
            identifier "v5"
  list 5
    menu
      identifier "sub"
    menu
      identifier "main"
      menu-items
        direct
          menu-item
            identifier "v1"
          menu-item-with-args
            identifier "v2"
            item-qualifiers
              integer-constant 6
            item-flag-192
          layout-185
          title-break
            direct
              string
                string-literal "Title"
          menu-item
            identifier "outer"
          menu-item
            identifier "sub"
          menu-item-with-args
            identifier "m1"
            item-argument-list
          invalid
          title-break
            direct
              string
                string-literal "One"
              string
                string-literal "Two"
          menu-item
            identifier "nowhere"
    menu
      identifier "chosen"
      menu-items
        if
          expression
            expr-eq
              reference
                identifier "v1"
              integer-constant 1
          then
            direct
              menu-item
                identifier "v1"
          else
            direct
              menu-item
                identifier "v2"
  list 6
    method
      identifier "m1"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "v1"
                integer-constant 1
    method
      identifier "fails"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "BeginWaitCursor"
    menu
      identifier "acts"
      pre-read-actions
        direct
          method-reference
            identifier "m1"
          method-inline
            method-definition
              compound
                statement-list
                  expression
                    assign
                      identifier "v2"
                      integer-constant 2
          method-reference
            identifier "fails"
          method-reference
            identifier "m1"
      post-read-actions
        select
          expression
            integer-constant 9
          case
            expression
              integer-constant 1
            direct
              method-reference
                identifier "m1"
  texts
    "nowhere"
)";

class Menus : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(kMenus)); }
  const EddNode& object(std::string_view name) { return *session.description().findObject(id(name)); }
  std::vector<int32_t> ids(std::initializer_list<const char*> names) {
    std::vector<int32_t> out;
    for (const char* n : names) out.push_back(id(n));
    return out;
  }
  std::vector<int32_t> expand(std::string_view name, ListKind kind = ListKind::Growable, bool* ok = nullptr) {
    std::vector<int32_t> list;
    const bool done = session.menus().expand(id(name), list, kind);
    if (ok) *ok = done;
    return list;
  }
};

TEST_F(Menus, ItemsCarryTheirObjectsQualifiersAndTitles) {
  const std::vector<MenuItem> items = session.menus().items(object("main"));
  EXPECT_THAT(takeErrors(), ElementsAre("the menu_item_args argument_list does not be processed!",
                                        "Error: The menu_item tag is error!",
                                        "Error: The 'title break' attribute is error!",
                                        "Error: Cannot find the variable " + std::to_string(id("nowhere"))));
  ASSERT_EQ(items.size(), 8u);
  EXPECT_EQ(items[0].object, id("v1"));
  EXPECT_EQ(items[1].object, id("v2"));
  EXPECT_EQ(items[1].qualifiers, 6u);
  EXPECT_TRUE(items[1].flag);
  EXPECT_TRUE(items[2].isLayout());
  ASSERT_TRUE(items[3].isTitle() && items[3].text);
  EXPECT_EQ(session.description().text(items[3].text->word()), "Title");
  EXPECT_EQ(items[6].object, id("m1"));
  EXPECT_TRUE(items[7].isReference());
  EXPECT_FALSE(items[7].object);
  // A view shows menus and methods as themselves, collections as their variables.
  EXPECT_EQ(session.menus().entryObjects(items[4]), ids({"v1", "v2", "v3", "v4", "v3"}));
  EXPECT_EQ(session.menus().entryObjects(items[5]), ids({"sub"}));
}

TEST_F(Menus, ConditionalItemsFollowTheVariables) {
  EXPECT_EQ(session.menus().items(object("chosen")).at(0).object, id("v2"));
  ASSERT_TRUE(assign("v1", methods::Entry::ofInt(1)));
  EXPECT_EQ(session.menus().items(object("chosen")).at(0).object, id("v1"));
  EXPECT_THAT(session.menus().items(object("sub")), IsEmpty());
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(Menus, NestedCollectionsAndArraysExpandInOrder) {
  bool ok = false;
  EXPECT_EQ(expand("outer", ListKind::Fixed, &ok), ids({"v1", "v2", "v3", "v4", "v3"}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(expand("v5"), ids({"v5"}));
  EXPECT_THAT(expand("m1"), IsEmpty());
  ui.clearRecord();
  session.menus().menuVariables(object("main"));
  EXPECT_THAT(takeErrors(), ::testing::Contains("Error: menu_item, tag has not been processed!"));
  EXPECT_EQ(session.menus().menuVariables(object("chosen")), ids({"v2"}));
}

TEST_F(Menus, BrokenCollectionsSayWhatTheyLeaveOut) {
  bool ok = true;
  EXPECT_EQ(expand("gaps", ListKind::Growable, &ok), ids({"v5"}));
  EXPECT_FALSE(ok);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: The variable in ARRAY couldn't be found!",
                                        "Error: the variable 7 in array cannot be found!"));
  EXPECT_EQ(expand("broken", ListKind::Growable, &ok), ids({"v1", "v5"}));
  EXPECT_THAT(takeErrors(), ElementsAre("Error: Compile COLLECTION menu error!",
                                        "Error: Cannot find the variable " + std::to_string(id("Last"))));
  expand("broken", ListKind::Fixed);
  EXPECT_EQ(takeErrors().at(0), "Error: MENU collection error!");
  EXPECT_THAT(expand("self", ListKind::Growable, &ok), IsEmpty());
  EXPECT_FALSE(ok);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: The description is nested too deeply!"));
}

TEST_F(Menus, ActionListsStopAtTheFirstMethodThatFails) {
  EXPECT_EQ(session.menus().runActions(object("acts"), 295), 0);
  EXPECT_EQ(value("v1"), "1");
  EXPECT_EQ(value("v2"), "2");
  EXPECT_THAT(takeErrors(), ElementsAre("Error: The function 'BeginWaitCursor' isn't available in this program!"));
  ASSERT_TRUE(assign("v1", methods::Entry::ofInt(0)));
  EXPECT_EQ(session.menus().runActions(object("acts"), 292), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: actions_specifier: pRoot = NULL"));
  EXPECT_EQ(session.menus().runActions(object("acts"), 296), 1);  // none to run
  EXPECT_EQ(value("v1"), "0");
}

// A list of 30 references to a collection of ten variables: 300 ids.
std::string hugeCollection() {
  std::string text = "list 0\n";
  for (int i = 0; i < 10; ++i)
    text += "  variable\n    identifier \"x" + std::to_string(i) + "\"\n    type\n      integer\n";
  text += "list 3\n  collection\n    identifier \"ten\"\n    members\n      direct\n";
  for (int i = 0; i < 10; ++i)
    text += "        member-122\n          identifier \"m" + std::to_string(i) + "\"\n          identifier \"x" +
            std::to_string(i) + "\"\n";
  text += "  collection\n    identifier \"many\"\n    members\n      direct\n";
  for (int i = 0; i < 30; ++i) text += "        member-122\n          identifier \"t\"\n          identifier \"ten\"\n";
  return text;
}

TEST(FixedLists, StopAt256Variables) {
  ModelHarness h;
  ASSERT_TRUE(h.load(hugeCollection()));
  std::vector<int32_t> list;
  EXPECT_FALSE(h.session.menus().expand(h.id("many"), list, ListKind::Fixed));
  EXPECT_EQ(list.size(), 256u);
  EXPECT_THAT(h.errors(), ElementsAre("Error: A list holds at most 256 variables!"));
  list.clear();
  EXPECT_TRUE(h.session.menus().expand(h.id("many"), list, ListKind::Growable));
  EXPECT_EQ(list.size(), 300u);
}

}  // namespace
}  // namespace tavrin::model::testing
