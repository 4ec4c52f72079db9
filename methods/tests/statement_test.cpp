// Method bodies written as readable trees, compiled and run: statements,
// loops, switch, declarations and arrays.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"

namespace tavrin::methods::testing {
namespace {

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

using StatementTest = EngineTest;

// for (i = 0; i < 3; i = i + 10) { i = i + 1; n++; continue; }  out = n;
TEST_F(StatementTest, ContinueInAForSkipsTheStepExpression) {
  const std::string description = R"(
    list 0
      variable
        identifier "out"
    list 14
      method
        identifier "loop"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  int
                declarator
                  identifier "i"
                declarator
                  identifier "n"
            statement-list
              for
                expression
                  assign
                    identifier "i"
                    integer-constant 0
                expression
                  lt
                    identifier "i"
                    integer-constant 3
                expression
                  assign
                    identifier "i"
                    add
                      identifier "i"
                      integer-constant 10
                compound
                  statement-list
                    expression
                      assign
                        identifier "i"
                        add
                          identifier "i"
                          integer-constant 1
                    expression
                      post-inc
                        identifier "n"
                    continue
              expression
                assign
                  identifier "out"
                  identifier "n"
  )";
  load(description);
  EXPECT_EQ(run("loop"), 1);
  EXPECT_EQ(show(var("out")), "int 3");  // the step never ran
  load(replaced(description, "continue", "empty"));
  EXPECT_EQ(run("loop"), 1);
  EXPECT_EQ(show(var("out")), "int 1");  // the step ran once and ended the loop
  EXPECT_TRUE(errors().empty());
}

// s = sel; switch (s) { LABELS }  out = c;
constexpr const char* kSwitch = R"(
    list 0
      variable
        identifier "sel"
      variable
        identifier "out"
    list 14
      method
        identifier "switch"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  int
                declarator
                  identifier "s"
                declarator
                  identifier "c"
            statement-list
              expression
                assign
                  identifier "s"
                  identifier "sel"
              switch
                expression
                  identifier "s"
                compound
                  statement-list
LABELS
              expression
                assign
                  identifier "out"
                  identifier "c"
  )";

// The labels' lines go where LABELS stands, whatever the literal ends with.
std::string switchWith(std::string_view labels) {
  std::string lines(labels);
  lines.erase(lines.find_last_not_of(' ') + 1);
  return replaced(kSwitch, "LABELS\n", lines);
}

// case 10 - 2: c = 1; break; case 3: c = 3;
TEST_F(StatementTest, CaseLabelsAreConstantExpressionsTestedInOrder) {
  load(switchWith(R"(
                    case
                      sub
                        integer-constant 10
                        integer-constant 2
                      expression
                        assign
                          identifier "c"
                          integer-constant 1
                    break
                    case
                      integer-constant 3
                      expression
                        assign
                          identifier "c"
                          integer-constant 3
  )"));
  for (const int selector : {8, 3, 5}) {
    model.setVariable("sel", Entry::ofInt(selector));
    EXPECT_EQ(run("switch"), 1);
  }
  // 5 matches nothing and there is no default: nothing of the body ran.
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 1", "out = int 3", "out = int 0"}));
  EXPECT_TRUE(errors().empty());
}

// default: c = c + 10; c = c + 100; case 8: c = c + 1;
TEST_F(StatementTest, ADefaultBeforeACaseHidesItAndEndsTheSwitchAfterOneStatement) {
  load(switchWith(R"(
                    default
                      expression
                        add-assign
                          identifier "c"
                          integer-constant 10
                    expression
                      add-assign
                        identifier "c"
                        integer-constant 100
                    case
                      integer-constant 8
                      expression
                        add-assign
                          identifier "c"
                          integer-constant 1
  )"));
  model.setVariable("sel", Entry::ofInt(8));
  EXPECT_EQ(run("switch"), 1);
  EXPECT_EQ(show(var("out")), "int 10");
  EXPECT_TRUE(errors().empty());
}

// x = 5; out = x++; out = x; out = ++x; out = x; out = x--; out = --x;
TEST_F(StatementTest, PostfixLeavesTheOldValuePrefixTheNewOne) {
  load(R"(
    list 0
      variable
        identifier "out"
    list 14
      method
        identifier "steps"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  int
                declarator
                  identifier "x"
            statement-list
              expression
                assign
                  identifier "x"
                  integer-constant 5
              expression
                assign
                  identifier "out"
                  post-inc
                    identifier "x"
              expression
                assign
                  identifier "out"
                  identifier "x"
              expression
                assign
                  identifier "out"
                  pre-inc
                    identifier "x"
              expression
                assign
                  identifier "out"
                  identifier "x"
              expression
                assign
                  identifier "out"
                  post-dec
                    identifier "x"
              expression
                assign
                  identifier "out"
                  pre-dec
                    identifier "x"
  )");
  EXPECT_EQ(run("steps"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 5", "out = int 6", "out = int 7", "out = int 7",
                                                     "out = int 7", "out = int 5"}));
}

// int a[2][3][4][5]; a[1][2][3][4] = 77; out = a[1][2][3][4]; out = a[1][2][3][3];
TEST_F(StatementTest, AFourDimensionalArrayIsStoredRowMajor) {
  const std::string element = R"(
                  subscript
                    subscript
                      subscript
                        subscript
                          identifier "a"
                          integer-constant 1
                        integer-constant 2
                      integer-constant 3
                    integer-constant LAST
)";
  const std::string description = R"(
    list 0
      variable
        identifier "out"
    list 14
      method
        identifier "array"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  int
                array-declarator
                  identifier "a"
                  integer-constant 2
                  integer-constant 3
                  integer-constant 4
                  integer-constant 5
            statement-list
              expression
                assign
ELEMENT4
                  integer-constant 77
              expression
                call
                  identifier "BeginWaitCursor"
              expression
                assign
                  identifier "out"
ELEMENT4
              expression
                assign
                  identifier "out"
ELEMENT3
  )";
  load(replaced(replaced(description, "ELEMENT4\n", replaced(element, "LAST", "4").substr(1)), "ELEMENT3\n",
                replaced(element, "LAST", "3").substr(1)));
  probe = [&] {
    const Symbol& a = engine.symbols()[0];
    EXPECT_TRUE(a.isArray);
    EXPECT_EQ(a.size, 480);
    EXPECT_EQ(a.dimensionCount, 4);
    EXPECT_EQ(show(loadValue(a.bytes().subspan(119 * 4), a.type)), "int 77");  // element offset 119
  };
  EXPECT_EQ(run("array"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 77", "out = int 0"}));
  EXPECT_TRUE(errors().empty());
}

// while (n < 4) n++;  out = n;
// do n = n + 10; while (0);  out = n;
// if (n == 14) out = 1; else out = 2;  if (0) out = 3;
// for (i = 0; ; i++) { if (i == 3) break; j = 0; while (1) { if (j >= i) break; j++; n++; } }  out = n;
// do { n++; if (n < 20) continue; out = n; } while (0);
TEST_F(StatementTest, IfWhileDoAndForWithBreakAndContinue) {
  load(R"(
    list 0
      variable
        identifier "out"
    list 14
      method
        identifier "loops"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  int
                declarator
                  identifier "i"
                declarator
                  identifier "j"
                declarator
                  identifier "n"
            statement-list
              while
                expression
                  lt
                    identifier "n"
                    integer-constant 4
                expression
                  post-inc
                    identifier "n"
              expression
                assign
                  identifier "out"
                  identifier "n"
              do
                expression
                  add-assign
                    identifier "n"
                    integer-constant 10
                while
                expression
                  integer-constant 0
              expression
                assign
                  identifier "out"
                  identifier "n"
              if-statement
                expression
                  eq
                    identifier "n"
                    integer-constant 14
                expression
                  assign
                    identifier "out"
                    integer-constant 1
                expression
                  assign
                    identifier "out"
                    integer-constant 2
              if-statement
                expression
                  integer-constant 0
                expression
                  assign
                    identifier "out"
                    integer-constant 3
              for
                expression
                  assign
                    identifier "i"
                    integer-constant 0
                empty
                expression
                  post-inc
                    identifier "i"
                compound
                  statement-list
                    if-statement
                      expression
                        eq
                          identifier "i"
                          integer-constant 3
                      break
                    expression
                      assign
                        identifier "j"
                        integer-constant 0
                    while
                      expression
                        integer-constant 1
                      compound
                        statement-list
                          if-statement
                            expression
                              ge
                                identifier "j"
                                identifier "i"
                            break
                          expression
                            post-inc
                              identifier "j"
                          expression
                            post-inc
                              identifier "n"
              expression
                assign
                  identifier "out"
                  identifier "n"
              do
                compound
                  statement-list
                    expression
                      post-inc
                        identifier "n"
                    if-statement
                      expression
                        lt
                          identifier "n"
                          integer-constant 20
                      continue
                    expression
                      assign
                        identifier "out"
                        identifier "n"
                while
                expression
                  integer-constant 0
  )");
  EXPECT_EQ(run("loops"), 1);
  EXPECT_EQ(assignments(),
            (std::vector<std::string>{"out = int 4", "out = int 14", "out = int 1", "out = int 17", "out = int 20"}));
  EXPECT_TRUE(errors().empty());
}

// Every statement runs between a marker and a POT; a jump out of nested
// statements must not leave their markers behind, or a long loop fills the
// value stack. And continue inside a switch belongs to the loop around it.
//   while (i < 5000) { i++; BeginWaitCursor(); if (1) { if (1) continue; } }
//   while (1) { if (1) { switch (2) { case 2: break; } break; } }
//   BeginWaitCursor();  out = i;
//   while (k < 3) { k++; switch (k) { case 1: continue; } n++; }  out = n;
TEST_F(StatementTest, JumpsOutOfNestedStatementsLeaveTheStackClean) {
  load(R"(
    list 0
      variable
        identifier "out"
    list 14
      method
        identifier "jumps"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  int
                declarator
                  identifier "i"
                declarator
                  identifier "k"
                declarator
                  identifier "n"
            statement-list
              while
                expression
                  lt
                    identifier "i"
                    integer-constant 5000
                compound
                  statement-list
                    expression
                      post-inc
                        identifier "i"
                    expression
                      call
                        identifier "BeginWaitCursor"
                    if-statement
                      expression
                        integer-constant 1
                      if-statement
                        expression
                          integer-constant 1
                        continue
              while
                expression
                  integer-constant 1
                if-statement
                  expression
                    integer-constant 1
                  compound
                    statement-list
                      switch
                        expression
                          integer-constant 2
                        case
                          integer-constant 2
                          break
                      break
              expression
                call
                  identifier "BeginWaitCursor"
              expression
                assign
                  identifier "out"
                  identifier "i"
              while
                expression
                  lt
                    identifier "k"
                    integer-constant 3
                compound
                  statement-list
                    expression
                      post-inc
                        identifier "k"
                    switch
                      expression
                        identifier "k"
                      case
                        integer-constant 1
                        continue
                    expression
                      post-inc
                        identifier "n"
              expression
                assign
                  identifier "out"
                  identifier "n"
  )");
  std::vector<int32_t> depths;
  probe = [&] {
    depths.push_back(engine.stack().depth());
    if (depths.back() > 10) engine.requestStop();  // leaking: end the loop rather than hang
  };
  EXPECT_EQ(run("jumps"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 5000", "out = int 2"}));
  ASSERT_EQ(depths.size(), 5001u);
  // In the loop: the loop's marker and the call statement's; after it: the call's.
  EXPECT_EQ(std::count(depths.begin(), depths.end(), 2), 5000);
  EXPECT_EQ(depths.back(), 1);
  EXPECT_TRUE(errors().empty());
}

// break; continue; switch (1) continue;  case 1: out = 1;  default: log = 2;
// and statements and expressions the compiler refuses; then out = 7.
TEST_F(StatementTest, MisplacedJumpsAndRefusedConstructsAreReportedAndTheRestRuns) {
  load(R"(
    list 0
      variable
        identifier "out"
      variable
        identifier "log"
    list 14
      method
        identifier "odd"
        method-definition
          compound
            statement-list
              break
              continue
              switch
                expression
                  integer-constant 1
                continue
              case
                integer-constant 1
                expression
                  assign
                    identifier "out"
                    integer-constant 1
              default
                expression
                  assign
                    identifier "log"
                    integer-constant 2
              jump
              expression
                conditional
                  integer-constant 1
                  integer-constant 2
                  integer-constant 3
              expression
                dictionary
              expression
                integer-constant 1
                1000
              1000
              expression
                assign
                  identifier "out"
                  integer-constant 7
  )");
  EXPECT_EQ(run("odd"), 1);
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
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 1", "log = int 2", "out = int 7"}));
}

Tree statementList(std::vector<Tree> statements) { return {"compound", {{"statement-list", std::move(statements)}}}; }
Tree increment(std::string_view name) { return {"expression", {{"post-inc", {{"identifier \"" + std::string(name) + "\""}}}}}; }
Tree methodTree(std::string_view name, std::vector<Tree> statements) {
  return {"method",
          {{"identifier \"" + std::string(name) + "\""},
           {"method-definition",
            {{"compound",
              {{"declaration-list", {{"declaration", {{"specifier-list", {{"int"}}}, {"declarator", {{"identifier \"n\""}}}}}}},
               {"statement-list", std::move(statements)}}}}}}};
}
std::string withMethods(const std::vector<Tree>& methods) {
  std::string s = "list 0\n  variable\n    identifier \"out\"\nlist 14\n";
  for (const Tree& m : methods) s += m.render(1);
  return s;
}
Tree assignOut(Tree value) { return {"expression", {{"assign", {{"identifier \"out\""}, std::move(value)}}}}; }

// `levels` loops, each while (1) { ...; break; }, around `inner`.
Tree nestedLoops(int levels, Tree inner) {
  for (int i = 0; i < levels; ++i) {
    inner = {"while", {{"expression", {{"integer-constant 1"}}}, statementList({std::move(inner), {"break"}})}};
  }
  return inner;
}

TEST_F(StatementTest, ThirtyTwoOpenLoopsOrSwitchesAreTheLimit) {
  const Tree innerSwitch = {"switch", {{"expression", {{"integer-constant 1"}}}, {"case", {{"integer-constant 1"}, increment("n")}}}};
  load(withMethods({methodTree("deep", {nestedLoops(31, innerSwitch), nestedLoops(32, innerSwitch),
                                        nestedLoops(32, nestedLoops(1, increment("n"))),
                                        nestedLoops(32, increment("n")), assignOut({"identifier \"n\""})})}));
  EXPECT_EQ(run("deep"), 1);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The switch nesting depth in method is overflow!",
                                                "Error: The loop nesting depth in method is overflow!"}));
  EXPECT_EQ(show(var("out")), "int 2");  // what fitted ran
}

TEST_F(StatementTest, ASwitchTakesAtMost256Labels) {
  auto labels = [](int selector) {
    Tree body = statementList({});
    std::vector<Tree>& list = body.children[0].children;
    for (int i = 1; i <= 257; ++i) {
      list.push_back({"case", {{"integer-constant " + std::to_string(i)}, assignOut({"integer-constant " + std::to_string(i)})}});
      list.push_back({"break"});
    }
    return Tree{"switch", {{"expression", {{"integer-constant " + std::to_string(selector)}}}, std::move(body)}};
  };
  load(withMethods({methodTree("last", {labels(256)}), methodTree("dropped", {labels(257)})}));
  EXPECT_EQ(run("last"), 1);
  EXPECT_EQ(run("dropped"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 256"}));
  EXPECT_EQ(errors(), std::vector<std::string>(2, "Error: The case labels of switch statement are overflow!"));
}

// unsigned char uc; char ch; unsigned short us; long l; unsigned u; float f;
// double d; signed si; (bad) bad; int x, x;
TEST_F(StatementTest, DeclarationsTypesAndZeroFilledLocals) {
  load(R"(
    list 0
      variable
        identifier "out"
    list 14
      method
        identifier "types"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  unsigned
                  char
                declarator
                  identifier "uc"
              declaration
                specifier-list
                  char
                declarator
                  identifier "ch"
              declaration
                specifier-list
                  unsigned
                  short
                declarator
                  identifier "us"
              declaration
                specifier-list
                  long
                declarator
                  identifier "l"
              declaration
                specifier-list
                  unsigned
                declarator
                  identifier "u"
              declaration
                specifier-list
                  float-specifier
                declarator
                  identifier "f"
              declaration
                specifier-list
                  double-specifier
                declarator
                  identifier "d"
              declaration
                specifier-list
                  signed
                declarator
                  identifier "si"
              declaration
                specifier-list
                  identifier "bad"
                declarator
                  identifier "bad"
              declaration
                specifier-list
                  int
                declarator
                  identifier "x"
                declarator
                  identifier "x"
            statement-list
              expression
                assign
                  identifier "out"
                  add
                    identifier "f"
                    identifier "d"
              expression
                assign
                  identifier "out"
                  identifier "si"
              expression
                assign
                  identifier "uc"
                  integer-constant 200
              expression
                assign
                  identifier "out"
                  add
                    identifier "uc"
                    identifier "uc"
              expression
                assign
                  identifier "ch"
                  integer-constant 100
              expression
                assign
                  identifier "out"
                  add
                    identifier "ch"
                    identifier "ch"
              expression
                assign
                  identifier "us"
                  integer-constant -1
              expression
                assign
                  identifier "out"
                  identifier "us"
              expression
                assign
                  identifier "u"
                  sub
                    integer-constant 0
                    integer-constant 1
              expression
                assign
                  identifier "out"
                  gt
                    identifier "u"
                    identifier "l"
              expression
                assign
                  identifier "f"
                  integer-constant 7
              expression
                assign
                  identifier "out"
                  div
                    identifier "f"
                    integer-constant 2
              expression
                assign
                  identifier "out"
                  assign
                    identifier "x"
                    float-constant 3.75
              expression
                call
                  identifier "BeginWaitCursor"
  )");
  probe = [&] {
    // Both declarations of x exist; every use went to the first.
    const SymbolTable& s = engine.symbols();
    ASSERT_EQ(s.count(), 10);
    EXPECT_EQ(s[8].name, "x");
    EXPECT_EQ(s[9].name, "x");
    EXPECT_EQ(show(loadValue(s[8].bytes(), s[8].type)), "int 3");
    EXPECT_EQ(show(loadValue(s[9].bytes(), s[9].type)), "int 0");
  };
  EXPECT_EQ(run("types"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{
                               "out = double 0", "out = int 0",
                               "out = uchar 144",  // computed in 8 bits
                               "out = char -56", "out = ushort 65535",
                               "out = int 1",  // unsigned comparison: 4294967295 > 0
                               "out = float 3.5", "out = int 3"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The data type error!"}));
}

// short a[3]; int x;  a[2] = 9;  a[3] = 1;  a[-1] = 1;  out = a[3];  out = x[1];  out = a[2];
TEST_F(StatementTest, ArrayAccessStaysInsideTheArray) {
  load(R"(
    list 0
      variable
        identifier "out"
    list 14
      method
        identifier "bounds"
        method-definition
          compound
            declaration-list
              declaration
                specifier-list
                  short
                array-declarator
                  identifier "a"
                  integer-constant 3
              declaration
                specifier-list
                  int
                declarator
                  identifier "x"
            statement-list
              expression
                assign
                  subscript
                    identifier "a"
                    integer-constant 2
                  integer-constant 9
              expression
                assign
                  subscript
                    identifier "a"
                    integer-constant 3
                  integer-constant 1
              expression
                assign
                  subscript
                    identifier "a"
                    integer-constant -1
                  integer-constant 1
              expression
                assign
                  identifier "out"
                  subscript
                    identifier "a"
                    integer-constant 3
              expression
                assign
                  identifier "out"
                  subscript
                    identifier "x"
                    integer-constant 1
              expression
                assign
                  identifier "out"
                  subscript
                    identifier "a"
                    integer-constant 2
  )");
  EXPECT_EQ(run("bounds"), 1);
  EXPECT_EQ(errors(), (std::vector<std::string>{
                          "Error: The address is outside the variable!", "Assignment statement tag error!",
                          "Error: The address is outside the variable!", "Assignment statement tag error!",
                          "Error: The address is outside the variable!", "tag1 = 0 & tag2 = 2, match failed!",
                          "Error: The address is outside the variable!", "tag1 = 0 & tag2 = 2, match failed!"}));
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 0", "out = int 0", "out = short 9"}));
}

TEST_F(StatementTest, ArrayDeclarationsOutsideTheLimitsAreDropped) {
  auto array = [](std::string type, std::vector<Tree> extents) {
    extents.insert(extents.begin(), Tree{"identifier \"a\""});
    return Tree{"declaration", {{"specifier-list", {{type}}}, {"array-declarator", std::move(extents)}}};
  };
  const Tree one{"integer-constant 1"};
  Tree method = methodTree("arrays", {{"expression", {{"call", {{"identifier \"BeginWaitCursor\""}}}}}});
  method.children[1].children[0].children[0].children = {
      array("char", {{"integer-constant 65535"}}),
      array("char", {{"integer-constant 65536"}}),
      array("int", {{"integer-constant 16384"}}),
      array("int", {{"integer-constant 0"}}),
      array("int", {{"integer-constant 2"}, {"integer-constant -3"}}),
      array("int", {{"empty"}}),
      array("int", {{"div", {{"integer-constant 4"}, {"integer-constant 0"}}}}),
      array("int", {one, one, one, one, one}),
      array("char", {{"mul", {{"integer-constant 3"}, {"integer-constant 4"}}}, {"float-constant 5.9"}}),
  };
  load(withMethods({method}));
  probe = [&] {
    ASSERT_EQ(engine.symbols().count(), 2);
    EXPECT_EQ(engine.symbols()[0].size, 65535);
    EXPECT_EQ(engine.symbols()[1].size, 60);
  };
  EXPECT_EQ(run("arrays"), 1);
  const std::string size = "Error: The size of the array is out of range!";
  EXPECT_EQ(errors(), (std::vector<std::string>{size, size, size, size, size, "Error: Integer division by zero!", size,
                                                "Error: The current array does not support an array of more than 4 "
                                                "dimensions!"}));
}

}  // namespace
}  // namespace tavrin::methods::testing
