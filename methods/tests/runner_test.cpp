// Running methods: calls between methods, recursion, abort methods, stop
// requests, and methods whose tables overflow while they compile.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "engine_fixture.h"

namespace tavrin::methods::testing {
namespace {

class RunnerTest : public EngineTest {
 protected:
  void SetUp() override {
    variable("out", Entry::ofInt(0));
    variable("log", Entry::ofInt(0));
    variable("counter", Entry::ofInt(0));
  }
  static std::string set(std::string_view name, int value) {
    return "(expression (assign (identifier " + std::string(name) + ") (integer-constant " +
           std::to_string(value) + ")))";
  }
  static std::string call(std::string_view name, std::string_view args = "") {
    return "(expression (call (identifier " + std::string(name) + ")" + std::string(args) + "))";
  }
  static std::string body(std::string_view statements) {
    return "(compound (statement-list " + std::string(statements) + "))";
  }
};

TEST_F(RunnerTest, ARecursiveMethodRunsEachCopyWithItsOwnLocals) {
  std::vector<int32_t> levels;
  probe = [&] { levels.push_back(engine.methodLevel()); };
  // rec: { int k; k = counter; counter = k + 1; if (k < 3) rec(); out = k; }
  method("rec", R"((compound
    (declaration-list (declaration (specifier-list (int)) (declarator (identifier k))))
    (statement-list
      (expression (assign (identifier k) (identifier counter)))
      (expression (assign (identifier counter) (add (identifier k) (integer-constant 1))))
      (expression (call (identifier BeginWaitCursor)))
      (if (expression (lt (identifier k) (integer-constant 3))) (expression (call (identifier rec))))
      (expression (assign (identifier out) (identifier k))))))");
  EXPECT_EQ(run(body(call("rec"))), 1);
  EXPECT_EQ(model.assignments(),
            (std::vector<std::string>{"counter = int 1", "counter = int 2", "counter = int 3", "counter = int 4",
                                      "out = int 3", "out = int 2", "out = int 1", "out = int 0"}));
  EXPECT_EQ(levels, (std::vector<int32_t>{2, 3, 4, 5}));
  EXPECT_TRUE(errors().empty());
}

TEST_F(RunnerTest, ACalledMethodSeesNoneOfItsCallersLocals) {
  method("callee", body("(expression (assign (identifier out) (identifier secret)))"));
  EXPECT_EQ(run("(compound (declaration-list (declaration (specifier-list (int)) (declarator (identifier secret))))"
                " (statement-list " +
                set("secret", 5) + call("callee") + set("log", 1) + "))"),
            1);
  ASSERT_FALSE(errors().empty());
  EXPECT_EQ(errors()[0], "Error: Couldn't find the variable definition secret");
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"log = int 1"}));  // the caller goes on
}

TEST_F(RunnerTest, CallsToUnknownMethodsAndNearMissesOfBuiltinNames) {
  method("Abort", body(set("log", 7)));
  EXPECT_EQ(run(body(call("Abort") + call("nothing_like_it") + set("out", 1))), 1);
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"log = int 7", "out = int 1"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Invoking methods error!"}));
}

TEST_F(RunnerTest, AnAbortRunsTheAbortMethodsInTheOrderTheyWereAdded) {
  method("first", body(set("log", 1)));
  method("second", body(set("log", 2)));
  EXPECT_EQ(run(body(call("add_abort_method", "(identifier first)") + call("add_abort_method", "(identifier second)") +
                     set("out", 1) + call("abort") + set("out", 2))),
            1);
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"out = int 1", "log = int 1", "log = int 2"}));

  // An abort method that does not run to its end stops the list.
  method("failing", body(set("log", 3) + call("abort") + set("log", 4)));
  EXPECT_EQ(run(body(call("add_abort_method", "(identifier failing)") + call("add_abort_method", "(identifier second)") +
                     call("abort"))),
            1);
  EXPECT_EQ(model.assignments().back(), "log = int 3");
}

TEST_F(RunnerTest, AbortMethodsBelongToTheMethodThatAddedThem) {
  method("callee_abort", body(set("log", 20)));
  method("caller_abort", body(set("log", 10)));
  method("callee", body(call("add_abort_method", "(identifier callee_abort)") + call("abort")));
  // The callee's abort does not end the caller, and the caller's list is
  // its own again once the callee ends.
  EXPECT_EQ(run(body(call("add_abort_method", "(identifier caller_abort)") + call("callee") + set("out", 1))), 1);
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"log = int 20", "out = int 1"}));
}

TEST_F(RunnerTest, ABuiltinsErrorStatusEndsTheMethodWithoutItsAbortMethods) {
  method("abort_handler", body(set("log", 1)));
  engine.builtins().add(BuiltinId::EndWaitCursor, [](MethodEngine& e) {
    e.stack().push(Entry::ofInt(0));
    return -1;
  });
  EXPECT_EQ(run(body(call("add_abort_method", "(identifier abort_handler)") + call("EndWaitCursor") + set("out", 1))),
            0);
  EXPECT_TRUE(model.assignments().empty());  // stopped at once, no abort methods for an error
}

TEST_F(RunnerTest, AStopRequestEndsAnEndlessMethodAsAnAbort) {
  method("cleanup", body(set("log", 1)));
  method("spin", body(call("add_abort_method", "(identifier cleanup)") +
                      "(while (expression (integer-constant 1)) (expression (call (identifier BeginWaitCursor))))"));
  std::promise<void> running;
  std::atomic<int> calls{0};
  probe = [&] {
    if (calls++ == 0) running.set_value();
  };
  std::thread stopper([&] {
    running.get_future().wait();
    engine.requestStop();
  });
  // The caller ends too, after its own abort methods, innermost first.
  method("outer_cleanup", body(set("log", 2)));
  EXPECT_EQ(run(body(call("add_abort_method", "(identifier outer_cleanup)") + call("spin") + set("out", 1))), 1);
  stopper.join();
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"log = int 1", "log = int 2"}));
  EXPECT_GE(calls.load(), 1);

  // The stop has been dealt with: the next method runs normally, and a
  // request made while nothing runs is dropped when the next run starts.
  engine.requestStop();
  EXPECT_EQ(run(body(set("out", 5))), 1);
  EXPECT_EQ(show(var("out")), "int 5");
  EXPECT_TRUE(errors().empty());
}

TEST_F(RunnerTest, BuiltinsThatWaitSeeTheStopThroughTheirToken) {
  bool stopped = false;
  probe = [&] {
    std::stop_token token = engine.stopToken();
    EXPECT_FALSE(token.stop_requested());
    engine.requestStop();
    stopped = token.stop_requested();
  };
  EXPECT_EQ(run(body(call("BeginWaitCursor") + set("out", 1))), 1);
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(model.assignments().empty());
  EXPECT_FALSE(engine.stopToken().stop_requested());  // a fresh token for the next run
}

TEST_F(RunnerTest, ASecondStopEndsAnEndlessAbortMethod) {
  method("endless_cleanup", body("(while (expression (integer-constant 1)) " + call("BeginWaitCursor") + ")"));
  int calls = 0;
  probe = [&] {
    if (++calls <= 2) engine.requestStop();
  };
  EXPECT_EQ(run(body(call("add_abort_method", "(identifier endless_cleanup)") + call("BeginWaitCursor") +
                     set("out", 1))),
            1);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(model.assignments().empty());
}

// 8,191 instructions fit; a method that does not fit reports it once, runs
// none of its code, patches nothing outside itself and ends with -1.
TEST_F(RunnerTest, AMethodThatOverflowsTheProgramSpaceNeverRuns) {
  const std::string loop = "(while (expression (lt (integer-constant 5) (integer-constant 3))) " + set("out", 9) + ")";
  const std::string method_ = body(set("log", 1) + loop + loop + loop);
  for (const int32_t filled : {8191, 8185, 8170}) {
    ui.clearRecord();
    for (int32_t i = 0; i < filled; ++i) ASSERT_EQ(engine.program().append({4, 1234}), i);
    const EddNode* root = method("big", method_);
    EXPECT_EQ(engine.runMethod(*root), 0) << filled;
    EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The program space of method is overflow!"})) << filled;
    for (int32_t i = 0; i < filled; ++i) {
      ASSERT_EQ(engine.program()[i].op, 4);
      ASSERT_EQ(engine.program()[i].operand, 1234) << i;
    }
    EXPECT_EQ(engine.program().next(), filled);
    engine.program().cutBack(0);
  }
  EXPECT_TRUE(model.assignments().empty());
  // With room enough the same method runs.
  EXPECT_EQ(run(method_), 1);
  EXPECT_EQ(model.assignments().front(), "log = int 1");
}

TEST_F(RunnerTest, AMethodThatOverflowsTheSymbolTableNeverRuns) {
  std::string declarations = "(declaration-list (declaration (specifier-list (int))";
  for (int i = 0; i < 66; ++i) declarations += " (declarator (identifier v" + std::to_string(i) + "))";
  declarations += "))";
  EXPECT_EQ(run("(compound " + declarations + " (statement-list " + set("out", 1) + "))"), 0);
  EXPECT_EQ(errors(), std::vector<std::string>(
                          2, "Error: The symbol table stack is overflow, please enlarge the size of symbol table!"));
  EXPECT_TRUE(model.assignments().empty());
}

TEST_F(RunnerTest, EndlessRecursionStopsAtTheProgramSpace) {
  method("again", body(call("again")));
  EXPECT_EQ(run(body(call("again") + set("out", 1))), 1);
  // Only the innermost copy failed; every caller went on.
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The program space of method is overflow!"}));
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"out = int 1"}));
}

TEST_F(RunnerTest, MethodSpecificationsOfActionLists) {
  method("named", body(set("log", 1)));
  EXPECT_EQ(engine.runMethodSpecification(trees.parse("(method-reference (identifier named))")), 1);
  EXPECT_EQ(engine.runMethodSpecification(trees.parse(
                "(inline-method (method-definition " + body(set("log", 2)) + "))")),
            1);
  EXPECT_EQ(model.assignments(), (std::vector<std::string>{"log = int 1", "log = int 2"}));
  EXPECT_TRUE(errors().empty());

  // A METHOD without a definition counts as success.
  model.add(trees.parse("(method (identifier empty_method))"));
  EXPECT_EQ(engine.runMethodSpecification(trees.parse("(method-reference (identifier empty_method))")), 1);

  EXPECT_EQ(engine.runMethodSpecification(trees.parse("(method-reference (identifier out))")), 0);
  EXPECT_EQ(engine.runMethodSpecification(trees.parse("(inline-method (compound))")), 0);
  EXPECT_EQ(engine.runMethodSpecification(trees.parse("(method-definition)")), 0);
  EXPECT_EQ(engine.runMethodSpecification(nullptr), 0);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Invoking methods error!", "tag1 = 412 & tag2 = 478, match failed!",
                                                "method_specification tag error!", "method_specification tag error!"}));
}

TEST_F(RunnerTest, ResetEmptiesTheTablesButNotDuringARun) {
  probe = [&] {
    engine.reset();
    EXPECT_EQ(engine.methodLevel(), 1);
    EXPECT_EQ(engine.symbols().count(), 1);
  };
  EXPECT_EQ(run("(compound (declaration-list (declaration (specifier-list (int)) (declarator (identifier x))))"
                " (statement-list " +
                call("BeginWaitCursor") + set("x", 2) + "(expression (assign (identifier out) (identifier x)))))"),
            1);
  EXPECT_EQ(show(var("out")), "int 2");
  engine.program().append({4, 1});
  engine.reset();
  EXPECT_EQ(engine.program().next(), 0);
}

TEST_F(RunnerTest, StringsAndLocalsForBuiltins) {
  std::vector<std::string> seen;
  engine.builtins().add(BuiltinId::PUT_MESSAGE, [&](MethodEngine& e) {
    seen.push_back(popString(e).value_or("(none)"));
    return 0;
  });
  probe = [&] {
    for (const char* name : {"c", "s", "us", "i", "u", "f", "d"}) {
      seen.push_back(engine.printLocal(trees.intern(name)).value_or("(none)"));
    }
    seen.push_back(engine.printLocal(trees.intern("nothing")).value_or("(none)"));
  };
  auto local = [](std::string_view specifiers, std::string_view name) {
    return "(declaration (specifier-list " + std::string(specifiers) + ") (declarator (identifier " + std::string(name) +
           ")))";
  };
  EXPECT_EQ(run("(compound (declaration-list " + local("(char)", "c") + local("(short)", "s") +
                local("(unsigned) (short)", "us") + local("(int)", "i") + local("(unsigned)", "u") +
                local("(float)", "f") + local("(double)", "d") +
                "(declaration (specifier-list (char)) (array-declarator (identifier text) (integer-constant 4))))"
                " (statement-list " +
                set("c", 65) + set("s", -2) + set("us", 65535) + set("i", -7) + set("u", -1) +
                "(expression (assign (identifier f) (float-constant 1.5)))"
                "(expression (assign (identifier d) (float-constant 0.25)))" +
                call("BeginWaitCursor") + call("PUT_MESSAGE", "(string-constant \"Hello\")") +
                "(expression (assign (subscript (identifier text) (integer-constant 0)) (integer-constant 79)))"
                "(expression (assign (subscript (identifier text) (integer-constant 1)) (integer-constant 75)))" +
                call("PUT_MESSAGE", "(identifier text)") +
                "(expression (assign (subscript (identifier text) (integer-constant 2)) (integer-constant 33)))"
                "(expression (assign (subscript (identifier text) (integer-constant 3)) (integer-constant 33)))" +
                call("PUT_MESSAGE", "(identifier text)") + call("PUT_MESSAGE", "(integer-constant 1)") + "))"),
            1);
  EXPECT_EQ(seen, (std::vector<std::string>{"A", "-2", "65535", "-7", "-1", "1.500000", "0.250000", "(none)", "Hello",
                                            "OK", "OK!!", "(none)"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The string pointer flag mathes failed!"}));
}

TEST_F(RunnerTest, ArgumentKindChecksReportAndHandTheEntryBack) {
  std::vector<std::string> seen;
  engine.builtins().add(BuiltinId::iassign, [&](MethodEngine& e) {
    const Entry value = popValue(e);
    const Entry target = popReference(e);
    seen.push_back(show(value) + " to " + std::string(e.model().text(target.word())));
    e.model().assignVariable(target.word(), value);
    e.stack().push(Entry::ofInt(1));
    return 0;
  });
  EXPECT_EQ(run(body(call("iassign", "(identifier log) (integer-constant 4)") +
                     "(expression (assign (identifier out) (call (identifier iassign) (identifier log) (identifier out))))")),
            1);
  EXPECT_EQ(seen, (std::vector<std::string>{"int 4 to log", "kind 1 uint 0 to log"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"tag1 = 1 & tag2 = 0, match failed!"}));
  // The built-in's own result stays as the call's value.
  EXPECT_EQ(model.assignments().back(), "out = int 1");
}

}  // namespace
}  // namespace tavrin::methods::testing
