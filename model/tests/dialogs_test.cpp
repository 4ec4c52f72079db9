// The value dialogs' rules, the edit dispatch, the range check, and the
// method engine working on device variables through the session.
#include <gtest/gtest.h>

#include "model_fixture.h"

namespace tavrin::model::testing {
namespace {

using methods::Entry;
using ::testing::ElementsAre;

constexpr const char* kDialogs = R"(
  list 0
    variable
      identifier "level"
      label
        direct
          string
            string-literal "Level"
      constant-unit
        direct
          string
            string-literal "m"
      type
        float
          initial-value
            expression
              float-constant 1.5
          min-value
            expression
              integer-constant 0
          max-value
            expression
              integer-constant 10
          indexed-min-value
            integer-constant 1
            expression
              integer-constant 20
          indexed-max-value
            integer-constant 1
            expression
              integer-constant 30
    variable
      identifier "ceiling"
      type
        integer
          integer-constant 2
          max-value
            expression
              integer-constant 100
    variable
      identifier "floor_only"
      type
        integer
          integer-constant 2
          indexed-min-value
            integer-constant 4
            expression
              integer-constant 50
    variable
      identifier "free"
      type
        double
    variable
      identifier "tag"
      label
        direct
          string
            string-literal "Tag"
      type
        text-string
          integer-constant 4
          initial-value
            direct
              string
                string-literal "ab"
    variable
      identifier "packed"
      type
        packed-string
          integer-constant 6
    variable
      identifier "mode"
      label
        direct
          string
            string-literal "Mode"
      type
        enumerated
          integer-constant 1
          initial-value
            expression
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
                    string-literal "On"
              enumerator
                integer-constant 2
                direct
                  string
                    string-literal "Auto"
    variable
      identifier "alarms"
      type
        bit-enumerated
          integer-constant 1
    variable
      identifier "day"
      type
        date
    variable
      identifier "byte"
      label
        direct
          string
            string-literal "Byte"
      type
        unsigned-integer
          integer-constant 1
    variable
      identifier "small"
      type
        integer
          integer-constant 1
    variable
      identifier "gain"
      type
        float
  list 14
    method
      identifier "set_level"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "level"
                float-constant 3.0
            expression
              assign
                identifier "tag"
                integer-constant 3
)";

class Dialogs : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(kDialogs)); }
  ValueDialogs& dialogs() { return session.dialogs(); }
};

TEST_F(Dialogs, RangesAcceptAValueInAnyOfTheirPairs) {
  EXPECT_TRUE(dialogs().rangeCheck("25", id("level")));
  EXPECT_TRUE(dialogs().rangeCheck("10", id("level")));
  EXPECT_TRUE(dialogs().rangeCheck("-1000", id("ceiling")));  // a maximum without a minimum
  EXPECT_TRUE(dialogs().rangeCheck("50", id("floor_only")));
  EXPECT_TRUE(dialogs().rangeCheck("1e300", id("free")));
  EXPECT_TRUE(errors().empty());
  EXPECT_FALSE(dialogs().rangeCheck("15", id("level")));
  EXPECT_FALSE(dialogs().rangeCheck("abc", id("floor_only")));  // no number counts as 0
  EXPECT_FALSE(dialogs().rangeCheck("101", id("ceiling")));
  EXPECT_THAT(errors(), ElementsAre("Error: The variable \"Level\" is out of range!",
                                    "Error: The variable \"\" is out of range!",
                                    "Error: The variable \"\" is out of range!"));
}

// A value the variable's bytes cannot hold would be stored cut (300 in one
// byte is 44): refused with the range message, ranges or not.
TEST_F(Dialogs, NumbersMustFitTheVariablesType) {
  for (const char* fits : {"0", "255", "255.9"}) EXPECT_TRUE(dialogs().rangeCheck(fits, id("byte"))) << fits;
  for (const char* fits : {"-128", "127"}) EXPECT_TRUE(dialogs().rangeCheck(fits, id("small"))) << fits;
  EXPECT_TRUE(dialogs().rangeCheck("3e38", id("gain")));
  EXPECT_TRUE(errors().empty());
  for (const char* refused : {"300", "256", "-1", "nan", "inf"})
    EXPECT_FALSE(dialogs().rangeCheck(refused, id("byte"))) << refused;
  for (const char* refused : {"128", "-129"}) EXPECT_FALSE(dialogs().rangeCheck(refused, id("small"))) << refused;
  EXPECT_FALSE(dialogs().rangeCheck("1e39", id("gain")));
  EXPECT_FALSE(dialogs().rangeCheck("70000", id("floor_only")));  // within its range, not its two bytes
  EXPECT_EQ(errors().front(), "Error: The variable \"Byte\" is out of range!");
  EXPECT_EQ(errors().size(), 9u);
  ui.enter("300").enter("200");
  EXPECT_TRUE(dialogs().numericInput(id("byte"), ""));
  EXPECT_EQ(value("byte"), "200");
}

TEST_F(Dialogs, StringsMustFitAndOtherKindsPass) {
  EXPECT_TRUE(dialogs().rangeCheck("abcd", id("tag")));
  EXPECT_FALSE(dialogs().rangeCheck("abcde", id("tag")));
  EXPECT_TRUE(dialogs().rangeCheck("whatever", id("mode")));
  EXPECT_TRUE(dialogs().rangeCheck("whatever", id("alarms")));
  EXPECT_TRUE(dialogs().rangeCheck("1", id("day")));
  EXPECT_THAT(errors(), ElementsAre("Error: The variable \"Tag\" is out of range!",
                                    "Error: There are illegal variable type!"));
}

TEST_F(Dialogs, NumericInputStaysOpenUntilAValueFits) {
  ui.enter("   ").enter("15").enter(" 25 ");
  EXPECT_TRUE(dialogs().edit(id("level"), "New level:"));
  EXPECT_EQ(value("level"), "25.000000");
  EXPECT_EQ(status("level"), "Changed");
  EXPECT_THAT(errors(), ElementsAre("Error: Please input new data!", "Error: The variable \"Level\" is out of range!"));
  EXPECT_EQ(ui.transcript().front(), "prompt number \"Level\" \"New level:\" current=\"1.500000\" unit=\"m\" -> \"   \"");

  ui.cancel();
  EXPECT_FALSE(dialogs().numericInput(id("level"), "again"));
  EXPECT_EQ(value("level"), "25.000000");
}

TEST_F(Dialogs, TextInputsSetTheTrimmedText) {
  ui.enter("").enter(" xyz ");
  EXPECT_TRUE(dialogs().edit(id("tag"), "Tag:"));
  EXPECT_EQ(value("tag"), "xyz");
  ui.enter("\t").enter("ABCDEFGH");
  EXPECT_TRUE(dialogs().edit(id("packed"), "Packed:"));
  EXPECT_EQ(value("packed"), "ABCDEF");  // cut to its size: no range check here
  EXPECT_THAT(errors(), ElementsAre("Error: Please input new data!", "Error: Please input a new data"));
}

TEST_F(Dialogs, EnumerationInputPreselectsTheCurrentText) {
  ui.select(-1).select(2);
  EXPECT_TRUE(dialogs().edit(id("mode"), "Mode:"));
  EXPECT_EQ(vars().value(id("mode"))->asInt64(), 2);
  EXPECT_EQ(status("mode"), "Changed");
  EXPECT_EQ(ui.transcript().front(), "choose \"Mode\" \"Mode:\" [Off|On|Auto] preselected=1 -> -1");
  EXPECT_THAT(errors(), ElementsAre("Error: Please select item from list!"));
  ui.cancel();
  EXPECT_FALSE(dialogs().enumerationInput(id("mode"), ""));
}

TEST_F(Dialogs, SomeTypesCannotBeEdited) {
  EXPECT_FALSE(dialogs().edit(id("alarms"), ""));
  EXPECT_FALSE(dialogs().edit(id("day"), ""));
  EXPECT_THAT(errors(), ElementsAre("Error: the T_BIT_ENUMERATED cannot be modified!",
                                    "Error: Unchangeable variable type in program!"));
}

TEST_F(Dialogs, ListSelectionDropsAnEmptyLastEntry) {
  ui.select(7).select(2);
  EXPECT_EQ(dialogs().selectFromList("Unit:", "kPa;MPa;bar;"), 2);
  EXPECT_EQ(ui.transcript().front(), "choose \"\" \"Unit:\" [kPa|MPa|bar] preselected=0 -> 7");
  EXPECT_THAT(errors(), ElementsAre("Error: Please select the current item!"));
  ui.select(1);
  EXPECT_EQ(dialogs().selectFromList("", "a;;b"), 1);
  ui.cancel();
  EXPECT_FALSE(dialogs().selectFromList("", "x"));
}

TEST_F(Dialogs, MethodsReadAndAssignDeviceVariables) {
  const EddNode* method = session.description().findObject(id("set_level"));
  ASSERT_NE(method, nullptr);
  EXPECT_EQ(session.engine().runMethod(*method), 1);
  EXPECT_EQ(value("level"), "3.000000");
  EXPECT_EQ(status("level"), "Changed");
  // A number cannot become a string's text.
  EXPECT_THAT(errors(), ElementsAre("Error: String assignment tag error!"));
  EXPECT_EQ(session.engine().stack().depth(), 0);
}

}  // namespace
}  // namespace tavrin::model::testing
