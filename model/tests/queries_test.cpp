// Ranges, handling, validity and class, with the conditional values they
// are written in, and references to array elements and collection members.
#include <gtest/gtest.h>

#include "model_fixture.h"

namespace tavrin::model::testing {
namespace {

using methods::Entry;
using ::testing::ElementsAre;

constexpr const char* kQueries = R"(
  list 0
    variable
      identifier "mode"
      type
        unsigned-integer
          integer-constant 1
    variable
      identifier "level"
      class 0x21000
      handling
        select
          expression
            reference
              identifier "mode"
          case
            expression
              integer-constant 0
            direct
              handling-value 0x1
          then
          default
            if
              expression
                integer-constant 2
              then
                direct
                  handling-value 0x2
              else
                direct
                  handling-value 0x3
      validity
        if
          expression
            reference
              identifier "mode"
          then
            direct
              invalid
          else
            direct
              integer-constant 0
      type
        float
          min-value
            expression
              integer-constant 0
          max-value
            expression
              float-constant 10.0
          indexed-min-value
            integer-constant 3
            expression
              integer-constant 20
          indexed-max-value
            integer-constant 3
            expression
              expr-mul
                integer-constant 3
                integer-constant 10
    variable
      identifier "bad_slot"
      handling
        direct
          invalid
      validity
      type
        integer
          integer-constant 2
          indexed-max-value
            integer-constant -1
            expression
              integer-constant 1
    variable
      identifier "slot_32"
      type
        integer
          integer-constant 2
          indexed-min-value
            integer-constant 32
            expression
              integer-constant 1
    variable
      identifier "plain"
      type
        integer
          integer-constant 2
)";

class Queries : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(kQueries)); }
  const EddNode* root(std::string_view name) { return session.description().findObject(id(name)); }
};

TEST_F(Queries, RangesFillTheirSlots) {
  const auto r = vars().ranges(id("level"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->minimum[0], 0.0);
  EXPECT_EQ(r->maximum[0], 10.0);
  EXPECT_EQ(r->minimum[3], 20.0);
  EXPECT_EQ(r->maximum[3], 30.0);
  EXPECT_FALSE(r->minimum[1]);
  EXPECT_TRUE(vars().ranges(id("plain"))->empty());
  EXPECT_TRUE(errors().empty());
}

TEST_F(Queries, IndexedRangesOutsideTheTableAreRefused) {
  EXPECT_FALSE(vars().ranges(id("bad_slot")));
  EXPECT_FALSE(vars().ranges(id("slot_32")));
  EXPECT_THAT(errors(), ElementsAre("Error: The current variable is out of range!",
                                    "Error: The current variable is out of range!"));
}

TEST_F(Queries, HandlingAndValidityFollowTheirConditions) {
  EXPECT_EQ(vars().handling(root("level")), 1u);
  EXPECT_TRUE(vars().valid(root("level")));  // mode 0: the else branch
  assign("mode", Entry::ofInt(1));
  EXPECT_EQ(vars().handling(root("level")), 3u);  // the default, whose IF is not 1
  EXPECT_FALSE(vars().valid(root("level")));
  EXPECT_THAT(takeErrors(), ElementsAre("Error: handling_selection tag error!"));

  EXPECT_EQ(vars().handling(root("plain")), 0u);
  EXPECT_TRUE(vars().valid(root("plain")));
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(vars().handling(root("bad_slot")), 0u);
  EXPECT_TRUE(vars().valid(root("bad_slot")));
  EXPECT_THAT(errors(),
              ElementsAre("tag1 = 396 & tag2 = 341, match failed!", "Error: boolean_specifier: pRoot = NULL"));
}

TEST_F(Queries, ClassFlagsMarkLocalVariables) {
  EXPECT_EQ(vars().classFlags(root("level")), 0x21000u);
  EXPECT_EQ(vars().classFlags(root("plain")), 0u);
  EXPECT_EQ(status("level"), "Local");
}

// Arrays name themselves one level down; their elements, like a
// collection's members, are an attribute of the root.
constexpr const char* kReferences = R"(
  list 0
    variable
      identifier "a"
      type
        integer
          integer-constant 1
    variable
      identifier "b"
      type
        integer
          integer-constant 1
    variable
      identifier "pick"
      type
        integer
          integer-constant 1
          initial-value
            expression
              integer-constant 7
  list 5
    array
      block
        label
        identifier "values"
      elements
        direct
          element-401
            integer-constant 5
            identifier "a"
          element-406
            integer-constant 7
            identifier "b"
            direct
              string
                string-literal "second"
          element-407
            integer-constant 7
            identifier "a"
          member-122
            integer-constant 9
          element-401
            identifier "a"
    collection
      identifier "group"
      members
        if
          expression
            integer-constant 1
          then
            direct
              member-122
                identifier "first"
                identifier "a"
              member-123
                identifier "nested"
                array-element-ref
                  identifier "values"
                  expression
                    reference
                      identifier "pick"
              member-124
                identifier "menu"
                identifier "main"
    collection
      identifier "refs"
      members
        direct
          member-122
            identifier "by_name"
            collection-member-ref
              identifier "group"
              identifier "first"
          member-122
            identifier "no_member"
            collection-member-ref
              identifier "group"
              identifier "second"
          member-122
            identifier "not_a_collection"
            collection-member-ref
              identifier "values"
              identifier "first"
          member-122
            identifier "refused"
            reference-242
              identifier "a"
          member-122
            identifier "no_reference"
            string-literal "a"
          member-122
            identifier "unknown"
            reference
              identifier "nowhere"
    array
      block
        label
        identifier "loop"
      elements
        direct
          element-401
            integer-constant 0
            array-element-ref
              identifier "loop"
              expression
                integer-constant 0
  list 14
    menu
      identifier "main"
)";

class References : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(kReferences)); }
  // The reference of a collection's member, as the tree holds it.
  const EddNode& member(std::string_view collection, size_t n) {
    const auto members = session.attributes().members(session.description().findObject(id(collection)));
    EXPECT_LT(n, members.size());
    return n < members.size() && members[n].reference ? *members[n].reference : empty_;
  }
  EddNode empty_{};
};

TEST_F(References, ArrayElementsAreChosenByTheirIndexValue) {
  // group.nested names values[pick]; pick is 7, whose first element is b.
  const EddNode& nested = member("group", 1);
  EXPECT_EQ(session.resolveReference(nested), id("b"));
  assign("pick", Entry::ofInt(5));
  EXPECT_EQ(session.resolveReference(nested), id("a"));
  // Items that are no elements are reported and skipped.
  EXPECT_THAT(takeErrors(), ElementsAre("Error: The ELEMENT identifier matches failed!",
                                        "tag1 = 30 & tag2 = 399, match failed!",
                                        "Error: The ELEMENT identifier matches failed!",
                                        "tag1 = 30 & tag2 = 399, match failed!"));
  const int depth = session.engine().stack().depth();
  assign("pick", Entry::ofInt(6));
  EXPECT_FALSE(session.resolveReference(nested));
  EXPECT_EQ(session.engine().stack().depth(), depth);
  EXPECT_THAT(errors(), ElementsAre("Error: The ELEMENT identifier matches failed!",
                                    "tag1 = 30 & tag2 = 399, match failed!",
                                    "Error: The variable in ARRAY couldn't be found!",
                                    "Error: the variable 6 in array cannot be found!"));
}

TEST_F(References, CollectionMembersAreChosenByName) {
  EXPECT_EQ(session.resolveReference(member("refs", 0)), id("a"));
  EXPECT_TRUE(errors().empty());
  EXPECT_FALSE(session.resolveReference(member("refs", 1)));
  EXPECT_THAT(takeErrors(), ElementsAre("Error: the variable in array cannot be found!",
                                        "Error: the variable " + std::to_string(id("second")) +
                                            " in array cannot be found!"));
  EXPECT_FALSE(session.resolveReference(member("refs", 2)));
  EXPECT_THAT(takeErrors(), ElementsAre("tag1 = 13 & tag2 = 3, match failed!"));
}

TEST_F(References, OnlyVariablesAreVariables) {
  // A menu is an object, but no variable the engine could load.
  const EddNode& menu = member("group", 2);
  EXPECT_EQ(session.attributes().resolveObject(&menu), id("main"));
  EXPECT_FALSE(session.resolveReference(menu));
  EXPECT_FALSE(session.resolveReference(member("refs", 3)));
  EXPECT_FALSE(session.resolveReference(member("refs", 4)));
  EXPECT_FALSE(session.resolveReference(member("refs", 5)));
  EXPECT_THAT(errors(), ElementsAre("Error: Cannot find the variable main in symbol table!",
                                    "Error: reference_without_call tag is not processed!",
                                    "Error: The quote of variable is error!",
                                    "Error: Cannot find the variable " + std::to_string(id("nowhere"))));
}

TEST_F(References, ReferencesThatLoopEndWithAMessage) {
  const auto elements = session.attributes().elements(session.description().findObject(id("loop")));
  ASSERT_EQ(elements.size(), 1u);
  const int depth = session.engine().stack().depth();
  EXPECT_FALSE(session.resolveReference(*elements[0].reference));
  EXPECT_EQ(session.engine().stack().depth(), depth);
  EXPECT_THAT(errors(), ElementsAre("Error: The description is nested too deeply!"));
}

}  // namespace
}  // namespace tavrin::model::testing
