// The machine on code written by operation number, so that a wrong number in
// the operation list shows up as a wrong result.
#include <gtest/gtest.h>

#include <bit>
#include <climits>

#include "engine_fixture.h"

namespace tavrin::methods::testing {
namespace {

int32_t floatBits(float f) { return std::bit_cast<int32_t>(f); }

class MachineTest : public EngineTest {
 protected:
  struct Outcome {
    int32_t status = 0;
    std::vector<std::string> stack;  // what the code left, bottom first
  };
  Outcome exec(const std::vector<Instruction>& code) {
    const int32_t start = engine.program().next();
    for (const Instruction& i : code) engine.program().append(i);
    const int32_t depth = engine.stack().depth();
    Outcome o;
    o.status = engine.run(start, engine.program().next());
    for (int32_t i = depth; i < engine.stack().depth(); ++i) o.stack.push_back(show(*engine.stack().at(i)));
    engine.stack().setDepth(depth);
    engine.program().cutBack(start);
    return o;
  }
  std::string top(const std::vector<Instruction>& code) {
    const Outcome o = exec(code);
    return o.stack.empty() ? "nothing" : o.stack.back();
  }
};

TEST_F(MachineTest, BinaryOperationsByNumber) {
  struct Case {
    int32_t op;
    int32_t left, right;
    const char* result;
  };
  const Case cases[] = {
      {7, 13, 3, "int 10"},    {8, 13, 3, "int 16"},   {9, 13, 3, "int 39"},   {10, 13, 3, "int 4"},
      {11, 13, 3, "int 1"},    {16, 13, 3, "uint 104"}, {17, 13, 3, "uint 1"},  {18, 13, 3, "uint 0"},
      {18, 3, 13, "uint 1"},   {19, 13, 3, "int 1"},   {20, 13, 3, "int 0"},   {20, 3, 3, "int 1"},
      {21, 13, 3, "int 1"},    {21, 3, 13, "int 0"},   {22, 13, 3, "int 0"},   {22, 3, 3, "int 1"},
      {23, 13, 3, "int 1"},    {24, 13, 3, "int 1"},   {25, 13, 3, "int 14"},  {26, 13, 3, "int 15"},
      {27, 0, 3, "int 0"},     {27, 13, 3, "int 1"},   {28, 0, 3, "int 1"},    {28, 0, 0, "int 0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(top({{4, c.left}, {4, c.right}, {c.op, 0}}), c.result)
        << mnemonic(c.op) << ' ' << c.left << ' ' << c.right;
  }
  EXPECT_TRUE(errors().empty());
}

TEST_F(MachineTest, UnaryOperationsLoadsAndStackOperationsByNumber) {
  EXPECT_EQ(top({{4, 5}, {12, 0}}), "int 6");
  EXPECT_EQ(top({{4, 5}, {13, 0}}), "int 4");
  EXPECT_EQ(top({{4, 5}, {30, 0}}), "int 5");
  EXPECT_EQ(top({{4, 5}, {31, 0}}), "int -5");
  EXPECT_EQ(top({{4, 5}, {32, 0}}), "int -6");
  EXPECT_EQ(top({{4, 5}, {33, 0}}), "int 0");
  EXPECT_EQ(top({{4, 0}, {33, 0}}), "int 1");
  EXPECT_EQ(top({{5, floatBits(1.5f)}}), "float 1.5");
  EXPECT_EQ(top({{6, 7}}), "kind 4 uint 7");
  EXPECT_EQ(exec({{4, 5}, {29, 0}}).stack, (std::vector<std::string>{"int 5", "int 5"}));
  EXPECT_EQ(exec({{4, 5}, {4, 6}, {37, 0}}).stack, (std::vector<std::string>{"int 5"}));
  EXPECT_EQ(exec({{4, 1}, {40, 0}, {4, 2}}).stack, (std::vector<std::string>{"int 1", "kind 5 int 0", "int 2"}));
}

TEST_F(MachineTest, JumpsAndHalt) {
  // JMP over one load; JZ taken on 0 and not on 1; JNZ the other way round.
  EXPECT_EQ(exec({{34, 2}, {4, 1}, {4, 2}}).stack, (std::vector<std::string>{"int 2"}));
  EXPECT_EQ(exec({{4, 0}, {35, 3}, {4, 1}, {4, 2}}).stack, (std::vector<std::string>{"int 2"}));
  EXPECT_EQ(exec({{4, 1}, {35, 3}, {4, 1}, {4, 2}}).stack, (std::vector<std::string>{"int 1", "int 2"}));
  EXPECT_EQ(exec({{4, 7}, {36, 3}, {4, 1}, {4, 2}}).stack, (std::vector<std::string>{"int 2"}));
  EXPECT_EQ(exec({{4, 0}, {36, 3}, {4, 1}, {4, 2}}).stack, (std::vector<std::string>{"int 1", "int 2"}));
  // JZ converts to int: 0.5 counts as 0.
  EXPECT_EQ(exec({{5, floatBits(0.5f)}, {35, 3}, {4, 1}, {4, 2}}).stack, (std::vector<std::string>{"int 2"}));
  EXPECT_EQ(exec({{4, 1}, {42, 0}, {4, 2}}).stack, (std::vector<std::string>{"int 1"}));
  EXPECT_TRUE(errors().empty());
}

TEST_F(MachineTest, ThePartsArithmeticEdgeCases) {
  EXPECT_EQ(top({{4, 7}, {4, 2}, {10, 0}}), "int 3");
  EXPECT_EQ(top({{4, 7}, {5, floatBits(2.0f)}, {10, 0}}), "float 3.5");  // the int is promoted
  EXPECT_EQ(top({{4, -5}, {4, 1}, {17, 0}}), "uint 4294967293");         // arithmetic, typed unsigned
  EXPECT_EQ(top({{4, 1}, {4, 2}, {18, 0}}), "uint 1");                   // LEFT is typed 5
  EXPECT_EQ(top({{4, 2}, {4, 1}, {19, 0}}), "int 1");                    // RIGHT is typed 4
  EXPECT_EQ(top({{5, floatBits(2.5f)}, {33, 0}}), "float 0");
  EXPECT_EQ(top({{5, floatBits(0.0f)}, {33, 0}}), "float 1");
  EXPECT_EQ(top({{5, floatBits(2.5f)}, {31, 0}}), "float -2.5");
  EXPECT_EQ(top({{5, floatBits(0.25f)}, {4, 0}, {28, 0}}), "int 1");  // a float counts as zero only at 0.0
  EXPECT_EQ(top({{4, INT_MIN}, {31, 0}}), "int -2147483648");
  EXPECT_EQ(top({{4, INT_MAX}, {4, 1}, {8, 0}}), "int -2147483648");
  EXPECT_EQ(top({{4, 65536}, {4, 65536}, {9, 0}}), "int 0");
  EXPECT_EQ(top({{4, -7}, {4, 2}, {11, 0}}), "int -1");
  EXPECT_EQ(top({{4, 1}, {4, 33}, {16, 0}}), "uint 2");  // shift counts are taken mod 32
  EXPECT_TRUE(errors().empty());
}

TEST_F(MachineTest, IntegerDivisionByZeroAndOverflowGiveZeroWithAnError) {
  EXPECT_EQ(top({{4, 7}, {4, 0}, {10, 0}}), "int 0");
  EXPECT_EQ(top({{4, 7}, {4, 0}, {11, 0}}), "int 0");
  EXPECT_EQ(top({{4, INT_MIN}, {4, -1}, {10, 0}}), "int 0");
  EXPECT_EQ(top({{4, INT_MIN}, {4, -1}, {11, 0}}), "int 0");
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Integer division by zero!", "Error: Integer division by zero!",
                                                "Error: Integer division overflow!",
                                                "Error: Integer division overflow!"}));
  ui.clearRecord();
  EXPECT_EQ(top({{5, floatBits(1.0f)}, {4, 0}, {10, 0}}), "float inf");  // floats follow IEEE
  EXPECT_TRUE(errors().empty());
}

TEST_F(MachineTest, BitOperationsOnFloatsAreRefused) {
  EXPECT_EQ(top({{5, floatBits(2.5f)}, {4, 1}, {11, 0}}), "float 0");
  EXPECT_EQ(top({{5, floatBits(2.5f)}, {4, 1}, {16, 0}}), "uint 0");
  EXPECT_EQ(top({{5, floatBits(2.5f)}, {12, 0}}), "float 2.5");
  EXPECT_EQ(top({{5, floatBits(2.5f)}, {32, 0}}), "float 2.5");
  EXPECT_EQ(errors(), std::vector<std::string>(4, "Error: Undefined variable type!"));
}

TEST_F(MachineTest, AnOperationCodeAbove42EndsTheRunWithMinusOne) {
  for (const int32_t code : {43, 1000, -1}) {
    ui.clearRecord();
    const Outcome o = exec({{4, 1}, {code, 0}, {4, 2}});
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.stack, (std::vector<std::string>{"int 1"}));
    EXPECT_EQ(errors(), (std::vector<std::string>{"Error: the operator tag has not been processed!"}));
  }
}

TEST_F(MachineTest, PotRemovesUpToTheNearestMarkerAndNothingWithoutOne) {
  EXPECT_EQ(exec({{4, 1}, {40, 0}, {4, 2}, {40, 0}, {4, 3}, {41, 0}}).stack,
            (std::vector<std::string>{"int 1", "kind 5 int 0", "int 2"}));
  EXPECT_EQ(exec({{4, 1}, {40, 0}, {4, 2}, {40, 0}, {4, 3}, {41, 0}, {41, 0}}).stack,
            (std::vector<std::string>{"int 1"}));
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(exec({{4, 1}, {4, 2}, {41, 0}}).stack, (std::vector<std::string>{"int 1", "int 2"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: No statement marker on the stack!"}));
}

TEST_F(MachineTest, ARunCannotPopWhatItsCallerLeftOnTheStack) {
  engine.stack().push(Entry::marker());
  engine.stack().push(Entry::ofInt(42));
  EXPECT_EQ(exec({{37, 0}, {41, 0}, {8, 0}}).stack, (std::vector<std::string>{"int 0"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Stack lower range overflow!", "Error: No statement marker on the stack!",
                                                "Error: Stack lower range overflow!", "Error: Stack lower range overflow!"}));
  EXPECT_EQ(engine.stack().depth(), 2);
  EXPECT_EQ(show(engine.stack().pop()), "int 42");
}

TEST_F(MachineTest, JumpsLeaveNeitherTheirOwnCode) {
  EXPECT_EQ(exec({{34, 5000}, {4, 1}}).status, -1);
  engine.program().append({4, 9});  // someone else's code before ours
  EXPECT_EQ(exec({{4, 0}, {35, 0}}).status, -1);
  EXPECT_EQ(errors(), std::vector<std::string>(2, "Error: The jump target is outside the program!"));
}

TEST_F(MachineTest, BuiltinsAreCalledThroughTheTableAndTheirStatusCounts) {
  std::vector<int32_t> seen;
  engine.builtins().add(BuiltinId::VARID, [&](MethodEngine& e) {
    seen.push_back(popValue(e).word());
    e.stack().push(Entry::ofUnsigned(77));
    return 5;
  });
  engine.builtins().add(BuiltinId::abort, [](MethodEngine&) { return -2; });
  engine.builtins().add(BuiltinId::DELAY_TIME, [](MethodEngine&) { return -1; });

  Outcome o = exec({{4, 3}, {38, 105}});
  EXPECT_EQ(o.status, 5);  // the last built-in's status is the run's
  EXPECT_EQ(o.stack, (std::vector<std::string>{"uint 77", "int 5"}));
  EXPECT_EQ(seen, std::vector<int32_t>{3});

  EXPECT_EQ(exec({{38, 117}, {4, 1}}).status, -2);  // ends at once
  EXPECT_EQ(exec({{38, 120}, {4, 1}}).status, -1);
  EXPECT_TRUE(errors().empty());

  o = exec({{38, 99}, {38, 138}});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.stack, (std::vector<std::string>{"int 0", "int 0"}));
  EXPECT_EQ(errors(), std::vector<std::string>(2, "Error: The error function calls!"));

  ui.clearRecord();
  EXPECT_EQ(exec({{38, 108}, {4, 1}}).status, -1);
  EXPECT_EQ(exec({{38, 123}, {4, 1}}).status, -1);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The function 'PUT_MESSAGE' isn't available in this program!",
                                                "Error: The function '123' isn't available in this program!"}));
}

TEST_F(MachineTest, TheValueStackHoldsExactly4096Entries) {
  ValueStack& s = engine.stack();
  for (int i = 0; i < 4096; ++i) ASSERT_TRUE(s.push(Entry::ofInt(i)));
  EXPECT_FALSE(s.push(Entry::ofInt(4096)));
  EXPECT_NE(s.at(4095), nullptr);
  EXPECT_EQ(s.at(4096), nullptr);
  EXPECT_EQ(s.at(-1), nullptr);
  EXPECT_FALSE(s.setDepth(4097));
  EXPECT_TRUE(s.setDepth(0));
  EXPECT_EQ(show(s.pop()), "int 0");
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Stack upper range overflow!", "Error: Stack overflow!",
                                                "Error: Stack overflow!", "Error: Stack overflow!",
                                                "Error: Stack lower range overflow!"}));
}

TEST(BuiltinNamesTest, TableOrderNumbersAndCase) {
  EXPECT_EQ(findBuiltin("ReadCommand"), 100);
  EXPECT_EQ(findBuiltin("fassign"), 104);
  EXPECT_EQ(findBuiltin("fvar_value"), 103);
  EXPECT_EQ(findBuiltin("process_abort"), 124);
  EXPECT_EQ(findBuiltin("DELAY"), 118);
  EXPECT_EQ(findBuiltin("delay"), 119);
  EXPECT_EQ(findBuiltin("MY_GetCurrentTime"), 137);
  EXPECT_EQ(findBuiltin("Delay"), std::nullopt);
  EXPECT_EQ(findBuiltin("abort "), std::nullopt);
  EXPECT_EQ(builtinName(122), "add_abort_method");
  EXPECT_EQ(builtinName(123), "");
  // Every number from 100 to 137 but 123 has exactly one name.
  for (int32_t n = 100; n <= 137; ++n) {
    if (n == 123) continue;
    ASSERT_FALSE(builtinName(n).empty()) << n;
    EXPECT_EQ(findBuiltin(builtinName(n)), n);
  }
}

}  // namespace
}  // namespace tavrin::methods::testing
