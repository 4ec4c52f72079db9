// Menu items, the expansion of collections and arrays into variables, and
// action lists.
#include <string>

#include "model_fixture.h"
#include "tree_text.h"

namespace tavrin::model::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string menus() {
  using namespace tree;
  auto members = [](std::initializer_list<std::string> items) {
    std::string text;
    for (const std::string& i : items) text += i;
    return node("members", {direct(text)});
  };
  auto member = [](const char* name, const std::string& reference) {
    return node("member-122", {id(name), reference});
  };
  auto array = [](const char* name, const std::string& elements) {
    return node("array", {node("1001", {node("empty"), id(name)}), node("elements", {direct(elements)})});
  };
  auto item = [](const char* name) { return node("menu-item", {id(name)}); };
  auto title = [](std::initializer_list<const char*> texts) {
    std::string strings;
    for (const char* t : texts) strings += node("string", {node("string-literal " + quoted(t))});
    return node("title-break", {direct(strings)});
  };
  auto method = [](const char* name, const std::string& statement) {
    return node("method",
                {id(name), node("method-definition", {node("compound", {node("statement-list", {statement})})})});
  };
  auto assign = [](const char* variable, int value) {
    return node("expression", {node("assign", {id(variable), integer(value)})});
  };
  const std::string mainItems =
      item("v1") +
      node("menu-item-with-args", {id("v2"), node("item-qualifiers", {integer(6)}), node("item-flag-192")}) +
      node("layout-185") + title({"Title"}) + item("outer") + item("sub") +
      node("menu-item-with-args", {id("m1"), node("item-argument-list")}) + node("invalid") + title({"One", "Two"}) +
      item("nowhere");
  const std::string chosen =
      node("if", {node("expression", {node("expr-eq", {node("reference", {id("v1")}), integer(1)})}),
                  node("then", {direct(item("v1"))}), node("else", {direct(item("v2"))})});
  const std::string preRead =
      node("method-reference", {id("m1")}) +
      node("method-inline",
           {node("method-definition", {node("compound", {node("statement-list", {assign("v2", 2)})})})}) +
      node("method-reference", {id("fails")}) + node("method-reference", {id("m1")});
  const std::string postRead =
      node("select", {node("expression", {integer(9)}),
                      node("case", {node("expression", {integer(1)}), direct(node("method-reference", {id("m1")}))})});
  return list(0, {variable("v1", "integer", 1), variable("v2", "integer", 1), variable("v3", "integer", 1),
                  variable("v4", "integer", 1), variable("v5", "integer", 1)}) +
         list(3,
              {node("collection", {id("inner"), members({member("second", id("v2")), member("third", id("v3"))})}),
               node("collection",
                    {id("outer"),
                     members({member("first", id("v1")), member("values", id("arr")), member("submenu", id("sub")),
                              member("method", id("m1")),
                              node("member-123", {id("last"), node("collection-member-ref", {id("inner"), id("third")}),
                                                  direct(node("string", {node("string-literal \"Last\"")}))})})}),
               node("collection", {id("self"), members({member("again", id("self"))})}),
               node("collection",
                    {id("broken"), members({member("ok", id("v1")), node("element-401", {integer(0), id("v2")}),
                                            member("menu", id("Last")), member("after", id("v5"))})})}) +
         list(4, {array("arr", node("element-401", {integer(0), id("inner")}) +
                                   node("element-406", {integer(1), id("v4"),
                                                        direct(node("string", {node("string-literal \"Four\"")}))})),
                  array("gaps", node("element-401", {integer(0), node("array-element-ref",
                                                                      {id("arr"), node("expression", {integer(7)})})}) +
                                    node("element-401", {integer(1), id("v5")}))}) +
         list(5, {node("menu", {id("sub")}), node("menu", {id("main"), node("menu-items", {direct(mainItems)})}),
                  node("menu", {id("chosen"), node("menu-items", {chosen})})}) +
         list(6, {method("m1", assign("v1", 1)),
                  method("fails", node("expression", {node("call", {id("BeginWaitCursor")})})),
                  node("menu", {id("acts"), node("pre-read-actions", {direct(preRead)}),
                                node("post-read-actions", {postRead})})}) +
         "texts\n  \"nowhere\"\n";
}

class MenuLists : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(menus())); }
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

TEST_F(MenuLists, ItemsCarryTheirObjectsQualifiersAndTitles) {
  const std::vector<MenuItem> items = session.menus().items(object("main"));
  EXPECT_THAT(takeErrors(),
              ElementsAre("the menu_item_args argument_list does not be processed!",
                          "Error: The menu_item tag is error!", "Error: The 'title break' attribute is error!",
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

TEST_F(MenuLists, ConditionalItemsFollowTheVariables) {
  EXPECT_EQ(session.menus().items(object("chosen")).at(0).object, id("v2"));
  ASSERT_TRUE(assign("v1", methods::Entry::ofInt(1)));
  EXPECT_EQ(session.menus().items(object("chosen")).at(0).object, id("v1"));
  EXPECT_THAT(session.menus().items(object("sub")), IsEmpty());
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(MenuLists, NestedCollectionsAndArraysExpandInOrder) {
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

TEST_F(MenuLists, BrokenCollectionsSayWhatTheyLeaveOut) {
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

TEST_F(MenuLists, ActionListsStopAtTheFirstMethodThatFails) {
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
