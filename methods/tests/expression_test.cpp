// Description expressions (IF, SELECT, direct values, references), and the
// operator and statement tables written with raw tag numbers, so that a
// swapped number in the tag list or in the compiler's tables shows.
#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace tavrin::methods::testing {
namespace {

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

// The objects whose second child is evaluated; each is named after what it
// holds.
constexpr const char* kValues = R"(
  list 0
    variable
      identifier "out"
    variable
      identifier "pv"
    variable
      identifier "arr_2"
  list 1
    variable
      identifier "if"
      if
        expression
          integer-constant CONDITION
        then
          direct
            expression
              integer-constant 10
        else
          if
            expression
              integer-constant 1
            then
              direct
                expression
                  integer-constant 20
    variable
      identifier "if_without_else"
      if
        expression
          integer-constant 0
        then
          direct
            expression
              integer-constant 1
    variable
      identifier "if_float_1"
      if
        expression
          float-constant 1.0
        then
          direct
            expression
              integer-constant 1
    variable
      identifier "select"
      select
        expression
          integer-constant SELECTOR
        case
          expression
            integer-constant 1
          direct
            expression
              integer-constant 100
        case
          expression
            expr-add
              integer-constant 1
              integer-constant 2
          direct
            expression
              integer-constant 300
        case
          expression
            integer-constant 3
          direct
            expression
              integer-constant 301
        DEFAULT
    variable
      identifier "twice_pv"
      direct
        expression
          expr-mul
            reference
              identifier "pv"
            integer-constant 2
    variable
      identifier "array_element"
      direct
        expression
          expr-mul
            integer-constant 10
            reference
              array-element-ref
                identifier "arr"
                expression
                  expr-add
                    integer-constant 1
                    integer-constant 1
    variable
      identifier "two_values"
      direct
        expression
          integer-constant 1
          integer-constant 2
    variable
      identifier "unresolved"
      direct
        expression
          reference
            identifier "nowhere"
    variable
      identifier "not_a_value"
      identifier "pv"
    variable
      identifier "direct_without_list"
      direct
        integer-constant 1
    variable
      identifier "odd_selection"
      select
        expression
          integer-constant 2
        then
        default
          direct
            expression
              integer-constant 5
    variable
      identifier "else_for_then"
      if
        expression
          integer-constant 1
        else
          direct
            expression
              integer-constant 5
)";

constexpr const char* kDefault = R"(default
          direct
            expression
              integer-constant 999)";

class ExpressionTest : public EngineTest {
 protected:
  void SetUp() override { loadValues(1, 1, true); }
  void loadValues(int condition, int selector, bool withDefault) {
    load(replaced(replaced(replaced(kValues, "CONDITION", std::to_string(condition)), "SELECTOR",
                           std::to_string(selector)),
                  "DEFAULT", withDefault ? kDefault : ""));
  }
};

TEST_F(ExpressionTest, IfTakesTheThenPartOnlyForACondition1) {
  EXPECT_EQ(evaluate("if"), "int 10");
  loadValues(2, 1, true);
  EXPECT_EQ(evaluate("if"), "int 20");  // only 1 counts as true
  loadValues(0, 1, true);
  EXPECT_EQ(evaluate("if"), "int 20");
  EXPECT_EQ(evaluate("if_float_1"), "int 1");
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(evaluate("if_without_else"), "none");
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: expr_specifier: pRoot = NULL"}));
}

TEST_F(ExpressionTest, SelectTakesTheFirstMatchingCaseOrTheDefault) {
  EXPECT_EQ(evaluate("select"), "int 100");
  loadValues(1, 3, true);
  EXPECT_EQ(evaluate("select"), "int 300");
  loadValues(1, 7, true);
  EXPECT_EQ(evaluate("select"), "int 999");
  EXPECT_TRUE(errors().empty());
  // No case and no default: no value, and the selector does not pose as one.
  loadValues(1, 7, false);
  EXPECT_EQ(evaluate("select"), "none");
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: expr_specifier: pRoot = NULL"}));
}

TEST_F(ExpressionTest, ReferencesLoadTheVariablesCurrentValue) {
  model.setVariable("pv", Entry::ofFloat(2.5f));
  model.setVariable("arr_2", Entry::ofInt(4));
  EXPECT_EQ(evaluate("twice_pv"), "float 5");
  model.setVariable("pv", Entry::ofFloat(-1.0f));
  EXPECT_EQ(evaluate("twice_pv"), "float -2");
  // The element's index is evaluated while the expression around it compiles.
  EXPECT_EQ(evaluate("array_element"), "int 40");
  EXPECT_TRUE(errors().empty());
}

TEST_F(ExpressionTest, MalformedConditionalValues) {
  EXPECT_EQ(evaluate("two_values"), "none");
  EXPECT_EQ(evaluate("unresolved"), "none");
  EXPECT_EQ(evaluate("not_a_value"), "none");
  EXPECT_EQ(evaluate("direct_without_list"), "none");
  EXPECT_EQ(evaluate("odd_selection"), "int 5");
  EXPECT_EQ(evaluate("else_for_then"), "int 5");
  EXPECT_FALSE(engine.evaluateSpecifier(nullptr));
  EXPECT_EQ(errors(), (std::vector<std::string>{
                          "Error: The current expression runs error!", "Error: The current expression runs error!",
                          "Error: expr_specifier tag error!", "tag1 = 399 & tag2 = 405, match failed!",
                          "Error: The current expression runs error!", "Error: expr_selection: tag error!",
                          "tag1 = 63 & tag2 = 62, match failed!", "Error: expr_specifier: pRoot = NULL"}));
}

TEST_F(ExpressionTest, WhatADescriptionExpressionMayNotContain) {
  const std::pair<Tree, std::string> rejected[] = {
      {{"expr-assign", {{"integer-constant 1"}, {"integer-constant 1"}}},
       "Error: The expression assignment statement outside the method is error!"},
      {{"expr-or-assign", {{"integer-constant 1"}, {"integer-constant 1"}}},
       "Error: The expression assignment statement outside the method is error!"},
      {{"expr-conditional", {{"integer-constant 1"}, {"integer-constant 2"}, {"integer-constant 3"}}},
       "Error: The program doesn't process ternay expression!"},
      {{"current-role"}, "Error: CURRENT_ROLE_TAG isn't processed!"},
      {{"call", {{"identifier \"abort\""}}}, "Error: The function has not be processed!"},
      {{"reference", {{"call", {{"identifier \"abort\""}}}}}, "Error: reference func error!"},
      {{"reference", {{"integer-constant 1"}}}, "Error: reference, tag error!"},
      {{"unsupported-357"}, "Error: The tag couldn't be identified by program!"},
      {{"unsupported-358"}, "Error: The tag couldn't be identified by program!"},
      {{"identifier \"pv\""}, "Error: Unknown flag!"},
  };
  std::string text = "list 1\n";
  for (std::size_t i = 0; i < std::size(rejected); ++i) {
    text += Tree{"variable", {{"identifier \"rejected_" + std::to_string(i) + "\""},
                              {"direct", {{"expression", {rejected[i].first}}}}}}
                .render(1);
  }
  load(text);
  for (std::size_t i = 0; i < std::size(rejected); ++i) {
    ui.clearRecord();
    EXPECT_EQ(evaluate("rejected_" + std::to_string(i)), "none") << rejected[i].first.line;
    EXPECT_EQ(errors(), (std::vector<std::string>{rejected[i].second, "Error: The current expression runs error!"}))
        << rejected[i].first.line;
  }
}

TEST_F(ExpressionTest, DeeplyNestedTreesAreRefusedNotFollowedOffTheStack) {
  // -(-(-(...1))) built in place, as deep as a hostile file might nest.
  auto negated = [](std::vector<EddNode>& nodes, int times) {
    nodes.assign(static_cast<std::size_t>(times) + 3, EddNode{});
    nodes[0].tag = 58;
    nodes[0].child = &nodes[1];
    nodes[1].tag = 405;
    nodes[1].child = &nodes[2];
    for (std::size_t i = 2; i + 1 < nodes.size(); ++i) {
      nodes[i].tag = 275;
      nodes[i].child = &nodes[i + 1];
    }
    nodes.back().tag = 399;
    nodes.back().value = 1;
    return &nodes[0];
  };
  std::vector<EddNode> nodes;
  EXPECT_FALSE(engine.evaluateSpecifier(negated(nodes, 100000)));
  EXPECT_EQ(engine.stack().depth(), 0);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The method is nested too deeply!"}));
  ASSERT_TRUE(engine.evaluateSpecifier(negated(nodes, 301)));
  EXPECT_EQ(show(engine.stack().pop()), "int -1");
}

// Each operator applied to 13 and 3, then to 0 and 3: enough to tell every
// operator from every other by value and result type.
TEST_F(ExpressionTest, OperatorTagsOfMethodsAndDescriptions) {
  struct Binary {
    int methodTag, descriptionTag;
    const char* with13;
    const char* with0;
  };
  const Binary binary[] = {
      {445, 271, "int 39", "int 0"},   {446, 272, "int 4", "int 0"},    {447, 273, "int 1", "int 0"},
      {448, 236, "int 16", "int 3"},   {449, 282, "int 10", "int -3"},  {450, 269, "uint 104", "uint 0"},
      {451, 270, "uint 1", "uint 0"},  {452, 267, "uint 0", "uint 1"},  {453, 268, "int 1", "int 0"},
      {454, 283, "int 0", "int 1"},    {455, 284, "int 1", "int 0"},    {456, 212, "int 0", "int 0"},
      {457, 266, "int 1", "int 1"},    {458, 265, "int 1", "int 0"},    {459, 264, "int 14", "int 3"},
      {460, 263, "int 15", "int 3"},   {461, 262, "int 1", "int 0"},    {462, 261, "int 1", "int 1"},
  };
  // Compound assignments x = 13; x op= 3; and the unary operators on 13.
  const std::pair<int, const char*> compound[] = {
      {434, "int 39"}, {435, "int 4"},   {436, "int 1"}, {437, "int 16"}, {438, "int 10"},
      {439, "int 1"},  {440, "int 104"}, {441, "int 1"}, {442, "int 14"}, {443, "int 15"},
  };
  const std::tuple<int, int, const char*> unary[] = {
      {481, 274, "int 13"}, {482, 275, "int -13"}, {463, 276, "int -14"}, {464, 277, "int 0"}};

  auto number = [](int n) { return Tree{"399 " + std::to_string(n)}; };
  auto assignOut = [](Tree value) { return Tree{"405", {{"433", {{"30 \"out\""}, std::move(value)}}}}; };
  std::vector<Tree> statements;
  std::vector<Tree> values;
  std::vector<std::string> expected;
  std::vector<std::string> expectedValues;
  for (const Binary& b : binary) {
    for (const int left : {13, 0}) {
      statements.push_back(assignOut({std::to_string(b.methodTag), {number(left), number(3)}}));
      values.push_back({"58", {{"405", {{std::to_string(b.descriptionTag), {number(left), number(3)}}}}}});
      expected.push_back(std::string("out = ") + (left == 13 ? b.with13 : b.with0));
      expectedValues.push_back(left == 13 ? b.with13 : b.with0);
    }
  }
  for (const auto& [tag, result] : compound) {
    statements.push_back({"405", {{"433", {{"30 \"x\""}, number(13)}}}});
    statements.push_back({"405", {{std::to_string(tag), {{"30 \"x\""}, number(3)}}}});
    statements.push_back(assignOut({"30 \"x\""}));
    expected.push_back(std::string("out = ") + result);
  }
  for (const auto& [methodTag, descriptionTag, result] : unary) {
    statements.push_back(assignOut({std::to_string(methodTag), {number(13)}}));
    values.push_back({"58", {{"405", {{std::to_string(descriptionTag), {number(13)}}}}}});
    expected.push_back(std::string("out = ") + result);
    expectedValues.push_back(result);
  }
  const Tree method{"15",
                    {{"30 \"operators\""},
                     {"478",
                      {{"412",
                        {{"480", {{"432", {{"496", {{"425"}}}, {"421", {{"30 \"x\""}}}}}}},
                         {"479", std::move(statements)}}}}}}};
  std::string text = "list 0\n  22\n    30 \"out\"\n" + method.render(1) + "list 1\n";
  for (std::size_t i = 0; i < values.size(); ++i) {
    text += Tree{"22", {{"30 \"value_" + std::to_string(i) + "\""}, values[i]}}.render(1);
  }
  load(text);
  EXPECT_EQ(run("operators"), 1);
  EXPECT_EQ(assignments(), expected);
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(evaluate("value_" + std::to_string(i)), expectedValues[i]) << values[i].children[0].children[0].line;
  }
  EXPECT_TRUE(errors().empty());
}

// Every statement and declaration tag in one method, by number:
//   int i, n; short a[3];
//   for (i = 0; i < 4; i++) { if (i == 2) n += 100; else n += 1; }
//   while (i > 0) { i--; if (i == 1) break; }
//   do n += 1000; while (0);
//   switch (i) { case 0: n += 10000; default: n += 20000; }
//   a[2] = n; out = a[2];
TEST_F(ExpressionTest, StatementTagsByNumber) {
  load(R"(
    list 0
      22
        30 "out"
    list 14
      15
        30 "tags"
        478
          412
            480
              432
                496
                  425
                421
                  30 "i"
                421
                  30 "n"
              432
                496
                  424
                422
                  30 "a"
                  399 3
            479
              417
                405
                  433
                    30 "i"
                    399 0
                405
                  452
                    30 "i"
                    399 4
                405
                  472
                    30 "i"
                412
                  479
                    420
                      405
                        456
                          30 "i"
                          399 2
                      405
                        437
                          30 "n"
                          399 100
                      405
                        437
                          30 "n"
                          399 1
              418
                405
                  453
                    30 "i"
                    399 0
                412
                  479
                    405
                      473
                        30 "i"
                    420
                      405
                        456
                          30 "i"
                          399 1
                      415
              419
                405
                  437
                    30 "n"
                    399 1000
                418
                405
                  399 0
              475
                405
                  30 "i"
                412
                  479
                    56
                      399 0
                      405
                        437
                          30 "n"
                          399 10000
                    57
                      405
                        437
                          30 "n"
                          399 20000
              405
                433
                  474
                    30 "a"
                    399 2
                  30 "n"
              405
                433
                  30 "out"
                  474
                    30 "a"
                    399 2
              59
  )");
  EXPECT_EQ(run("tags"), 1);
  // for: 1 + 1 + 100 + 1; while: down to 1, then break; do: once; switch on 1: the default.
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = short 21103"}));
  EXPECT_TRUE(errors().empty());
}

}  // namespace
}  // namespace tavrin::methods::testing
