// Display texts asked for again and again, as the parameter table asks for
// them: whatever the description alone decides may be worked out once, but a
// text chosen by another variable's value, or made of another variable's
// text, follows that value on every call; what a description cannot use is
// said every time; and a new description brings its own texts.
#include <gtest/gtest.h>

#include <string>

#include "model_fixture.h"
#include "transfer_fixture.h"
#include "tree_text.h"

namespace tavrin::model::testing {
namespace {

using methods::Entry;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// One enumerator item (or bit-enumerator item, by its tag) with a plain text.
std::string item(const std::string& tag, int value, const std::string& text) {
  using namespace tree;
  return node(tag, {integer(value), direct(node("string", {node("string-literal " + quoted(text))}))});
}

std::string literal(const std::string& text) {
  using namespace tree;
  return direct(node("string", {node("string-literal " + quoted(text))}));
}

std::string fromVariable(const std::string& name) {
  using namespace tree;
  return direct(node("string", {node("string-from-variable", {id(name)})}));
}

// IF the variable "mode" is 1, then one value, else the other.
std::string ifMode(const std::string& then, const std::string& otherwise) {
  using namespace tree;
  return node("if", {node("expression", {node("reference", {id("mode")})}), node("then", {then}),
                     node("else", {otherwise})});
}

std::string following() {
  using namespace tree;
  const std::string stateList =
      node("select", {node("expression", {node("reference", {id("mode")})}),
                      node("case", {node("expression", {integer(0)}),
                                    node("direct", {item("enumerator", 0, "Off"), item("enumerator", 1, "On")})}),
                      node("default", {node("direct", {item("enumerator", 0, "Closed"), item("enumerator", 1, "Open")})})});
  return list(0, {
      variable("mode", "unsigned-integer", 1),
      node("variable", {id("state"), node("type", {node("enumerated", {integer(1), node("enumerators", {stateList})})})}),
      node("variable",
           {id("alarms"),
            node("type", {node("bit-enumerated",
                               {integer(1), node("enumerators",
                                                 {ifMode(node("direct", {item("bit-enumerator-74", 1, "High")}),
                                                         node("direct", {item("bit-enumerator-74", 1, "Low"),
                                                                         item("bit-enumerator-75", 2, "Lower")}))})})})}),
      node("variable", {id("flags"), node("type", {node("bit-enumerated",
                                                        {integer(1), node("enumerators", {node("direct", {
                                                                                             item("bit-enumerator-74", 1, "A"),
                                                                                             item("bit-enumerator-75", 2, "B")})})})})}),
      node("variable", {id("level"), node("label", {ifMode(literal("Height"), literal("Level"))}),
                        node("constant-unit", {ifMode(literal("mbar"), literal("bar"))}),
                        node("type", {node("float", {node("display-format", {ifMode(literal("4.1f"), literal("8.3f"))})})})}),
      node("variable", {id("code"), node("type", {node("integer", {integer(2), node("display-format", {fromVariable("code_format")})})})}),
      variable("code_format", "text-string", 4, {}),
      node("variable", {id("choice"), node("type", {node("enumerated",
                                                         {integer(1), node("enumerators", {node("direct", {
                                                                                              node("enumerator", {integer(0), fromVariable("tag")}),
                                                                                              item("enumerator", 1, "Plain")})})})})}),
      variable("tag", "text-string", 8),
      node("variable", {id("plain"), node("type", {node("enumerated",
                                                        {integer(1), node("enumerators", {node("direct", {
                                                                                             item("enumerator", 0, "Zero"),
                                                                                             item("enumerator", 1, "One")})})})})}),
  });
}

class FollowingTexts : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(following())); }
  std::string label(std::string_view name) { return vars().label(session.description().findObject(id(name))); }
  std::vector<uint32_t> bitValues(std::string_view name) {
    std::vector<uint32_t> values;
    for (const BitEnumerator& b : vars().bitEnumerators(id(name))) values.push_back(b.value);
    return values;
  }
};

TEST_F(FollowingTexts, TextsChosenByAnotherValueFollowItOnEveryCall) {
  ASSERT_TRUE(assign("level", Entry::ofFloat(2.5f)));
  for (int round = 0; round < 2; ++round) {  // the second round after the texts were asked for once
    ASSERT_TRUE(assign("mode", Entry::ofInt(0)));
    EXPECT_EQ(value("state"), "Off");
    EXPECT_THAT(vars().enumDescriptions(id("state")), ElementsAre("Off", "On"));
    EXPECT_EQ(bitValues("alarms"), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(value("level"), "   2.500");
    EXPECT_EQ(unit("level"), "bar");
    EXPECT_EQ(label("level"), "Level");

    ASSERT_TRUE(assign("mode", Entry::ofInt(1)));
    EXPECT_EQ(value("state"), "Closed");
    EXPECT_THAT(vars().enumDescriptions(id("state")), ElementsAre("Closed", "Open"));
    EXPECT_EQ(bitValues("alarms"), (std::vector<uint32_t>{1}));
    EXPECT_EQ(vars().bitEnumerators(id("alarms"))[0].description, "High");
    EXPECT_EQ(value("level"), " 2.5");
    EXPECT_EQ(unit("level"), "mbar");
    EXPECT_EQ(label("level"), "Height");
  }
  EXPECT_THAT(errors(), IsEmpty());
}

// Restoring saved values goes through assignText, and a text is looked up
// among the enumerators the variable has at that moment.
TEST_F(FollowingTexts, TextsMadeOfAVariableFollowItsTextAndRestoringUsesTheCurrentList) {
  ASSERT_TRUE(assignText("code_format", "04X"));
  ASSERT_TRUE(assign("code", Entry::ofInt(255)));
  EXPECT_EQ(value("code"), "0x00FF");
  EXPECT_TRUE(vars().hexFormat(id("code")));
  ASSERT_TRUE(assignText("code_format", "d"));
  EXPECT_EQ(value("code"), "255");
  EXPECT_FALSE(vars().hexFormat(id("code")));

  ASSERT_TRUE(assignText("tag", "PT-7"));
  EXPECT_EQ(value("choice"), "PT-7");
  ASSERT_TRUE(assignText("tag", "PT-8"));
  EXPECT_EQ(value("choice"), "PT-8");
  ASSERT_TRUE(assignText("choice", "Plain"));
  EXPECT_EQ(value("choice"), "Plain");
  EXPECT_TRUE(assignText("choice", "PT-8"));
  EXPECT_EQ(value("choice"), "PT-8");

  ASSERT_TRUE(assign("mode", Entry::ofInt(1)));
  EXPECT_TRUE(assignText("state", "Open"));
  EXPECT_EQ(value("state"), "Open");
  ASSERT_TRUE(assign("mode", Entry::ofInt(0)));
  EXPECT_EQ(value("state"), "On");  // the same value, described by the other list
  EXPECT_FALSE(assignText("state", "Open"));
  EXPECT_EQ(takeErrors(), (std::vector<std::string>{
                              "Error: The text \"Open\" matches no enumerator of the variable \"state\"!"}));

  ASSERT_TRUE(assignText("plain", "One"));
  EXPECT_EQ(value("plain"), "One");
  ASSERT_TRUE(assignText("plain", " Zero "));
  EXPECT_EQ(value("plain"), "Zero");
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(FollowingTexts, PlainListsGiveTheSameAnswersEveryTime) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(assign("flags", Entry::ofInt(round)));
    EXPECT_EQ(value("flags"), "0x" + std::to_string(round));
    const auto bits = vars().bitEnumerators(id("flags"));
    ASSERT_EQ(bits.size(), 2u);
    EXPECT_EQ(bits[1].value, 2u);
    EXPECT_EQ(bits[1].description, "B");
    ASSERT_TRUE(assign("plain", Entry::ofInt(round)));
    EXPECT_EQ(value("plain"), round == 0 ? "Zero" : round == 1 ? "One" : "Unknown Enumerator");
    EXPECT_EQ(vars().enumDescription(id("plain"), 1), "One");
    EXPECT_THAT(vars().enumDescriptions(id("plain")), ElementsAre("Zero", "One"));
  }
  EXPECT_THAT(errors(), IsEmpty());
}

// What the parts of a description that cannot be used say is said on every
// call, not only on the first.
TEST(RepeatedMessages, WhatCannotBeUsedIsSaidEveryTime) {
  ModelHarness t;
  using namespace tree;
  ASSERT_TRUE(t.load(list(0, {node("variable", {id("odd"), node("type", {node("enumerated", {integer(1), node("enumerators", {node("direct", {
                                                                                    item("enumerator", 0, "Zero"),
                                                                                    item("bit-enumerator-74", 1, "Bit")})})})})}),
                              node("variable", {id("mixed"), node("type", {node("bit-enumerated", {integer(1), node("enumerators", {node("direct", {
                                                                                    item("bit-enumerator-74", 1, "Bit"),
                                                                                    item("enumerator", 2, "Other")})})})})}),
                              node("variable", {id("no_list"), node("type", {node("enumerated", {integer(1)})})})})));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(t.value("odd"), "Zero");
    EXPECT_THAT(t.takeErrors(), ElementsAre("Error: The function - enumerator, tag matches failed!",
                                            "Error: The enumerated data tag is error!"));
    EXPECT_EQ(t.vars().bitEnumerators(t.id("mixed")).size(), 1u);
    EXPECT_THAT(t.takeErrors(), ElementsAre("Error: The function - bit_enumerator, tag matches failed!",
                                            "Error: The enumerated data tag is error!"));
    // A bit list asked for as enumerators: what is not an enumerator is said.
    EXPECT_THAT(t.vars().enumDescriptions(t.id("mixed")), ElementsAre("Other"));
    EXPECT_THAT(t.takeErrors(), ElementsAre("Error: The function - bit_enumerator, tag matches failed!",
                                            "Error: The enumerated data tag is error!"));
    EXPECT_EQ(t.value("no_list"), "Unknown Enumerator");
    EXPECT_THAT(t.takeErrors(), ElementsAre("Error: enumerators_specifier: pRoot = NULL"));
  }
}

std::string unitRelation(const std::string& name, std::initializer_list<std::string> units,
                         std::initializer_list<std::string> dependents) {
  using namespace tree;
  std::string unitItems = "unit-references\n";
  for (const std::string& u : units) unitItems += indent(node("unit-item", {id(u)}));
  std::string dependentItems = "unit-dependents\n";
  for (const std::string& d : dependents) dependentItems += indent(node("unit-item", {id(d)}));
  return node("unit-relation", {id(name), unitItems, dependentItems});
}

std::string unitVariable(const std::string& name) {
  using namespace tree;
  return node("variable", {id(name), node("type", {node("enumerated", {integer(2), node("enumerators", {node("direct", {
                                                                                            item("enumerator", 1137, "bar"),
                                                                                            item("enumerator", 1133, "kPa")})})})})});
}

TEST(RelationUnits, EveryDependentFollowsTheUnitOfItsFirstRelation) {
  ModelHarness t;
  using namespace tree;
  ASSERT_TRUE(t.load(list(0, {unitVariable("unit"), unitVariable("spare"), variable("a", "integer", 1),
                              variable("b", "integer", 2), variable("c", "integer", 1), variable("alone", "integer", 1)}) +
                     list(20, {unitRelation("first", {"unit", "spare"}, {"a", "b", "c"}),
                               unitRelation("second", {"spare"}, {"b"}),
                               unitRelation("empty", {}, {"alone"})})));
  ASSERT_TRUE(t.assign("unit", Entry::ofInt(1137)));
  ASSERT_TRUE(t.assign("spare", Entry::ofInt(1133)));
  for (const char* name : {"a", "b", "c"}) EXPECT_EQ(t.unit(name), "bar") << name;
  ASSERT_TRUE(t.assignText("unit", "kPa"));  // as restoring a saved value does
  for (const char* name : {"a", "b", "c"}) EXPECT_EQ(t.unit(name), "kPa") << name;
  ASSERT_TRUE(t.assign("unit", Entry::ofInt(7)));
  EXPECT_EQ(t.unit("b"), "Unknown Enumerator");
  EXPECT_EQ(t.unit("alone"), "");  // its relation names no unit: no other relation is asked
  EXPECT_EQ(t.unit("unit"), "");   // not a dependent
  EXPECT_EQ(t.vars().unitVariableOf(t.id("c")), t.id("unit"));
  EXPECT_EQ(t.vars().unitVariableOf(t.id("alone")), std::nullopt);
  EXPECT_EQ(t.vars().unitVariableOf(t.id("spare")), std::nullopt);
  EXPECT_THAT(t.errors(), IsEmpty());

  // Changing either unit variable of "first" converts its dependents; "b"
  // is also a dependent of "second", which converts it once more.
  ASSERT_TRUE(t.assign("a", Entry::ofInt(1)));
  ASSERT_TRUE(t.assign("b", Entry::ofInt(1)));
  t.vars().applyUnitRelations(t.id("spare"), 1137, 1133);
  EXPECT_EQ(t.value("a"), "100");
  EXPECT_EQ(t.value("b"), "10000");
}

// Relations are walked as they stand while any of them is malformed, so
// each format says what the walk meets, every time.
TEST(RelationUnits, AMalformedRelationIsSaidOnEveryWalkThatReachesIt) {
  ModelHarness t;
  using namespace tree;
  const std::string broken = node("unit-relation", {id("broken"), node("unit-references", {node("unit-item", {id("unit")})}),
                                                    node("unit-dependents", {node("unit-item", {integer(3)}),
                                                                             node("unit-item", {id("late")})})});
  ASSERT_TRUE(t.load(list(0, {unitVariable("unit"), variable("early", "integer", 1), variable("late", "integer", 1)}) +
                     list(20, {unitRelation("good", {"unit"}, {"early"}), broken})));
  ASSERT_TRUE(t.assign("unit", Entry::ofInt(1133)));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(t.unit("early"), "kPa");
    EXPECT_THAT(t.takeErrors(), IsEmpty());
    EXPECT_EQ(t.unit("late"), "kPa");
    EXPECT_THAT(t.takeErrors(), ElementsAre("tag1 = 399 & tag2 = 30, match failed!"));
  }
}

// A relation may name more variables than the value stack holds entries;
// its dependents still find their unit, and nothing is said.
TEST(RelationUnits, ARelationLongerThanTheValueStackStillGivesItsUnit) {
  using namespace tree;
  std::string dependents = "unit-dependents\n";
  for (int i = 0; i < 2100; ++i) dependents += indent(node("unit-item", {id("d" + std::to_string(i))}));
  ModelHarness t;
  ASSERT_TRUE(t.load(list(0, {unitVariable("unit"), variable("d2099", "integer", 1)}) +
                     list(20, {node("unit-relation", {id("long"), node("unit-references", {node("unit-item", {id("unit")})}),
                                                      dependents})})));
  ASSERT_TRUE(t.assign("unit", Entry::ofInt(1137)));
  EXPECT_EQ(t.unit("d2099"), "bar");
  EXPECT_THAT(t.errors(), IsEmpty());
}

// A new description (or none) never shows what the last one said.
TEST(NewDescriptions, TextsComeFromTheDescriptionLoadedNow) {
  ModelHarness t;
  using namespace tree;
  const auto device = [](const std::string& off, const std::string& format, const std::string& unitName) {
    return list(0, {node("variable", {id("state"), node("type", {node("enumerated", {integer(1), node("enumerators", {node("direct", {
                                                                                          item("enumerator", 0, off)})})})})}),
                    node("variable", {id("number"), node("type", {node("integer", {integer(2), node("display-format", {literal(format)})})})}),
                    unitVariable("unit"), unitVariable("other"), variable("pressure", "integer", 1)}) +
           list(20, {unitRelation("relation", {unitName}, {"pressure"})});
  };
  ASSERT_TRUE(t.load(device("Off", "04X", "unit")));
  ASSERT_TRUE(t.assign("number", Entry::ofInt(26)));
  ASSERT_TRUE(t.assign("other", Entry::ofInt(1133)));
  ASSERT_TRUE(t.assign("unit", Entry::ofInt(1137)));
  EXPECT_EQ(t.value("state"), "Off");
  EXPECT_EQ(t.value("number"), "0x001A");
  EXPECT_EQ(t.unit("pressure"), "bar");

  ASSERT_TRUE(t.load(device("Aus", "d", "other")));
  ASSERT_TRUE(t.assign("number", Entry::ofInt(26)));
  ASSERT_TRUE(t.assign("other", Entry::ofInt(1133)));
  EXPECT_EQ(t.value("state"), "Aus");
  EXPECT_EQ(t.value("number"), "26");
  EXPECT_EQ(t.unit("pressure"), "kPa");

  // Registering again starts from the initial values with the same texts.
  t.session.registerVariables();
  EXPECT_EQ(t.value("state"), "Aus");
  EXPECT_EQ(t.unit("pressure"), "Unknown Enumerator");

  const int32_t pressure = t.id("pressure");
  t.session.clear();
  EXPECT_EQ(t.value("state"), "<no variable>");
  EXPECT_EQ(t.vars().unitVariableOf(pressure), std::nullopt);
  t.takeErrors();
  ASSERT_TRUE(t.load(device("Off", "04X", "unit")));
  ASSERT_TRUE(t.assign("unit", Entry::ofInt(1133)));
  EXPECT_EQ(t.value("state"), "Off");
  EXPECT_EQ(t.unit("pressure"), "kPa");
  EXPECT_THAT(t.errors(), IsEmpty());
}

// A device read changes what a display shows in the very call that read it,
// and a text that depends on a value read alongside follows it.
class ReadTexts : public TransferTest {
 protected:
  void SetUp() override {
    using namespace tree;
    loadDevice(following() + list(2, {command("read_state", 1, 16, "read", {reply({ref("mode"), ref("state")})}),
                                      command("write_state", 1, 16, "write", {request({ref("mode"), ref("state")})})}));
  }
};

TEST_F(ReadTexts, AReadOrAWriteShowsWhatTheDeviceHoldsNow) {
  EXPECT_EQ(value("state"), "Off");
  bus.reply("01 01");
  const auto read = vars().format(id("state"), true);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->value, "Open");
  EXPECT_EQ(read->status, "Loaded");
  ASSERT_TRUE(assignText("state", "Closed"));
  EXPECT_EQ(status("state"), "Changed");
  bus.reply();
  EXPECT_EQ(transfer().writeVariable(id("state")), 1);
  EXPECT_EQ(value("state"), "Closed");
  EXPECT_EQ(status("state"), "Loaded");
  EXPECT_THAT(calls(), ElementsAre("profibus read slot=0x01 index=0x10 length=2",
                                   "profibus write slot=0x01 index=0x10 data=01 00"));
  EXPECT_THAT(errors(), IsEmpty());
}

}  // namespace
}  // namespace tavrin::model::testing
