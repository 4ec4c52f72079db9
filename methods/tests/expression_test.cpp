// Description expressions (IF, SELECT, direct values, references) and the
// operator and statement tables, written with raw tag numbers so that a
// swapped number in the tag list or in the compiler's tables shows.
#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace tavrin::methods::testing {
namespace {

class ExpressionTest : public EngineTest {
 protected:
  void SetUp() override {
    variable("out", Entry::ofInt(0));
    variable("pv", Entry::ofFloat(2.5f));
    variable("arr_2", Entry::ofInt(4));
  }
  static std::string direct(std::string_view expression) {
    return "(direct (expression " + std::string(expression) + "))";
  }
  static std::string number(int n) { return "(integer-constant " + std::to_string(n) + ")"; }
};

TEST_F(ExpressionTest, IfTakesTheThenPartOnlyForACondition1) {
  auto ifValue = [](int condition) {
    return "(if-value (expression (integer-constant " + std::to_string(condition) + ")) (then " + direct("(integer-constant 10)") +
           ") (else (if-value (expression (integer-constant 1)) (then " + direct("(integer-constant 20)") + "))))";
  };
  EXPECT_EQ(evaluate(ifValue(1)), "int 10");
  EXPECT_EQ(evaluate(ifValue(2)), "int 20");  // only 1 counts as true
  EXPECT_EQ(evaluate(ifValue(0)), "int 20");
  EXPECT_EQ(evaluate("(if-value (expression (float-constant 1.0)) (then " + direct("(integer-constant 1)") + "))"),
            "int 1");
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(evaluate("(if-value (expression (integer-constant 0)) (then " + direct("(integer-constant 1)") + "))"),
            "none");
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: expr_specifier: pRoot = NULL"}));
}

TEST_F(ExpressionTest, SelectTakesTheFirstMatchingCaseOrTheDefault) {
  auto select = [](int selector, bool withDefault) {
    std::string s = "(select-value (expression (integer-constant " + std::to_string(selector) + "))"
                    " (case (expression (integer-constant 1)) " + direct("(integer-constant 100)") + ")"
                    " (case (expression (expr-add (integer-constant 1) (integer-constant 2))) " + direct("(integer-constant 300)") + ")"
                    " (case (expression (integer-constant 3)) " + direct("(integer-constant 301)") + ")";
    if (withDefault) s += " (default " + direct("(integer-constant 999)") + ")";
    return s + ")";
  };
  EXPECT_EQ(evaluate(select(1, true)), "int 100");
  EXPECT_EQ(evaluate(select(3, true)), "int 300");
  EXPECT_EQ(evaluate(select(7, true)), "int 999");
  EXPECT_TRUE(errors().empty());
  // No case and no default: no value, not the selector.
  EXPECT_EQ(evaluate(select(7, false)), "none");
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: expr_specifier: pRoot = NULL"}));
}

TEST_F(ExpressionTest, ReferencesLoadTheVariablesCurrentValue) {
  EXPECT_EQ(evaluate(direct("(expr-mul (reference (identifier pv)) (integer-constant 2))")), "float 5");
  model.setVariable("pv", Entry::ofFloat(-1.0f));
  EXPECT_EQ(evaluate(direct("(reference (identifier pv))")), "float -1");
  // The index of an array element is itself evaluated while the expression
  // around it compiles.
  EXPECT_EQ(evaluate(direct("(expr-mul (integer-constant 10) (reference (array-element (identifier arr) "
                            "(expression (expr-add (integer-constant 1) (integer-constant 1))))))")),
            "int 40");
  EXPECT_TRUE(errors().empty());
}

TEST_F(ExpressionTest, WhatADescriptionExpressionMayNotContain) {
  const std::pair<std::string, std::string> rejected[] = {
      {"(expr-assign (reference (identifier pv)) (integer-constant 1))",
       "Error: The expression assignment statement outside the method is error!"},
      {"(expr-or-assign (reference (identifier pv)) (integer-constant 1))",
       "Error: The expression assignment statement outside the method is error!"},
      {"(expr-conditional (integer-constant 1) (integer-constant 2) (integer-constant 3))",
       "Error: The program doesn't process ternay expression!"},
      {"(current-role)", "Error: CURRENT_ROLE_TAG isn't processed!"},
      {"(call (identifier abort))", "Error: The function has not be processed!"},
      {"(reference (call (identifier abort)))", "Error: reference func error!"},
      {"(reference (integer-constant 1))", "Error: reference, tag error!"},
      {"(unsupported-357)", "Error: The tag couldn't be identified by program!"},
      {"(unsupported-358)", "Error: The tag couldn't be identified by program!"},
      {"(identifier pv)", "Error: Unknown flag!"},
  };
  for (const auto& [expression, message] : rejected) {
    ui.clearRecord();
    EXPECT_EQ(evaluate(direct(expression)), "none") << expression;
    EXPECT_EQ(errors(), (std::vector<std::string>{message, "Error: The current expression runs error!"})) << expression;
  }
}

TEST_F(ExpressionTest, MalformedConditionalValues) {
  EXPECT_EQ(evaluate(direct("(integer-constant 1) (integer-constant 2)")), "none");
  EXPECT_EQ(evaluate(direct("(reference (identifier nowhere))")), "none");
  EXPECT_EQ(evaluate("(identifier pv)"), "none");
  EXPECT_EQ(evaluate("(direct (integer-constant 1))"), "none");
  EXPECT_EQ(evaluate("(select-value (expression (integer-constant 2)) (then) (default " + direct("(integer-constant 5)") +
                     "))"),
            "int 5");
  EXPECT_EQ(evaluate("(if-value (expression (integer-constant 1)) (else " + direct("(integer-constant 5)") + "))"),
            "int 5");
  EXPECT_FALSE(engine.evaluateSpecifier(nullptr));
  EXPECT_EQ(errors(), (std::vector<std::string>{
                          "Error: The current expression runs error!", "Error: The current expression runs error!",
                          "Error: expr_specifier tag error!", "tag1 = 399 & tag2 = 405, match failed!",
                          "Error: The current expression runs error!", "Error: expr_selection: tag error!", "tag1 = 63 & tag2 = 62, match failed!",
                          "Error: expr_specifier: pRoot = NULL"}));
}

TEST_F(ExpressionTest, DeeplyNestedTreesAreRefusedNotFollowedOffTheStack) {
  // -(-(-(...1))) built in place: deeper than any text reader would go.
  auto negated = [](std::vector<EddNode>& nodes, int times) {
    nodes.assign(static_cast<std::size_t>(times) + 3, EddNode{});
    nodes[0].tag = 58;
    nodes[0].child = &nodes[1];
    nodes[1].tag = 405;
    nodes[1].child = &nodes[2];
    for (int i = 0; i < times; ++i) {
      nodes[static_cast<std::size_t>(i) + 2].tag = 275;
      nodes[static_cast<std::size_t>(i) + 2].child = &nodes[static_cast<std::size_t>(i) + 3];
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

// Left 13, right 3 and left 0, right 3: enough to tell every operator from
// every other by value and result type.
struct BinaryCase {
  int methodTag;
  int descriptionTag;
  const char* results;
};
constexpr BinaryCase kBinary[] = {
    {445, 271, "int 39|int 0"},   {446, 272, "int 4|int 0"},     {447, 273, "int 1|int 0"},
    {448, 236, "int 16|int 3"},   {449, 282, "int 10|int -3"},   {450, 269, "uint 104|uint 0"},
    {451, 270, "uint 1|uint 0"},  {452, 267, "uint 0|uint 1"},   {453, 268, "int 1|int 0"},
    {454, 283, "int 0|int 1"},    {455, 284, "int 1|int 0"},     {456, 212, "int 0|int 0"},
    {457, 266, "int 1|int 1"},    {458, 265, "int 1|int 0"},     {459, 264, "int 14|int 3"},
    {460, 263, "int 15|int 3"},   {461, 262, "int 1|int 0"},     {462, 261, "int 1|int 1"},
};

TEST_F(ExpressionTest, BinaryOperatorTagsOfMethodsAndDescriptions) {
  for (const BinaryCase& c : kBinary) {
    for (const int left : {13, 0}) {
      const std::string operands = "(399 " + std::to_string(left) + ") (399 3)";
      model.setVariable("out", Entry::ofInt(0));
      run("(412 (479 (405 (433 (30 out) (" + std::to_string(c.methodTag) + " " + operands + ")))))");
      const std::string viaDescription =
          evaluate("(58 (405 (" + std::to_string(c.descriptionTag) + " " + operands + ")))");
      const std::string expected = std::string(c.results).substr(left == 13 ? 0 : std::string(c.results).find('|') + 1);
      const std::string want = expected.substr(0, expected.find('|'));
      EXPECT_EQ(model.assignments().back(), "out = " + want) << c.methodTag << " left " << left;
      EXPECT_EQ(viaDescription, want) << c.descriptionTag << " left " << left;
    }
  }
  EXPECT_TRUE(errors().empty());
}

TEST_F(ExpressionTest, UnaryAndAssignmentOperatorTags) {
  const std::pair<int, const char*> compound[] = {
      {434, "int 39"}, {435, "int 4"}, {436, "int 1"},  {437, "int 16"}, {438, "int 10"},
      {439, "int 1"},  {440, "int 104"}, {441, "int 1"}, {442, "int 14"}, {443, "int 15"},
  };
  for (const auto& [tag, result] : compound) {
    run("(412 (480 (432 (496 (425)) (421 (30 x)))) (479 (405 (433 (30 x) (399 13)))"
        " (405 (" + std::to_string(tag) + " (30 x) (399 3))) (405 (433 (30 out) (30 x)))))");
    EXPECT_EQ(model.assignments().back(), std::string("out = ") + result) << tag;
  }
  const std::tuple<int, int, const char*> unary[] = {
      {481, 274, "int 13"}, {482, 275, "int -13"}, {463, 276, "int -14"}, {464, 277, "int 0"}};
  for (const auto& [methodTag, descriptionTag, result] : unary) {
    run("(412 (479 (405 (433 (30 out) (" + std::to_string(methodTag) + " (399 13))))))");
    EXPECT_EQ(model.assignments().back(), std::string("out = ") + result) << methodTag;
    EXPECT_EQ(evaluate("(58 (405 (" + std::to_string(descriptionTag) + " (399 13))))"), result) << descriptionTag;
  }
  EXPECT_TRUE(errors().empty());
}

// Every statement and declaration tag in one method, by number:
//   int i, n; short a[3];
//   for (i = 0; i < 4; i++) { if (i == 2) continue... }  (see the tree)
TEST_F(ExpressionTest, StatementTagsByNumber) {
  EXPECT_EQ(run(R"((412
    (480 (432 (496 (425)) (421 (30 i)) (421 (30 n)))
         (432 (496 (424)) (422 (30 a) (399 3))))
    (479
      (417 (405 (433 (30 i) (399 0))) (405 (452 (30 i) (399 4))) (405 (472 (30 i)))
           (412 (479 (420 (405 (456 (30 i) (399 2))) (405 (437 (30 n) (399 100))) (405 (437 (30 n) (399 1)))))))
      (418 (405 (453 (30 i) (399 0)))
           (412 (479 (405 (473 (30 i))) (420 (405 (456 (30 i) (399 1))) (415)))))
      (419 (405 (437 (30 n) (399 1000))) (418) (405 (399 0)))
      (475 (405 (30 i))
           (412 (479 (56 (399 0) (405 (437 (30 n) (399 10000)))) (57 (405 (437 (30 n) (399 20000)))))))
      (405 (433 (474 (30 a) (399 2)) (30 n)))
      (405 (433 (30 out) (474 (30 a) (399 2))))
      (59))))"),
            1);
  // for: 1 + 1 + 100 + 1; while: down to 1 and break; do once; switch on 1: default.
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"out = short 21103"}));
  EXPECT_TRUE(errors().empty());
}

}  // namespace
}  // namespace tavrin::methods::testing
