// Running methods: calls between methods, recursion, abort methods, stop
// requests, and methods whose tables overflow while they compile.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "engine_fixture.h"

namespace tavrin::methods::testing {
namespace {

// The methods the tests below run, each with its body as C in a comment.
constexpr const char* kMethods = R"(
  list 0
    variable
      identifier "out"
    variable
      identifier "log"
    variable
      identifier "counter"
  list 14
    # rec: { int k; k = counter; counter = k + 1; BeginWaitCursor(); if (k < 3) rec(); out = k; }
    method
      identifier "rec"
      method-definition
        compound
          declaration-list
            declaration
              specifier-list
                int
              declarator
                identifier "k"
          statement-list
            expression
              assign
                identifier "k"
                identifier "counter"
            expression
              assign
                identifier "counter"
                add
                  identifier "k"
                  integer-constant 1
            expression
              call
                identifier "BeginWaitCursor"
            if-statement
              expression
                lt
                  identifier "k"
                  integer-constant 3
              expression
                call
                  identifier "rec"
            expression
              assign
                identifier "out"
                identifier "k"
    # keeps_secret: { int secret; secret = 5; peek(); Abort(); log = 1; }
    method
      identifier "keeps_secret"
      method-definition
        compound
          declaration-list
            declaration
              specifier-list
                int
              declarator
                identifier "secret"
          statement-list
            expression
              assign
                identifier "secret"
                integer-constant 5
            expression
              call
                identifier "peek"
            expression
              call
                identifier "Abort"
            expression
              assign
                identifier "log"
                integer-constant 1
    # peek: { out = secret; }
    method
      identifier "peek"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "out"
                identifier "secret"
    # Abort: { log = 7; }   a method, since built-in names are case-sensitive
    method
      identifier "Abort"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "log"
                integer-constant 7
    # unknown_callee: { nothing_like_it(); out = 1; }
    method
      identifier "unknown_callee"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "nothing_like_it"
            expression
              assign
                identifier "out"
                integer-constant 1
    # first: { log = 1; }
    method
      identifier "first"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "log"
                integer-constant 1
    # second: { log = 2; }
    method
      identifier "second"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "log"
                integer-constant 2
    # aborting: { add_abort_method(first); add_abort_method(second); out = 1; abort(); out = 2; }
    method
      identifier "aborting"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "first"
            expression
              call
                identifier "add_abort_method"
                identifier "second"
            expression
              assign
                identifier "out"
                integer-constant 1
            expression
              call
                identifier "abort"
            expression
              assign
                identifier "out"
                integer-constant 2
    # self_abort: { add_abort_method(self_abort); log = 5; abort(); log = 6; }
    method
      identifier "self_abort"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "self_abort"
            expression
              assign
                identifier "log"
                integer-constant 5
            expression
              call
                identifier "abort"
            expression
              assign
                identifier "log"
                integer-constant 6
    # ping: { add_abort_method(pong); log = 1; abort(); }
    method
      identifier "ping"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "pong"
            expression
              assign
                identifier "log"
                integer-constant 1
            expression
              call
                identifier "abort"
    # pong: { add_abort_method(ping); add_abort_method(pong); log = 2; abort(); }
    method
      identifier "pong"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "ping"
            expression
              call
                identifier "add_abort_method"
                identifier "pong"
            expression
              assign
                identifier "log"
                integer-constant 2
            expression
              call
                identifier "abort"
    # repeated: { add_abort_method(first); add_abort_method(second); add_abort_method(first); abort(); }
    method
      identifier "repeated"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "first"
            expression
              call
                identifier "add_abort_method"
                identifier "second"
            expression
              call
                identifier "add_abort_method"
                identifier "first"
            expression
              call
                identifier "abort"
    # failing: { log = 3; abort(); log = 4; }
    method
      identifier "failing"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "log"
                integer-constant 3
            expression
              call
                identifier "abort"
            expression
              assign
                identifier "log"
                integer-constant 4
    # failing_first: { add_abort_method(failing); add_abort_method(second); abort(); }
    method
      identifier "failing_first"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "failing"
            expression
              call
                identifier "add_abort_method"
                identifier "second"
            expression
              call
                identifier "abort"
    # callee: { add_abort_method(second); abort(); }
    method
      identifier "callee"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "second"
            expression
              call
                identifier "abort"
    # caller: { add_abort_method(first); callee(); out = 1; }
    method
      identifier "caller"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "first"
            expression
              call
                identifier "callee"
            expression
              assign
                identifier "out"
                integer-constant 1
    # erring: { add_abort_method(first); EndWaitCursor(); out = 1; }
    method
      identifier "erring"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "first"
            expression
              call
                identifier "EndWaitCursor"
            expression
              assign
                identifier "out"
                integer-constant 1
    # spin: { add_abort_method(first); while (1) BeginWaitCursor(); }
    method
      identifier "spin"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "first"
            while
              expression
                integer-constant 1
              expression
                call
                  identifier "BeginWaitCursor"
    # spin_caller: { add_abort_method(second); spin(); out = 1; }
    method
      identifier "spin_caller"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "second"
            expression
              call
                identifier "spin"
            expression
              assign
                identifier "out"
                integer-constant 1
    # spin_on_abort: { add_abort_method(spin); BeginWaitCursor(); out = 1; }
    method
      identifier "spin_on_abort"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "add_abort_method"
                identifier "spin"
            expression
              call
                identifier "BeginWaitCursor"
            expression
              assign
                identifier "out"
                integer-constant 1
    # again: { again(); }
    method
      identifier "again"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "again"
    # again_caller: { again(); out = 1; }
    method
      identifier "again_caller"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "again"
            expression
              assign
                identifier "out"
                integer-constant 1
    # big: { log = 1; while (5 < 3) out = 9; while (5 < 3) out = 9; while (5 < 3) out = 9; }
    method
      identifier "big"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "log"
                integer-constant 1
            while
              expression
                lt
                  integer-constant 5
                  integer-constant 3
              expression
                assign
                  identifier "out"
                  integer-constant 9
            while
              expression
                lt
                  integer-constant 5
                  integer-constant 3
              expression
                assign
                  identifier "out"
                  integer-constant 9
            while
              expression
                lt
                  integer-constant 5
                  integer-constant 3
              expression
                assign
                  identifier "out"
                  integer-constant 9
    # locals: { char c; short s; unsigned short us; int i; unsigned u; float f; double d; char text[4];
    #   c = 65; s = -2; us = 65535; i = -7; u = -1; f = 1.5; d = 0.25; BeginWaitCursor();
    #   PUT_MESSAGE("Hello"); text[0] = 79; text[1] = 75; PUT_MESSAGE(text);
    #   text[2] = 33; text[3] = 33; PUT_MESSAGE(text); PUT_MESSAGE(1); }
    method
      identifier "locals"
      method-definition
        compound
          declaration-list
            declaration
              specifier-list
                char
              declarator
                identifier "c"
            declaration
              specifier-list
                short
              declarator
                identifier "s"
            declaration
              specifier-list
                unsigned
                short
              declarator
                identifier "us"
            declaration
              specifier-list
                int
              declarator
                identifier "i"
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
                char
              array-declarator
                identifier "text"
                integer-constant 4
          statement-list
            expression
              assign
                identifier "c"
                integer-constant 65
              assign
                identifier "s"
                integer-constant -2
              assign
                identifier "us"
                integer-constant 65535
              assign
                identifier "i"
                integer-constant -7
              assign
                identifier "u"
                integer-constant -1
              assign
                identifier "f"
                float-constant 1.5
              assign
                identifier "d"
                float-constant 0.25
            expression
              call
                identifier "BeginWaitCursor"
            expression
              call
                identifier "PUT_MESSAGE"
                string-constant "Hello"
            expression
              assign
                subscript
                  identifier "text"
                  integer-constant 0
                integer-constant 79
              assign
                subscript
                  identifier "text"
                  integer-constant 1
                integer-constant 75
            expression
              call
                identifier "PUT_MESSAGE"
                identifier "text"
            expression
              assign
                subscript
                  identifier "text"
                  integer-constant 2
                integer-constant 33
              assign
                subscript
                  identifier "text"
                  integer-constant 3
                integer-constant 33
            expression
              call
                identifier "PUT_MESSAGE"
                identifier "text"
            expression
              call
                identifier "PUT_MESSAGE"
                integer-constant 1
    # kinds: { iassign(log, 4); out = iassign(log, out); }
    method
      identifier "kinds"
      method-definition
        compound
          statement-list
            expression
              call
                identifier "iassign"
                identifier "log"
                integer-constant 4
            expression
              assign
                identifier "out"
                call
                  identifier "iassign"
                  identifier "log"
                  identifier "out"
    # empty_method: a METHOD without a definition
    method
      identifier "empty_method"
)";

class RunnerTest : public EngineTest {
 protected:
  void SetUp() override { load(kMethods); }
};

TEST_F(RunnerTest, ARecursiveMethodRunsEachCopyWithItsOwnLocals) {
  std::vector<int32_t> levels;
  probe = [&] { levels.push_back(engine.methodLevel()); };
  EXPECT_EQ(run("rec"), 1);
  EXPECT_EQ(assignments(),
            (std::vector<std::string>{"counter = int 1", "counter = int 2", "counter = int 3", "counter = int 4",
                                      "out = int 3", "out = int 2", "out = int 1", "out = int 0"}));
  EXPECT_EQ(levels, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_TRUE(errors().empty());
}

TEST_F(RunnerTest, CalledMethodsSeeNoneOfTheirCallersLocals) {
  EXPECT_EQ(run("keeps_secret"), 1);
  ASSERT_FALSE(errors().empty());
  EXPECT_EQ(errors()[0], "Error: Couldn't find the variable definition secret");
  // Abort() is a method: built-in names are compared with their case.
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 7", "log = int 1"}));

  ui.clearRecord();
  EXPECT_EQ(run("unknown_callee"), 1);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Invoking methods error!"}));
  EXPECT_EQ(assignments().back(), "out = int 1");
}

TEST_F(RunnerTest, AnAbortRunsTheAbortMethodsInTheOrderTheyWereAdded) {
  EXPECT_EQ(run("aborting"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 1", "log = int 1", "log = int 2"}));
  // An abort method that does not run to its end stops the list.
  EXPECT_EQ(run("failing_first"), 1);
  EXPECT_EQ(assignments().back(), "log = int 3");
  EXPECT_TRUE(errors().empty());
}

TEST_F(RunnerTest, AbortMethodsRunOnceEachAndAnAbortInsideOneEndsTheChain) {
  // Its own abort method: run as one, its abort ends the chain and finds
  // itself done.
  EXPECT_EQ(run("self_abort"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 5", "log = int 5"}));
  // pong's abort runs pong's abort methods, but only ping, which has not
  // run as an abort method yet; ping's abort then finds pong done.
  EXPECT_EQ(run("ping"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 5", "log = int 5", "log = int 1", "log = int 2",
                                                     "log = int 1"}));
  // A method added twice runs once, where it was added first.
  EXPECT_EQ(run("repeated"), 1);
  EXPECT_EQ(assignments().size(), 7u);
  EXPECT_EQ(assignments()[5], "log = int 1");
  EXPECT_EQ(assignments()[6], "log = int 2");
  EXPECT_TRUE(errors().empty());
}

TEST_F(RunnerTest, AbortMethodsBelongToTheMethodThatAddedThem) {
  // The callee's abort runs the callee's abort method and does not end the
  // caller, whose own list is untouched.
  EXPECT_EQ(run("caller"), 1);
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 2", "out = int 1"}));
}

TEST_F(RunnerTest, ABuiltinsErrorEndsTheMethodWithoutItsAbortMethods) {
  engine.builtins().add(BuiltinId::EndWaitCursor, [](MethodEngine&) { return -1; });
  EXPECT_EQ(run("erring"), 0);
  EXPECT_TRUE(assignments().empty());
}

TEST_F(RunnerTest, AStopRequestFromAnotherThreadEndsEveryMethodAsAnAbort) {
  std::promise<void> running;
  std::atomic<int> calls{0};
  probe = [&] {
    if (calls++ == 0) running.set_value();
  };
  std::thread stopper([&] {
    running.get_future().wait();
    engine.requestStop();
  });
  EXPECT_EQ(run("spin_caller"), 1);
  stopper.join();
  // Abort methods ran innermost first; the caller did not go on.
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 1", "log = int 2"}));

  // The stop has been dealt with; a request made while nothing runs is
  // dropped when the next run starts.
  engine.requestStop();
  probe = nullptr;
  EXPECT_EQ(run("caller"), 1);
  EXPECT_EQ(assignments().back(), "out = int 1");
  EXPECT_TRUE(errors().empty());
}

TEST_F(RunnerTest, AStopReachesWaitingBuiltinsAndASecondStopEndsTheAbortMethods) {
  std::vector<bool> tokenStopped;
  probe = [&] {
    const std::stop_token token = engine.stopToken();
    const bool before = token.stop_requested();
    engine.requestStop();
    tokenStopped.push_back(before);
    tokenStopped.push_back(token.stop_requested());
  };
  // The first stop ends spin_on_abort, the second its endless abort method.
  EXPECT_EQ(run("spin_on_abort"), 1);
  EXPECT_EQ(tokenStopped, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 1"}));  // spin's own abort method
  EXPECT_FALSE(engine.stopToken().stop_requested());  // a fresh token for the next run
}

// 8,191 instructions fit; a method that does not fit reports it once, runs
// none of its code, patches nothing outside itself and ends with -1.
TEST_F(RunnerTest, AMethodThatOverflowsTheProgramSpaceNeverRuns) {
  for (const int32_t filled : {8191, 8185, 8170}) {
    ui.clearRecord();
    for (int32_t i = 0; i < filled; ++i) ASSERT_EQ(engine.program().append({4, 1234}), i);
    EXPECT_EQ(run("big"), 0) << filled;
    EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The program space of method is overflow!"})) << filled;
    for (int32_t i = 0; i < filled; ++i) {
      ASSERT_EQ(engine.program()[i].op, 4);
      ASSERT_EQ(engine.program()[i].operand, 1234) << i;
    }
    engine.program().cutBack(0);
  }
  EXPECT_TRUE(assignments().empty());
  EXPECT_EQ(run("big"), 1);  // with room enough it runs
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 1"}));
}

// Long before the program space is full, the nesting limit ends it: a
// deeper recursion through the description's actions, whose frames are far
// larger, could otherwise exhaust the native stack.
TEST_F(RunnerTest, EndlessRecursionEndsAtTheNestingLimit) {
  EXPECT_EQ(run("again_caller"), 1);
  // Only the innermost copy failed; every caller went on.
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: The method is nested too deeply!"}));
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 1"}));
}

TEST_F(RunnerTest, AMethodThatOverflowsTheSymbolTableNeverRuns) {
  Tree declaration{"declaration", {{"specifier-list", {{"int"}}}}};
  for (int i = 0; i < 66; ++i) declaration.children.push_back({"declarator", {{"identifier \"v" + std::to_string(i) + "\""}}});
  const Tree method{"method",
                    {{"identifier \"crowded\""},
                     {"method-definition",
                      {{"compound",
                        {{"declaration-list", {declaration}},
                         {"statement-list",
                          {{"expression", {{"assign", {{"identifier \"out\""}, {"integer-constant 1"}}}}}}}}}}}}};
  load("list 0\n  variable\n    identifier \"out\"\nlist 14\n" + method.render(1));
  EXPECT_EQ(run("crowded"), 0);
  EXPECT_EQ(errors(), std::vector<std::string>(
                          2, "Error: The symbol table stack is overflow, please enlarge the size of symbol table!"));
  EXPECT_TRUE(assignments().empty());
}

TEST_F(RunnerTest, MethodSpecificationsOfActionLists) {
  load(std::string(kMethods) + R"(
  list 20
    variable
      identifier "specifications"
      method-reference
        identifier "first"
      method-inline
        method-definition
          compound
            statement-list
              expression
                assign
                  identifier "log"
                  integer-constant 2
      method-reference
        identifier "empty_method"
      method-reference
        identifier "out"
      method-inline
        compound
      method-definition
  )");
  const std::vector<const EddNode*> specs =
      tavrin::testing::children(description->object("specifications")->root);
  std::vector<int> results;
  for (std::size_t i = 1; i < specs.size(); ++i) results.push_back(engine.runMethodSpecification(specs[i]));
  results.push_back(engine.runMethodSpecification(nullptr));
  // A METHOD without a definition counts as success.
  EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(assignments(), (std::vector<std::string>{"log = int 1", "log = int 2"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Error: Invoking methods error!", "tag1 = 412 & tag2 = 478, match failed!",
                                                "method_specification tag error!", "method_specification tag error!"}));
}

TEST_F(RunnerTest, BuiltinsReadStringsLocalsAndArguments) {
  std::vector<std::string> seen;
  engine.builtins().add(BuiltinId::PUT_MESSAGE, [&](MethodEngine& e) {
    seen.push_back(popString(e).value_or("(none)"));
    return 0;
  });
  probe = [&] {
    for (const char* name : {"c", "s", "us", "i", "u", "f", "d"}) {
      seen.push_back(engine.printLocal(description->textIndex(name)).value_or("(none)"));
    }
    seen.push_back(engine.printLocal(description->textIndex("out")).value_or("(none)"));
    engine.reset();  // refused while a method runs
  };
  EXPECT_EQ(run("locals"), 1);
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
    e.stack().push(Entry::ofInt(1));
    return 0;
  });
  EXPECT_EQ(run("kinds"), 1);
  const std::string out = std::to_string(description->textIndex("out"));
  EXPECT_EQ(seen, (std::vector<std::string>{"int 4 to log", "kind 1 uint " + out + " to log"}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"tag1 = 1 & tag2 = 0, match failed!"}));
  // The built-in's own result stays as the call's value.
  EXPECT_EQ(assignments(), (std::vector<std::string>{"out = int 1"}));
}

}  // namespace
}  // namespace tavrin::methods::testing
