// Display texts: value formats, states, fresh reads, enumerations, labels,
// string values and units.
#include <gtest/gtest.h>

#include <string>

#include "model/units.h"
#include "model_fixture.h"

namespace tavrin::model::testing {
namespace {

using methods::Entry;
using ::testing::ElementsAre;

// A numeric variable with a display format.
std::string formatted(const std::string& name, const std::string& type, const std::string& format) {
  return "    variable\n      identifier \"" + name + "\"\n      type\n        " + type +
         "\n          integer-constant 4\n          display-format\n            direct\n              string\n"
         "                string-literal \"" +
         format + "\"\n";
}

class Formats : public ModelTest {
 protected:
  void SetUp() override {
    std::string d = "  list 0\n";
    d += formatted("hex", "integer", "04X");
    d += formatted("lowhex", "unsigned-integer", "x");
    d += formatted("width", "integer", "-6d");
    d += formatted("octal", "unsigned-integer", "#o");
    d += formatted("signed_as_u", "integer", "u");
    d += formatted("string_conv", "integer", "s");
    d += formatted("pointer_write", "integer", "n");
    d += formatted("two", "integer", "d%d");
    d += formatted("wide", "integer", "100d");
    d += formatted("long", "integer", "ld");
    d += formatted("star", "integer", "*d");
    d += formatted("int_as_float", "integer", ".2f");
    d += formatted("empty", "unsigned-integer", "");
    d += R"(
    variable
      identifier "fixed"
      type
        float
          display-format
            direct
              string
                string-literal "8.3f"
    variable
      identifier "sci"
      type
        double
          display-format
            direct
              string
                string-literal "E"
    variable
      identifier "float_hex"
      type
        double
          display-format
            direct
              string
                string-literal "X"
    variable
      identifier "huge"
      type
        double
          display-format
            direct
              string
                string-literal "99.99f"
    variable
      identifier "bits"
      type
        bit-enumerated
          integer-constant 2
    variable
      identifier "long_text"
      type
        text-string
          integer-constant 300
    variable
      identifier "local"
      class 0x20000
      type
        integer
          integer-constant 1
    variable
      identifier "day"
      type
        date
)";
    ASSERT_TRUE(load(d));
  }
};

TEST_F(Formats, DisplayFormatsOfTheirTypeAreUsed) {
  ASSERT_TRUE(assign("hex", Entry::ofInt(255)));
  EXPECT_EQ(value("hex"), "0x00FF");
  ASSERT_TRUE(assign("lowhex", Entry::ofInt(-1)));
  EXPECT_EQ(value("lowhex"), "0xffffffff");
  ASSERT_TRUE(assign("width", Entry::ofInt(-5)));
  EXPECT_EQ(value("width"), "-5    ");
  ASSERT_TRUE(assign("octal", Entry::ofInt(8)));
  EXPECT_EQ(value("octal"), "010");
  ASSERT_TRUE(assign("signed_as_u", Entry::ofInt(-1)));
  EXPECT_EQ(value("signed_as_u"), "4294967295");
  ASSERT_TRUE(assign("fixed", Entry::ofFloat(3.14159f)));
  EXPECT_EQ(value("fixed"), "   3.142");
  ASSERT_TRUE(assign("sci", Entry::ofDouble(1500.0)));
  EXPECT_EQ(value("sci"), "1.500000E+03");
  ASSERT_TRUE(assign("bits", Entry::ofInt(0x1A)));
  EXPECT_EQ(value("bits"), "0x1A");
  EXPECT_TRUE(errors().empty());
}

TEST_F(Formats, FormatsThatDoNotFitTheTypeDisplayAsIfThereWereNone) {
  for (const char* name : {"string_conv", "pointer_write", "two", "wide", "long", "star", "int_as_float"}) {
    ASSERT_TRUE(assign(name, Entry::ofInt(-7)));
    EXPECT_EQ(value(name), "-7") << name;
  }
  ASSERT_TRUE(assign("empty", Entry::ofInt(7)));
  EXPECT_EQ(value("empty"), "7");
  ASSERT_TRUE(assign("float_hex", Entry::ofDouble(0.5)));
  EXPECT_EQ(value("float_hex"), "0.500000");
  EXPECT_TRUE(errors().empty());
}

TEST_F(Formats, ValueTextsStayWithinTheirBuffer) {
  ASSERT_TRUE(assign("huge", Entry::ofDouble(1e308)));
  const std::string v = value("huge");
  EXPECT_EQ(v.size(), kMaxValueText);
  EXPECT_EQ(v.substr(0, 6), "100000");
  ASSERT_TRUE(assignText("long_text", std::string(300, 'x')));
  EXPECT_EQ(value("long_text"), std::string(kMaxValueText, 'x'));
  EXPECT_EQ(value("day"), "The variable type is error in EDDL!");
}

TEST_F(Formats, StatusShowsTheStateOrLocal) {
  EXPECT_EQ(status("hex"), "Initial value");
  assign("hex", Entry::ofInt(1));
  EXPECT_EQ(status("hex"), "Changed");
  entry("hex")->state = ValueState::Loaded;
  EXPECT_EQ(status("hex"), "Loaded");
  entry("hex")->state = ValueState::PendingDownload;
  EXPECT_EQ(status("hex"), "Unknown");
  EXPECT_EQ(status("local"), "Local");
}

TEST_F(Formats, FreshTextsReadVariablesNotYetRead) {
  std::vector<int32_t> reads;
  vars().setReadHook([&](int32_t variable) {
    reads.push_back(variable);
    return 1;
  });
  vars().format(id("hex"), false);
  vars().format(id("hex"), true);
  vars().setViewMode(ViewMode::Parameter);
  vars().format(id("width"), true);
  vars().setViewMode(ViewMode::Function);
  entry("width")->state = ValueState::Loaded;
  vars().format(id("width"), true);
  EXPECT_THAT(reads, ElementsAre(id("hex")));
}

constexpr const char* kTexts = R"(
  list 0
    variable
      identifier "switch"
      label
        direct
          string
            string-literal "|en|Switch|de|Schalter"
      type
        enumerated
          integer-constant 1
          enumerators
            direct
              enumerator
                integer-constant 0
                direct
                  string
                    string-literal "Off"
              enumerator
                integer-constant 1
                direct
                  string
                    string-literal "  On "
              enumerator
                integer-constant 1
                direct
                  string
                    string-literal "Also on"
              enumerator
                integer-constant 2
                direct
                  string
                    string-from-variable
                      identifier "tag"
              enumerator-67
                float-constant 3.0
                direct
                  string
                    string-constant "Three"
    variable
      identifier "tag"
      type
        text-string
          integer-constant 8
          initial-value
            direct
              string
                string-literal "PT-7"
    variable
      identifier "alarms"
      type
        bit-enumerated
          integer-constant 1
          enumerators
            if
              expression
                integer-constant 1
              then
                direct
                  bit-enumerator-74
                    integer-constant 1
                    direct
                      string
                        string-literal "Low"
                  enumerator
                    integer-constant 2
                    direct
                      string
                        string-literal "Odd"
                  bit-enumerator-88
                    integer-constant 4
                    direct
                      string
                        string-literal "High"
    variable
      identifier "two_labels"
      label
        direct
          string
            string-literal "a"
          string
            string-literal "b"
      type
        float
    variable
      identifier "broken_label"
      label
        direct
          string
            string-literal 9999
      type
        float
    variable
      identifier "odd_label"
      label
        select
          expression
            integer-constant 3
          case
            expression
              integer-constant 2
            direct
              string
                string-literal "two"
          then
          default
            direct
              string-concat
              string
                string-unsupported
              string
                float-constant 1.0
      type
        float
)";

class Texts : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(kTexts)); }
};

TEST_F(Texts, EnumeratedValuesShowTheFirstMatchingDescription) {
  EXPECT_EQ(value("switch"), "Off");
  assign("switch", Entry::ofInt(1));
  EXPECT_EQ(value("switch"), "  On ");
  assign("switch", Entry::ofInt(2));
  EXPECT_EQ(value("switch"), "PT-7");  // the current text of the variable it names
  assign("switch", Entry::ofInt(3));
  EXPECT_EQ(value("switch"), "Three");
  assign("switch", Entry::ofInt(4));
  EXPECT_EQ(value("switch"), "Unknown Enumerator");
  EXPECT_THAT(vars().enumDescriptions(id("switch")), ElementsAre("Off", "  On ", "Also on", "PT-7", "Three"));
  EXPECT_TRUE(errors().empty());
}

TEST_F(Texts, EnumeratorsAreFoundByTheirTrimmedDescription) {
  ASSERT_TRUE(assignText("switch", "On"));
  EXPECT_EQ(vars().value(id("switch"))->asInt64(), 1);
  ASSERT_TRUE(assignText("switch", " Three\t"));
  EXPECT_EQ(vars().value(id("switch"))->asInt64(), 3);
  // A text that names no enumerator changes neither value nor state.
  entry("switch")->state = ValueState::Loaded;
  EXPECT_FALSE(assignText("switch", "Maybe"));
  EXPECT_EQ(vars().value(id("switch"))->asInt64(), 3);
  EXPECT_EQ(status("switch"), "Loaded");
  EXPECT_THAT(errors(), ElementsAre("Error: The text \"Maybe\" matches no enumerator of the variable \"switch\"!"));
}

TEST_F(Texts, BitEnumeratorsKeepTheirOrderAndSkipOtherItems) {
  const auto bits = vars().bitEnumerators(id("alarms"));
  ASSERT_EQ(bits.size(), 2u);
  EXPECT_EQ(bits[0].value, 1u);
  EXPECT_EQ(bits[0].description, "Low");
  EXPECT_EQ(bits[1].value, 4u);
  EXPECT_EQ(bits[1].description, "High");
  EXPECT_THAT(errors(), ElementsAre("Error: The function - bit_enumerator, tag matches failed!",
                                    "Error: The enumerated data tag is error!"));
}

TEST_F(Texts, LabelsAreShownAsStored) {
  const Description& d = session.description();
  EXPECT_EQ(vars().label(d.findObject(id("switch"))), "|en|Switch|de|Schalter");
  EXPECT_EQ(vars().label(d.findObject(id("tag"))), "");
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(vars().label(d.findObject(id("two_labels"))), "");
  EXPECT_EQ(vars().label(d.findObject(id("broken_label"))), "");  // a text index past the table
  EXPECT_THAT(takeErrors(), ElementsAre("Error: The value of LABEL is error!"));
  EXPECT_EQ(vars().label(d.findObject(id("odd_label"))), "");
  EXPECT_THAT(errors(), ElementsAre("Error: string_selection tag error!", "Error: STRING ADD error!",
                                    "Error: string_terminal, error!", "Error: string_terminal string match error!"));
}

TEST(HostileTexts, TextsThatShowThemselvesEndWithAMessage) {
  ModelHarness t;
  ASSERT_TRUE(t.load(R"(
    list 0
      variable
        identifier "mirror"
        type
          enumerated
            integer-constant 1
            enumerators
              direct
                enumerator
                  integer-constant 0
                  direct
                    string
                      string-from-variable
                        identifier "mirror"
  )"));
  EXPECT_EQ(t.value("mirror"), "");
  EXPECT_THAT(t.errors(), ElementsAre("Error: The description is nested too deeply!"));
  EXPECT_EQ(t.session.engine().stack().depth(), 0);
}

TEST(HostileTexts, EnumeratorListsLongerThanTheValueStackAreCutOnce) {
  std::string d = R"(
    list 0
      variable
        identifier "many"
        type
          enumerated
            integer-constant 2
            enumerators
              direct
)";
  for (int i = 0; i < 1500; ++i) {
    d += "                enumerator\n                  integer-constant " + std::to_string(i) +
         "\n                  direct\n                    string\n                      string-literal \"e\"\n";
  }
  ModelHarness t;
  ASSERT_TRUE(t.load(d));
  EXPECT_EQ(t.value("many"), "Unknown Enumerator");
  EXPECT_THAT(t.errors(), ElementsAre("Error: Stack upper range overflow!"));
  EXPECT_EQ(t.session.engine().stack().depth(), 0);
}

constexpr const char* kUnits = R"(
  list 0
    variable
      identifier "pressure"
      type
        float
    variable
      identifier "unit"
      type
        enumerated
          integer-constant 2
          initial-value
            expression
              integer-constant 1137
          enumerators
            direct
              enumerator
                integer-constant 1137
                direct
                  string
                    string-literal "bar"
              enumerator
                integer-constant 1133
                direct
                  string
                    string-literal "kPa"
    variable
      identifier "other_unit"
      type
        text-string
          integer-constant 4
          initial-value
            direct
              string
                string-literal "psi"
    variable
      identifier "fixed"
      constant-unit
        direct
          string
            string-literal "mA"
      type
        float
    variable
      identifier "precise"
      type
        double
    variable
      identifier "count"
      type
        unsigned-integer
          integer-constant 1
    variable
      identifier "code"
      type
        unsigned-integer
          integer-constant 2
          display-format
            direct
              string
                string-literal "04X"
    variable
      identifier "self"
      type
        integer
          integer-constant 1
    variable
      identifier "ping"
      type
        integer
          integer-constant 1
    variable
      identifier "pong"
      type
        integer
          integer-constant 1
  list 20
    unit-relation
      identifier "pressure_unit"
      unit-references
        unit-item
          identifier "unit"
      unit-dependents
        unit-item
          identifier "pressure"
        unit-item
          identifier "fixed"
        unit-item
          identifier "precise"
        unit-item
          identifier "count"
    unit-relation
      identifier "second"
      unit-references
        unit-item
          identifier "other_unit"
      unit-dependents
        unit-item
          identifier "pressure"
    unit-relation
      identifier "loops"
      unit-references
        unit-item
          identifier "self"
      unit-dependents
        unit-item
          identifier "self"
        unit-item
          identifier "pong"
    unit-relation
      identifier "back"
      unit-references
        unit-item
          identifier "pong"
      unit-dependents
        unit-item
          identifier "ping"
    unit-relation
      identifier "forth"
      unit-references
        unit-item
          identifier "ping"
      unit-dependents
        unit-item
          identifier "pong"
)";

class Units : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(kUnits)); }
};

TEST_F(Units, TheFirstRelationNamingAVariableGivesItsUnit) {
  EXPECT_EQ(unit("pressure"), "bar");
  EXPECT_EQ(unit("fixed"), "mA");  // a constant unit beats every relation
  EXPECT_EQ(unit("other_unit"), "");
  EXPECT_EQ(vars().unitVariableOf(id("pressure")), id("unit"));
  EXPECT_TRUE(errors().empty());
}

TEST_F(Units, UnitsThatReferToThemselvesEndAtOnce) {
  assign("self", Entry::ofInt(5));
  EXPECT_EQ(unit("self"), "5");
  assign("ping", Entry::ofInt(1));
  assign("pong", Entry::ofInt(2));
  EXPECT_EQ(unit("ping"), "2");
  EXPECT_EQ(unit("pong"), "5");  // "loops" names it first
  EXPECT_TRUE(errors().empty());
}

TEST_F(Units, ChangingAUnitConvertsItsDependents) {
  assign("pressure", Entry::ofFloat(2.5f));
  assign("fixed", Entry::ofFloat(4.0f));
  entry("pressure")->state = ValueState::Loaded;
  vars().applyUnitRelations(id("unit"), 1137, 1133);
  EXPECT_EQ(value("pressure"), "250.000000");
  EXPECT_EQ(value("fixed"), "400.000000");
  EXPECT_EQ(status("pressure"), "Changed");
  vars().applyUnitRelations(id("pressure"), 1133, 1137);  // not a unit variable
  vars().applyUnitRelations(id("unit"), 1001, 1002);      // temperatures stay
  EXPECT_EQ(value("pressure"), "250.000000");
}

// Each dependent keeps its own type: a double does not pass through a
// float.
TEST_F(Units, DependentsAreConvertedInTheirOwnType) {
  assign("precise", Entry::ofDouble(1.23456789012345));
  assign("count", Entry::ofInt(2));
  vars().applyUnitRelations(id("unit"), 1137, 1133);
  EXPECT_DOUBLE_EQ(vars().value(id("precise"))->asDouble(), 123.456789012345);
  EXPECT_EQ(value("count"), "200");
  vars().applyUnitRelations(id("unit"), 1133, 1130);
  EXPECT_DOUBLE_EQ(vars().value(id("precise"))->asDouble(), 123456.789012345);
  EXPECT_TRUE(errors().empty());
}

TEST_F(Units, OnlyIntegersWithAHexadecimalFormatShowHex) {
  EXPECT_TRUE(vars().hexFormat(id("code")));
  EXPECT_FALSE(vars().hexFormat(id("count")));
  EXPECT_FALSE(vars().hexFormat(id("unit")));
  EXPECT_FALSE(vars().hexFormat(id("nothing")));
  assign("code", Entry::ofInt(255));
  EXPECT_EQ(value("code"), "0x00FF");
}

TEST(UnitCodes, TextsAndFactors) {
  EXPECT_EQ(unitCodeText(1094), "   lb");
  EXPECT_EQ(unitCodeText(1325), " KG/d");
  EXPECT_EQ(unitCodeText(1997), "");
  EXPECT_EQ(unitCodeText(4242), "");
  EXPECT_EQ(unitCodeText(1109), "STYD3");
  EXPECT_DOUBLE_EQ(convertUnit(2.0, 1137, 1133), 200.0);
  EXPECT_DOUBLE_EQ(convertUnit(20.0, 1001, 1002), 20.0);
  EXPECT_DOUBLE_EQ(convertUnit(3.0, 4242, 1138), 30.0);
  EXPECT_DOUBLE_EQ(convertUnit(1.0, 1349, 1347), 1.0 / 3600.0);
  EXPECT_EQ(unitFactor(1109), 1186.552842515566);
  EXPECT_EQ(unitFactor(1130 + 65536), 1.0);
}

}  // namespace
}  // namespace tavrin::model::testing
