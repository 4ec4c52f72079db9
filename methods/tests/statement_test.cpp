// Method bodies written as trees, compiled and run: statements, loops,
// switch, declarations and arrays.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"

namespace tavrin::methods::testing {
namespace {

// A declaration list of locals of one type: declare("int", "i n").
std::string declare(std::string_view specifiers, std::string_view names) {
  std::string s = "(declaration-list (declaration (specifier-list";
  std::string_view rest = specifiers;
  while (!rest.empty()) {
    const auto space = rest.find(' ');
    s += " (" + std::string(rest.substr(0, space)) + ")";
    rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
  }
  s += ")";
  rest = names;
  while (!rest.empty()) {
    const auto space = rest.find(' ');
    s += " (declarator (identifier " + std::string(rest.substr(0, space)) + "))";
    rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
  }
  return s + "))";
}

class StatementTest : public EngineTest {
 protected:
  void SetUp() override {
    variable("out", Entry::ofInt(0));
    variable("log", Entry::ofInt(0));
  }
  std::vector<std::string> outputs() const { return model.assignments(); }
};

TEST_F(StatementTest, ContinueInAForSkipsTheStepExpression) {
  const std::string loop = R"(
    (for (expression (assign (identifier i) (integer-constant 0)))
         (expression (lt (identifier i) (integer-constant 3)))
         (expression (assign (identifier i) (add (identifier i) (integer-constant 10))))
         (compound (statement-list
           (expression (assign (identifier i) (add (identifier i) (integer-constant 1))))
           (expression (assign (identifier n) (add (identifier n) (integer-constant 1))))
           CONTINUE)))
    (expression (assign (identifier out) (identifier n))))";
  auto body = [&](std::string_view cont) {
    std::string l = loop;
    l.replace(l.find("CONTINUE"), 8, cont);
    return "(compound " + declare("int", "i n") + " (statement-list " + l + "))";
  };
  EXPECT_EQ(run(body("(continue)")), 1);
  EXPECT_EQ(show(var("out")), "int 3");  // the step never ran
  EXPECT_EQ(run(body("(empty)")), 1);
  EXPECT_EQ(show(var("out")), "int 1");  // the step ran once and ended the loop
  EXPECT_TRUE(errors().empty());
}

std::string switchBody(int selector, std::string_view labels) {
  return "(compound " + declare("int", "s c") +
         " (statement-list (expression (assign (identifier s) (integer-constant " + std::to_string(selector) +
         "))) (switch (expression (identifier s)) (compound (statement-list " + std::string(labels) +
         "))) (expression (assign (identifier out) (identifier c)))))";
}

TEST_F(StatementTest, SwitchTestsLabelsInOrderAndADefaultEndsTheTests) {
  const std::string labels = R"(
    (case (sub (integer-constant 10) (integer-constant 2))
      (expression (assign (identifier c) (integer-constant 1))))
    (break)
    (case (integer-constant 3) (expression (assign (identifier c) (integer-constant 3)))))";
  EXPECT_EQ(run(switchBody(8, labels)), 1);
  EXPECT_EQ(run(switchBody(3, labels)), 1);
  EXPECT_EQ(run(switchBody(5, labels)), 1);  // no match and no default: nothing of the body runs
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 1", "out = int 3", "out = int 0"}));

  // A default before a case: the case is never tested. After the default's
  // first statement control leaves the switch.
  const std::string defaultFirst = R"(
    (default (expression (assign (identifier c) (add (identifier c) (integer-constant 10)))))
    (expression (assign (identifier c) (add (identifier c) (integer-constant 100))))
    (case (integer-constant 8) (expression (assign (identifier c) (add (identifier c) (integer-constant 1))))))";
  EXPECT_EQ(run(switchBody(8, defaultFirst)), 1);
  EXPECT_EQ(show(var("out")), "int 10");
  // Without break, a case falls through into the next label's statement.
  const std::string fallThrough = R"(
    (case (integer-constant 1) (expression (assign (identifier c) (add (identifier c) (integer-constant 1)))))
    (case (integer-constant 2) (expression (assign (identifier c) (add (identifier c) (integer-constant 2))))))";
  EXPECT_EQ(run(switchBody(1, fallThrough)), 1);
  EXPECT_EQ(show(var("out")), "int 3");
  EXPECT_TRUE(errors().empty());
}

TEST_F(StatementTest, PostfixLeavesTheOldValuePrefixTheNewOne) {
  EXPECT_EQ(run("(compound " + declare("int", "x") + R"( (statement-list
    (expression (assign (identifier x) (integer-constant 5)))
    (expression (assign (identifier out) (post-inc (identifier x))))
    (expression (assign (identifier out) (identifier x)))
    (expression (assign (identifier out) (pre-inc (identifier x))))
    (expression (assign (identifier out) (identifier x)))
    (expression (assign (identifier out) (post-dec (identifier x))))
    (expression (assign (identifier out) (pre-dec (identifier x)))))))"),
            1);
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 5", "out = int 6", "out = int 7", "out = int 7",
                                                 "out = int 7", "out = int 5"}));
}

TEST_F(StatementTest, IfWhileAndDoLoops) {
  EXPECT_EQ(run("(compound " + declare("int", "n") + R"( (statement-list
    (while (expression (lt (identifier n) (integer-constant 4)))
      (expression (assign (identifier n) (add (identifier n) (integer-constant 1)))))
    (expression (assign (identifier out) (identifier n)))
    (while (expression (integer-constant 0))
      (expression (assign (identifier n) (integer-constant 100))))
    (do (expression (assign (identifier n) (add (identifier n) (integer-constant 10))))
        (while)
        (expression (integer-constant 0)))
    (expression (assign (identifier out) (identifier n)))
    (if (expression (eq (identifier n) (integer-constant 14)))
        (expression (assign (identifier out) (integer-constant 1)))
        (expression (assign (identifier out) (integer-constant 2))))
    (if (expression (integer-constant 0))
        (expression (assign (identifier out) (integer-constant 3))))
    (if (expression (integer-constant 0))
        (expression (assign (identifier out) (integer-constant 4)))
        (expression (assign (identifier out) (integer-constant 5)))))))"),
            1);
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 4", "out = int 14", "out = int 1", "out = int 5"}));
  EXPECT_TRUE(errors().empty());
}

TEST_F(StatementTest, BreakLeavesTheInnermostLoopAndContinueInADoRestartsTheBody) {
  EXPECT_EQ(run("(compound " + declare("int", "i j n") + R"( (statement-list
    (for (expression (assign (identifier i) (integer-constant 0)))
         (empty)
         (expression (post-inc (identifier i)))
         (compound (statement-list
           (if (expression (eq (identifier i) (integer-constant 3))) (break))
           (expression (assign (identifier j) (integer-constant 0)))
           (while (expression (integer-constant 1))
             (compound (statement-list
               (if (expression (ge (identifier j) (identifier i))) (break))
               (expression (post-inc (identifier j)))
               (expression (post-inc (identifier n)))))))))
    (expression (assign (identifier out) (identifier n)))
    (do (compound (statement-list
          (expression (post-inc (identifier n)))
          (if (expression (lt (identifier n) (integer-constant 10))) (continue))
          (expression (assign (identifier out) (identifier n)))))
        (while)
        (expression (integer-constant 0))))))"),
            1);
  // 0 + 1 + 2 inner passes, then the do body runs until n reaches 10.
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 3", "out = int 10"}));
  EXPECT_TRUE(errors().empty());
}

// Each statement runs between a marker and a POT; a continue out of an if
// must not leave the if's marker behind, or a long loop fills the stack.
TEST_F(StatementTest, JumpsOutOfNestedStatementsLeaveTheStackClean) {
  std::vector<int32_t> depths;
  probe = [&] {
    depths.push_back(engine.stack().depth());
    if (depths.back() > 10) engine.requestStop();  // leaking: end the loop rather than hang
  };
  EXPECT_EQ(run("(compound " + declare("int", "i") + R"( (statement-list
    (while (expression (lt (identifier i) (integer-constant 5000)))
      (compound (statement-list
        (expression (post-inc (identifier i)))
        (expression (call (identifier BeginWaitCursor)))
        (if (expression (integer-constant 1))
          (compound (statement-list
            (if (expression (integer-constant 1)) (continue))))))))
    (while (expression (integer-constant 1))
      (if (expression (integer-constant 1))
        (compound (statement-list
          (switch (expression (integer-constant 2))
            (compound (statement-list (case (integer-constant 2) (break)))))
          (break)))))
    (expression (call (identifier BeginWaitCursor)))
    (expression (assign (identifier out) (identifier i))))))"),
            1);
  EXPECT_EQ(show(var("out")), "int 5000");
  ASSERT_EQ(depths.size(), 5001u);
  // In the loop: the loop's marker and the call statement's; after it: the call's.
  EXPECT_EQ(std::count(depths.begin(), depths.end(), 2), 5000);
  EXPECT_EQ(depths.back(), 1);
  EXPECT_TRUE(errors().empty());
}

TEST_F(StatementTest, ContinueInsideASwitchContinuesTheEnclosingLoop) {
  EXPECT_EQ(run("(compound " + declare("int", "i n") + R"( (statement-list
    (while (expression (lt (identifier i) (integer-constant 3)))
      (compound (statement-list
        (expression (post-inc (identifier i)))
        (switch (expression (identifier i))
          (compound (statement-list (case (integer-constant 1) (continue)))))
        (expression (post-inc (identifier n))))))
    (expression (assign (identifier out) (identifier n))))))"),
            1);
  EXPECT_EQ(show(var("out")), "int 2");
}

TEST_F(StatementTest, JumpsOutsideAnyLoopAreRefusedAndTheRestRuns) {
  EXPECT_EQ(run(R"((compound (statement-list
    (break)
    (continue)
    (switch (expression (integer-constant 1)) (compound (statement-list (continue))))
    (case (integer-constant 1) (expression (assign (identifier out) (integer-constant 1))))
    (default (expression (assign (identifier log) (integer-constant 2))))
    (jump)
    (expression (conditional (integer-constant 1) (integer-constant 2) (integer-constant 3)))
    (expression (dictionary))
    (expression (integer-constant 1) (1000))
    (1000)
    (expression (assign (identifier out) (integer-constant 7))))))"),
            1);
  EXPECT_EQ(errors(), (std::vector<std::string>{
                          "Error: The break statement is outside a loop or switch!",
                          "Error: The continue statement is outside a loop!",
                          "Error: The continue statement is outside a loop!",
                          "Error: The case label is outside a switch statement!",
                          "Error: The case label is outside a switch statement!",
                          "Error: The program doesn't process ternay expression!",
                          "Error: The program doesn't process ternay expression!",
                          "Error: T_C_DICTIONARY tag error!",
                          "Error: Unknown flag!",
                          "Error: c_statement tag error!",
                      }));
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 1", "log = int 2", "out = int 7"}));
}

// n statements nested: while (1) { while (1) { ... inner ... break; } break; }
std::string nestedLoops(int n, const std::string& inner) {
  std::string s = inner;
  for (int i = 0; i < n; ++i) {
    s = "(while (expression (integer-constant 1)) (compound (statement-list " + s + " (break))))";
  }
  return s;
}

TEST_F(StatementTest, ThirtyTwoOpenLoopsOrSwitchesAreTheLimit) {
  const std::string assign = "(expression (post-inc (identifier n)))";
  const std::string innerSwitch =
      "(switch (expression (integer-constant 1)) (compound (statement-list (case (integer-constant 1) " + assign +
      "))))";
  EXPECT_EQ(run("(compound " + declare("int", "n") + " (statement-list " + nestedLoops(31, innerSwitch) + " " +
                nestedLoops(32, innerSwitch) + " " + nestedLoops(32, nestedLoops(1, assign)) + " " +
                nestedLoops(32, assign) + " (expression (assign (identifier out) (identifier n)))))"),
            1);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The switch nesting depth in method is overflow!",
                                                "Error: The loop nesting depth in method is overflow!"}));
  EXPECT_EQ(show(var("out")), "int 2");
}

TEST_F(StatementTest, ASwitchTakesAtMost256Labels) {
  std::string labels;
  for (int i = 1; i <= 257; ++i) {
    labels += "(case (integer-constant " + std::to_string(i) + ") (expression (assign (identifier c) (integer-constant " +
              std::to_string(i) + "))))(break)";
  }
  EXPECT_EQ(run(switchBody(256, labels)), 1);
  EXPECT_EQ(run(switchBody(257, labels)), 1);
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 256", "out = int 0"}));
  EXPECT_EQ(errors(), std::vector<std::string>(2, "Error: The case labels of switch statement are overflow!"));
}

TEST_F(StatementTest, DeclarationsTypesAndZeroFilledLocals) {
  EXPECT_EQ(run(R"((compound
    (declaration-list
      (declaration (specifier-list (unsigned) (char)) (declarator (identifier uc)))
      (declaration (specifier-list (char)) (declarator (identifier ch)))
      (declaration (specifier-list (unsigned) (short)) (declarator (identifier us)))
      (declaration (specifier-list (long)) (declarator (identifier l)))
      (declaration (specifier-list (unsigned)) (declarator (identifier u)))
      (declaration (specifier-list (float)) (declarator (identifier f)))
      (declaration (specifier-list (double)) (declarator (identifier d)))
      (declaration (specifier-list (signed)) (declarator (identifier si)))
      (declaration (specifier-list (identifier x)) (declarator (identifier bad)))
      (declaration (specifier-list (int)) (declarator (identifier x)) (declarator (identifier x))))
    (statement-list
      (expression (assign (identifier out) (add (identifier f) (identifier d))))
      (expression (assign (identifier out) (identifier si)))
      (expression (assign (identifier uc) (integer-constant 200)))
      (expression (assign (identifier out) (add (identifier uc) (identifier uc))))
      (expression (assign (identifier ch) (integer-constant 100)))
      (expression (assign (identifier out) (add (identifier ch) (identifier ch))))
      (expression (assign (identifier us) (integer-constant -1)))
      (expression (assign (identifier out) (identifier us)))
      (expression (assign (identifier u) (sub (integer-constant 0) (integer-constant 1))))
      (expression (assign (identifier out) (gt (identifier u) (identifier l))))
      (expression (assign (identifier out) (gt (identifier l) (integer-constant -1))))
      (expression (assign (identifier f) (integer-constant 7)))
      (expression (assign (identifier out) (div (identifier f) (integer-constant 2))))
      (expression (assign (identifier out) (assign (identifier x) (float-constant 3.75))))
      (expression (call (identifier BeginWaitCursor))))))"),
            1);
  EXPECT_EQ(outputs(), (std::vector<std::string>{
                           "out = double 0", "out = int 0", "out = uchar 144", "out = char -56", "out = ushort 65535",
                           "out = int 1",  // unsigned comparison: 4294967295 > 0
                           "out = int 1", "out = float 3.5", "out = int 3"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The data type error!"}));
}

TEST_F(StatementTest, ADuplicateDeclarationAddsAnEntryButUsesFindTheFirst) {
  probe = [&] {
    const SymbolTable& s = engine.symbols();
    ASSERT_EQ(s.count(), 2);
    EXPECT_EQ(s[0].name, "x");
    EXPECT_EQ(s[1].name, "x");
    EXPECT_EQ(show(loadValue(s[0].bytes(), s[0].type)), "int 5");
    EXPECT_EQ(show(loadValue(s[1].bytes(), s[1].type)), "int 0");
  };
  EXPECT_EQ(run("(compound " + declare("int", "x x") + R"( (statement-list
    (expression (assign (identifier x) (integer-constant 5)))
    (expression (call (identifier BeginWaitCursor))))))"),
            1);
}

TEST_F(StatementTest, AFourDimensionalArrayIsStoredRowMajor) {
  probe = [&] {
    const Symbol& a = engine.symbols()[0];
    EXPECT_TRUE(a.isArray);
    EXPECT_EQ(a.size, 480);
    EXPECT_EQ(a.dimensionCount, 4);
    EXPECT_EQ(show(loadValue(a.bytes().subspan(119 * 4), a.type)), "int 77");
  };
  EXPECT_EQ(run(R"((compound
    (declaration-list (declaration (specifier-list (int))
      (array-declarator (identifier a) (integer-constant 2) (integer-constant 3) (integer-constant 4)
                        (integer-constant 5))))
    (statement-list
      (expression (assign
        (subscript (subscript (subscript (subscript (identifier a) (integer-constant 1)) (integer-constant 2))
                              (integer-constant 3)) (integer-constant 4))
        (integer-constant 77)))
      (expression (call (identifier BeginWaitCursor)))
      (expression (assign (identifier out)
        (subscript (subscript (subscript (subscript (identifier a) (integer-constant 1)) (integer-constant 2))
                              (integer-constant 3)) (integer-constant 4))))
      (expression (assign (identifier out)
        (subscript (subscript (subscript (subscript (identifier a) (integer-constant 1)) (integer-constant 2))
                              (integer-constant 3)) (integer-constant 3)))))))"),
            1);
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 77", "out = int 0"}));
  EXPECT_TRUE(errors().empty());
}

TEST_F(StatementTest, ArrayAccessStaysInsideTheArray) {
  EXPECT_EQ(run(R"((compound
    (declaration-list
      (declaration (specifier-list (short)) (array-declarator (identifier a) (integer-constant 3)))
      (declaration (specifier-list (int)) (declarator (identifier x))))
    (statement-list
      (expression (assign (subscript (identifier a) (integer-constant 2)) (integer-constant 9)))
      (expression (assign (subscript (identifier a) (integer-constant 3)) (integer-constant 1)))
      (expression (assign (subscript (identifier a) (integer-constant -1)) (integer-constant 1)))
      (expression (assign (identifier out) (subscript (identifier a) (integer-constant 3))))
      (expression (assign (identifier out) (subscript (identifier x) (integer-constant 1))))
      (expression (assign (identifier out) (subscript (identifier a) (integer-constant 2)))))))"),
            1);
  EXPECT_EQ(errors(), (std::vector<std::string>{
                          "Error: The address is outside the variable!", "Assignment statement tag error!",
                          "Error: The address is outside the variable!", "Assignment statement tag error!",
                          "Error: The address is outside the variable!", "tag1 = 0 & tag2 = 2, match failed!",
                          "Error: The address is outside the variable!", "tag1 = 0 & tag2 = 2, match failed!"}));
  EXPECT_EQ(outputs(), (std::vector<std::string>{"out = int 0", "out = int 0", "out = short 9"}));
}

TEST_F(StatementTest, ArrayDeclarationsOutsideTheLimitsAreDropped) {
  auto array = [](std::string_view type, std::string_view dims) {
    return "(declaration (specifier-list (" + std::string(type) + ")) (array-declarator (identifier a) " +
           std::string(dims) + "))";
  };
  probe = [&] {
    ASSERT_EQ(engine.symbols().count(), 2);
    EXPECT_EQ(engine.symbols()[0].size, 65535);
    EXPECT_EQ(engine.symbols()[1].size, 60);
  };
  EXPECT_EQ(run("(compound (declaration-list " + array("char", "(integer-constant 65535)") + " " +
                array("char", "(integer-constant 65536)") + " " + array("int", "(integer-constant 16384)") + " " +
                array("int", "(integer-constant 0)") + " " + array("int", "(integer-constant 2) (integer-constant -3)") +
                " " + array("int", "(empty)") + " " +
                array("int", "(integer-constant 1) (integer-constant 1) (integer-constant 1) (integer-constant 1) "
                             "(integer-constant 1)") +
                " " + array("char", "(mul (integer-constant 3) (integer-constant 4)) (float-constant 5.9)") +
                ") (statement-list (expression (call (identifier BeginWaitCursor)))))"),
            1);
  EXPECT_EQ(errors(), (std::vector<std::string>{
                          "Error: The size of the array is out of range!", "Error: The size of the array is out of range!",
                          "Error: The size of the array is out of range!", "Error: The size of the array is out of range!",
                          "Error: The size of the array is out of range!",
                          "Error: The current array does not support an array of more than 4 dimensions!"}));
}

TEST_F(StatementTest, ConstantExpressionsWrapAndRefuseDivisionByZero) {
  EXPECT_EQ(engine.compileTimeConstant(trees.parse("(sub (integer-constant 10) (integer-constant 2))")), 8);
  EXPECT_EQ(engine.compileTimeConstant(trees.parse("(mod (integer-constant -7) (integer-constant 3))")), -1);
  EXPECT_EQ(engine.compileTimeConstant(trees.parse("(float-constant -2.9)")), -2);
  EXPECT_EQ(engine.compileTimeConstant(trees.parse("(mul (integer-constant 65536) (integer-constant 65536))")), 0);
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(engine.compileTimeConstant(trees.parse("(div (integer-constant 1) (integer-constant 0))")), 0);
  EXPECT_EQ(engine.compileTimeConstant(trees.parse("(mod (integer-constant 1) (integer-constant 0))")), 0);
  EXPECT_EQ(engine.compileTimeConstant(
                trees.parse("(div (integer-constant -2147483648) (integer-constant -1))")),
            0);
  EXPECT_EQ(engine.compileTimeConstant(trees.parse("(negate (integer-constant 1))")), 0);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Integer division by zero!", "Error: Integer division by zero!",
                                                "Error: Integer division overflow!", "Error: Operator error!"}));
}

}  // namespace
}  // namespace tavrin::methods::testing
