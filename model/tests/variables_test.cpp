// Registration, value memory in device byte order, assignment and reading.
#include <gtest/gtest.h>

#include <sstream>

#include "model_fixture.h"

namespace tavrin::model::testing {
namespace {

using methods::Entry;
using ::testing::ElementsAre;

constexpr const char* kTypes = R"(
  list 0
    variable
      identifier "s1"
      type
        integer
          integer-constant 1
    variable
      identifier "s2"
      type
        integer
          integer-constant 2
    variable
      identifier "s3"
      type
        integer
          integer-constant 3
    variable
      identifier "s4"
      type
        integer
          integer-constant 4
    variable
      identifier "u2"
      type
        unsigned-integer
          integer-constant 2
    variable
      identifier "u4"
      type
        type-wrapper
          unsigned-integer
            integer-constant 4
    variable
      identifier "f"
      type
        float
    variable
      identifier "d"
      type
        double
    variable
      identifier "str"
      type
        text-string
          integer-constant 4
    variable
      identifier "unsized"
      type
        integer
    variable
      identifier "placeholder"
      type
        unsigned-integer
          empty
    variable
      identifier "stamp"
      type
        date-time-43
    variable
      identifier "day"
      type
        date
    variable
      identifier "wide"
      type
        integer
          integer-constant 8
)";

class VariableValues : public ModelTest {
 protected:
  void SetUp() override { ASSERT_TRUE(load(kTypes)); }
};

TEST_F(VariableValues, SizesFollowTheTypeNode) {
  const auto size = [&](std::string_view name) { return entry(name) ? entry(name)->size : 0u; };
  EXPECT_EQ(size("s3"), 3u);
  EXPECT_EQ(size("u4"), 4u);
  EXPECT_EQ(size("f"), 4u);
  EXPECT_EQ(size("d"), 8u);
  EXPECT_EQ(size("unsized"), 1u);
  EXPECT_EQ(size("placeholder"), 1u);
  EXPECT_EQ(size("stamp"), 6u);
  EXPECT_EQ(size("day"), 3u);
  // Value memory is handed out in registration order, without gaps.
  EXPECT_EQ(entry("s2")->address, 1u);
  EXPECT_EQ(entry("wide")->address + 8, session.symbols().used());
  EXPECT_TRUE(errors().empty());
}

TEST_F(VariableValues, IntegersAreSignExtendedFromTheirWidth) {
  const struct {
    const char* name;
    int64_t stored;
    const char* bytes;
    int64_t read;
  } cases[] = {
      {"s1", 0xFF, "FF", -1},
      {"s2", 0x8000, "80 00", -32768},
      {"s3", 0x800000, "80 00 00", -8388608},
      {"s4", 0x80000000, "80 00 00 00", INT32_MIN},
      {"s2", 0x7FFF, "7F FF", 32767},
      {"u2", 0x8000, "80 00", 32768},
      {"u4", 0xFFFFFFFF, "FF FF FF FF", 4294967295},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(assign(c.name, Entry::ofUnsigned(static_cast<uint32_t>(c.stored))));
    EXPECT_EQ(bytes(c.name), c.bytes);
    const auto v = vars().value(id(c.name));
    ASSERT_TRUE(v);
    EXPECT_EQ(v->asInt64(), c.read);
    EXPECT_EQ(v->type, c.name[0] == 's' ? 4 : 5);
  }
  EXPECT_EQ(value("s2"), "32767");
  EXPECT_EQ(value("u4"), "4294967295");
}

TEST_F(VariableValues, FloatsAndDoublesAreStoredMostSignificantByteFirst) {
  ASSERT_TRUE(assign("f", Entry::ofFloat(1.0f)));
  EXPECT_EQ(bytes("f"), "3F 80 00 00");
  ASSERT_TRUE(assign("d", Entry::ofInt(-2)));
  EXPECT_EQ(bytes("d"), "C0 00 00 00 00 00 00 00");
  EXPECT_EQ(vars().value(id("d"))->asDouble(), -2.0);
  // Floats convert to integers toward zero.
  ASSERT_TRUE(assign("s2", Entry::ofFloat(-3.75f)));
  EXPECT_EQ(value("s2"), "-3");
}

TEST_F(VariableValues, StringsArePaddedWithZerosOrCutToTheirSize) {
  ASSERT_TRUE(assignText("str", "ABCDEFGHIJ"));
  EXPECT_EQ(bytes("str"), "41 42 43 44");
  EXPECT_EQ(value("str"), "ABCD");  // no terminator in memory, none read past it
  ASSERT_TRUE(assignText("str", "xy"));
  EXPECT_EQ(bytes("str"), "78 79 00 00");
  const auto v = vars().value(id("str"));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->kind, methods::kind::Address);
  EXPECT_EQ(v->addressed().size(), 4u);
  // From a string constant of the text table, and from another string's bytes.
  ASSERT_TRUE(assign("str", Entry::stringConstant(id("s1"))));
  EXPECT_EQ(value("str"), "s1");
  EXPECT_FALSE(assign("str", Entry::ofInt(5)));
  EXPECT_THAT(errors(), ElementsAre("Error: String assignment tag error!"));
}

TEST_F(VariableValues, AssigningMarksChangedEvenWhenTheTypeRefuses) {
  for (SymbolEntry& e : session.symbols().entries()) EXPECT_EQ(e.state, ValueState::Initial);
  EXPECT_FALSE(assign("day", Entry::ofInt(1)));
  EXPECT_EQ(status("day"), "Changed");
  EXPECT_FALSE(assign("wide", Entry::ofInt(1)));
  EXPECT_EQ(entry("wide")->state, ValueState::Changed);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: The variable type in EDDL doesn't support assignment operation!",
                                        "Error: Convert the int data error!"));
  // Eight bytes are no integer this program reads.
  EXPECT_FALSE(vars().value(id("wide")));
  EXPECT_FALSE(vars().value(id("day")));
  EXPECT_THAT(errors(), ElementsAre("Error: Convert the int data error!", "Error: Undefined data type!"));
}

TEST_F(VariableValues, UnknownVariablesAreReportedAndChangeNothing) {
  EXPECT_FALSE(assign("nothing", Entry::ofInt(1)));
  EXPECT_FALSE(assignText("nothing", "1"));
  EXPECT_FALSE(vars().value(id("s1") + 1000));
  EXPECT_THAT(errors(), ElementsAre("Error: Cannot find the current variable in symbol!",
                                    "Error: Cannot find the current variable in symbol!",
                                    "Error: Cannot find the variable  in symbol table!"));
}

TEST_F(VariableValues, TextsAreParsedByType) {
  ASSERT_TRUE(assignText("s4", "  -42abc"));
  EXPECT_EQ(value("s4"), "-42");
  ASSERT_TRUE(assignText("s4", "99999999999"));  // beyond 32 bits: the largest int
  EXPECT_EQ(value("s4"), "2147483647");
  ASSERT_TRUE(assignText("u2", "7.9"));
  EXPECT_EQ(value("u2"), "7");
  ASSERT_TRUE(assignText("f", "2.5e1"));
  EXPECT_EQ(value("f"), "25.000000");
  ASSERT_TRUE(assignText("d", "nonsense"));
  EXPECT_EQ(value("d"), "0.000000");
  EXPECT_FALSE(assignText("day", "1"));
  EXPECT_THAT(errors(), ElementsAre("Error: Variable type error!"));
  EXPECT_EQ(status("day"), "Initial value");
}

TEST(VariableRegistration, InitialValuesWinOverDefaultsAndSettleInitial) {
  ModelHarness t;
  ASSERT_TRUE(t.load(R"(
    list 0
      variable
        identifier "both"
        type
          integer
            integer-constant 2
            default-value
              expression
                integer-constant 7
            initial-value
              expression
                integer-constant 3
      variable
        identifier "fallback"
        type
          float
            default-value
              expression
                float-constant 1.5
      variable
        identifier "own"
        initial-value
          expression
            expr-add
              reference
                identifier "both"
              integer-constant 10
        type
          unsigned-integer
            integer-constant 1
            initial-value
              expression
                integer-constant 99
      variable
        identifier "name"
        type
          text-string
            integer-constant 8
            initial-value
              direct
                string
                  string-literal "PT-100"
      variable
        identifier "two"
        type
          integer
            integer-constant 1
            initial-value
              expression
                integer-constant 1
            initial-value
              expression
                integer-constant 2
      variable
        identifier "nested"
        type
          double
        label
          direct
            string
              string-literal "not a value"
        pre-read-actions
          direct
            initial-value
  )"));
  EXPECT_EQ(t.value("both"), "3");
  EXPECT_EQ(t.value("fallback"), "1.500000");
  // The root's own initial value comes before the type's, and may read
  // variables registered before it.
  EXPECT_EQ(t.value("own"), "13");
  EXPECT_EQ(t.value("name"), "PT-100");
  for (const char* v : {"both", "fallback", "own", "name", "two", "nested"}) EXPECT_EQ(t.status(v), "Initial value");
  // A tag anywhere in the tree asks for a value that the type must then give.
  EXPECT_THAT(t.errors(), ElementsAre("Error: The value of 'initial value' isn't correct",
                                      "Error: The value of 'initial value' isn't correct"));
}

TEST(VariableRegistration, VariablesThatDoNotFitAreNotStored) {
  std::ostringstream d;
  d << "list 0\n";
  d << "  variable\n    identifier \"big\"\n    type\n      text-string\n        integer-constant 1000\n";
  d << "  variable\n    identifier \"huge\"\n    type\n      text-string\n        integer-constant 4294967295\n";
  for (int i = 0; i < 1030; ++i) d << "  variable\n    identifier \"v" << i << "\"\n    type\n      integer\n";
  ModelHarness t;
  ASSERT_TRUE(t.load(d.str()));
  // "huge" does not fit the value memory, but the one-byte variables after
  // it do, until the table is full; each message is shown once.
  EXPECT_THAT(t.takeErrors(), ElementsAre("Error: RAM overflow!", "Error: Symbol table overflow!"));
  EXPECT_EQ(t.session.symbols().count(), 1024);
  EXPECT_EQ(t.session.symbols().used(), 2023u);
  EXPECT_EQ(t.value("v1022"), "0");
  EXPECT_EQ(t.value("v1023"), "<no variable>");
  EXPECT_EQ(t.value("huge"), "<no variable>");
  EXPECT_THAT(t.errors(), ElementsAre("Error: Cannot find the variable v1023 in symbol table!",
                                      "Error: Cannot find the variable huge in symbol table!"));
}

TEST(VariableRegistration, UnusualTypesAreRegisteredWithOneByte) {
  ModelHarness t;
  ASSERT_TRUE(t.load(R"(
    list 0
      variable
        identifier "index"
        type
          index
      variable
        identifier "typeless"
      variable
        identifier "next"
        type
          integer
            integer-constant 2
  )"));
  EXPECT_THAT(t.takeErrors(), ElementsAre("Error: The type of EDDL variable isn't processed!",
                                          "Error: The type of EDDL variable isn't processed!"));
  EXPECT_EQ(t.entry("index")->size, 1u);
  EXPECT_EQ(t.entry("next")->address, 2u);
  EXPECT_EQ(t.value("index"), "The variable type is error in EDDL!");
  EXPECT_EQ(t.vars().value(t.id("index"))->type, 5);
}

}  // namespace
}  // namespace tavrin::model::testing
