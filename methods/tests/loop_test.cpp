// Loops on code written by operation: a loop runs from the machine's
// execution form with its fused groups, straight-line code from the program
// space as it stands. Each body is run both ways, in a loop and unrolled, and
// the two must leave the same locals, stack, errors and status.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <climits>
#include <sstream>
#include <thread>

#include "engine_fixture.h"
#include "testing/edd_fixture.h"

namespace tavrin::methods::testing {
namespace {

Instruction op(Op o, int32_t operand = 0) { return {+o, operand}; }
int32_t floatBits(float f) { return std::bit_cast<int32_t>(f); }

// Locals of every type, an array and a device variable.
constexpr const char* kDescription = R"(
  list 0
    variable
      identifier "dev"
  list 14
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
                unsigned
                char
              declarator
                identifier "uc"
            declaration
              specifier-list
                short
              declarator
                identifier "h"
            declaration
              specifier-list
                unsigned
                short
              declarator
                identifier "uh"
            declaration
              specifier-list
                int
              declarator
                identifier "i"
              declarator
                identifier "s"
              declarator
                identifier "k"
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
                int
              array-declarator
                identifier "a"
                integer-constant 3
          statement-list
            empty
)";

class LoopTest : public EngineTest {
 protected:
  void SetUp() override {
    load(kDescription);
    const EddNode* compound = tavrin::testing::child(tavrin::testing::child(description->object("locals")->root, 1), 0);
    const int32_t start = engine.program().next();
    ASSERT_TRUE(engine.compileMethodBody(compound));
    engine.program().cutBack(start);
    ASSERT_EQ(engine.symbols().count(), 11);
  }

  int32_t id(std::string_view name) const { return description->textIndex(name); }

  void clearLocals() {
    for (int32_t i = 0; i < engine.symbols().count(); ++i) {
      for (std::byte& b : engine.symbols()[i].bytes()) b = std::byte{0};
    }
  }
  void setLocal(std::string_view name, Entry value) {
    for (int32_t i = 0; i < engine.symbols().count(); ++i) {
      const Symbol& s = engine.symbols()[i];
      if (s.identifier != id(name)) continue;
      ASSERT_TRUE(convert(value, s.type));
      storeValue(s.bytes(), value);
    }
  }
  std::string locals() const {
    std::ostringstream out;
    for (int32_t i = 0; i < engine.symbols().count(); ++i) {
      const Symbol& s = engine.symbols()[i];
      out << s.name << "=" << show(loadValue(s.bytes(), s.type)) << (s.isArray ? "[0] " : " ");
    }
    return out.str();
  }

  // Appends `body` with its jump operands counted from the body's start.
  static void place(std::vector<Instruction>& code, const std::vector<Instruction>& body) {
    const auto base = static_cast<int32_t>(code.size());
    for (Instruction ins : body) {
      if (ins.op == +Op::JMP || ins.op == +Op::JZ || ins.op == +Op::JNZ) ins.operand += base;
      code.push_back(ins);
    }
  }
  void stepStatement(std::vector<Instruction>& code, std::string_view name) const {
    for (const Instruction& ins : {op(Op::PUT), op(Op::LDA, id(name)), op(Op::DUP), op(Op::IND), op(Op::INC),
                                   op(Op::STO), op(Op::DEC), op(Op::POT)}) {
      code.push_back(ins);
    }
  }

  // for (k = 0; k < passes; k++) body
  std::vector<Instruction> looped(const std::vector<Instruction>& body, int32_t passes) const {
    std::vector<Instruction> code{op(Op::PUT), op(Op::LDA, id("k")), op(Op::LDC, 0), op(Op::STO), op(Op::POT)};
    const auto top = static_cast<int32_t>(code.size());
    code.insert(code.end(), {op(Op::LOD, id("k")), op(Op::LDC, passes), op(Op::LEFT), op(Op::JZ, 0)});
    const std::size_t exitJump = code.size() - 1;
    place(code, body);
    stepStatement(code, "k");
    code.push_back(op(Op::JMP, top));
    code[exitJump].operand = static_cast<int32_t>(code.size());
    return code;
  }
  // k = passes; body; body; ... without a jump back.
  std::vector<Instruction> unrolled(const std::vector<Instruction>& body, int32_t passes) const {
    std::vector<Instruction> code{op(Op::PUT), op(Op::LDA, id("k")), op(Op::LDC, passes), op(Op::STO), op(Op::POT)};
    for (int32_t i = 0; i < passes; ++i) place(code, body);
    return code;
  }

  // Runs code whose jumps count from its first instruction: status, what
  // it left on the stack, the errors and the locals.
  std::string exec(const std::vector<Instruction>& code) {
    ui.clearRecord();
    const int32_t start = engine.program().next();
    for (Instruction ins : code) {
      if (ins.op == +Op::JMP || ins.op == +Op::JZ || ins.op == +Op::JNZ) ins.operand += start;
      EXPECT_GE(engine.program().append(ins), 0);
    }
    const int32_t depth = engine.stack().depth();
    std::ostringstream out;
    out << "status " << engine.run(start, engine.program().next()) << " | stack";
    for (int32_t i = depth; i < engine.stack().depth(); ++i) out << " [" << show(*engine.stack().at(i)) << "]";
    engine.stack().setDepth(depth);
    engine.program().cutBack(start);
    out << " | errors";
    for (const std::string& e : errors()) out << " [" << e << "]";
    out << " | " << locals();
    return out.str();
  }

  struct Start {
    std::string_view name;
    Entry value;
  };
  // Runs the body in a loop and unrolled from the same locals.
  void expectSameBothWays(const std::vector<Instruction>& body, const std::vector<Start>& start, int32_t passes,
                          const std::string& what) {
    clearLocals();
    for (const Start& s : start) setLocal(s.name, s.value);
    const std::string inLoop = exec(looped(body, passes));
    clearLocals();
    for (const Start& s : start) setLocal(s.name, s.value);
    const std::string straight = exec(unrolled(body, passes));
    EXPECT_EQ(inLoop, straight) << what;
  }

  static constexpr const char* kScalars[] = {"c", "uc", "h", "uh", "i", "u", "f", "d"};
  // Start values near the limits of the narrow types and of int.
  std::vector<Start> edgeValues() const {
    return {{"c", Entry::ofInt(126)},      {"uc", Entry::ofInt(254)}, {"h", Entry::ofInt(-32767)},
            {"uh", Entry::ofInt(65534)},   {"i", Entry::ofInt(INT_MAX - 1)}, {"s", Entry::ofInt(INT_MIN + 1)},
            {"u", Entry::ofUnsigned(UINT_MAX)}, {"f", Entry::ofFloat(1.5f)}, {"d", Entry::ofDouble(-2.25)}};
  }
};

TEST_F(LoopTest, ArithmeticGroupsWrapPromoteAndConvertAsTheirOperations) {
  const Op arithmetic[] = {Op::SUB, Op::ADD, Op::MUL};
  for (const char* x : kScalars) {
    for (const char* y : kScalars) {
      for (const Op bin : arithmetic) {
        const std::string what = std::string(x) + " = " + x + " " + std::string(mnemonic(+bin)) + " " + y;
        // two locals
        expectSameBothWays({op(Op::PUT), op(Op::LDA, id(x)), op(Op::LOD, id(x)), op(Op::LOD, id(y)), op(bin),
                            op(Op::STO), op(Op::POT)},
                           edgeValues(), 3, what);
      }
    }
    for (const Op bin : arithmetic) {
      const std::string what = std::string(x) + " with constants, " + std::string(mnemonic(+bin));
      // a local and an int constant, a float constant, then the top and constants of both kinds
      expectSameBothWays({op(Op::PUT), op(Op::LDA, id(x)), op(Op::LOD, id(x)), op(Op::LDC, -3), op(bin), op(Op::STO),
                          op(Op::POT), op(Op::PUT), op(Op::LDA, id("f")), op(Op::LOD, id(x)),
                          op(Op::LDF, floatBits(0.5f)), op(bin), op(Op::LDF, floatBits(1.25f)), op(bin), op(Op::LDC, 7),
                          op(bin), op(Op::STO), op(Op::POT)},
                         edgeValues(), 3, what);
    }
  }
  // The benchmark's loops, checked for their values too.
  clearLocals();
  EXPECT_EQ(exec(looped({op(Op::PUT), op(Op::LDA, id("s")), op(Op::LOD, id("s")), op(Op::LOD, id("k")), op(Op::ADD),
                         op(Op::STO), op(Op::POT)},
                        10)),
            "status 0 | stack | errors | c=char 0 uc=uchar 0 h=short 0 uh=ushort 0 i=int 0 s=int 45 k=int 10 u=uint 0 "
            "f=float 0 d=double 0 a=int 0[0] ");
  setLocal("i", Entry::ofInt(INT_MAX));
  exec(looped({op(Op::PUT), op(Op::LDA, id("i")), op(Op::LOD, id("i")), op(Op::LDC, 1), op(Op::ADD), op(Op::STO),
               op(Op::POT)},
              2));
  EXPECT_EQ(show(loadValue(engine.symbols()[4].bytes(), +TypeCode::Int)), "int -2147483647");
}

TEST_F(LoopTest, ComparisonGroupsBranchAsTheirOperations) {
  const Op comparisons[] = {Op::LEFT, Op::RIGHT, Op::LE, Op::GE, Op::EQ, Op::NEQ};
  for (const char* x : kScalars) {
    for (const Op cmp : comparisons) {
      for (const Op jump : {Op::JZ, Op::JNZ}) {
        for (const Instruction constant : {op(Op::LDC, 125), op(Op::LDC, -1), op(Op::LDF, floatBits(1.5f))}) {
          // if (x cmp constant) s++;  x = x - 1;  the same with x against an int and a float local
          std::vector<Instruction> body{op(Op::LOD, id(x)), constant, op(cmp), op(jump, 12)};
          stepStatement(body, "s");
          body.insert(body.end(), {op(Op::PUT), op(Op::LDA, id(x)), op(Op::LOD, id(x)), op(Op::LDC, 1), op(Op::SUB),
                                   op(Op::STO), op(Op::POT), op(Op::LOD, id(x)), op(Op::LOD, id("i")), op(cmp),
                                   op(jump, 31)});
          stepStatement(body, "h");
          body.insert(body.end(), {op(Op::LOD, id(x)), op(Op::LOD, id("f")), op(cmp), op(jump, 43)});
          stepStatement(body, "uh");
          const std::string what = std::string(x) + " " + std::string(mnemonic(+cmp)) + " " +
                                   std::string(mnemonic(constant.op)) + " " + std::to_string(constant.operand) + ", " +
                                   std::string(mnemonic(+jump));
          expectSameBothWays(body, edgeValues(), 4, what);
        }
      }
    }
  }
  // A jump to the end of the range leaves the loop and the run.
  clearLocals();
  EXPECT_EQ(exec({op(Op::LOD, id("i")), op(Op::LDC, 5), op(Op::LEFT), op(Op::JZ, 13), op(Op::PUT),
                  op(Op::LDA, id("i")), op(Op::DUP), op(Op::IND), op(Op::INC), op(Op::STO), op(Op::DEC), op(Op::POT),
                  op(Op::JMP, 0)})
                .substr(0, 28),
            "status 0 | stack | errors | ");
  EXPECT_EQ(show(loadValue(engine.symbols()[4].bytes(), +TypeCode::Int)), "int 5");
}

TEST_F(LoopTest, IncrementStatementsOnEveryKindOfTarget) {
  for (const char* x : {"c", "uc", "h", "uh", "i", "u", "f", "d", "a", "dev", "nothing"}) {
    for (const Op first : {Op::INC, Op::DEC}) {
      for (const bool postfix : {true, false}) {
        std::vector<Instruction> body{op(Op::PUT), op(Op::LDA, id(x)), op(Op::DUP), op(Op::IND), op(first),
                                      op(Op::STO)};
        if (postfix) body.push_back(op(first == Op::INC ? Op::DEC : Op::INC));
        body.push_back(op(Op::POT));
        expectSameBothWays(body, edgeValues(), 3,
                           std::string(x) + " " + std::string(mnemonic(+first)) + (postfix ? " postfix" : " prefix"));
      }
    }
  }
}

// Every slot starts where a jump may land: a jump to the middle of a group
// runs the operations from there on.
TEST_F(LoopTest, JumpsIntoTheMiddleOfAGroup) {
  std::vector<Instruction> body;
  stepStatement(body, "u");
  // if (u & 1) { push s; enter the comparison below after its LOD } else the whole comparison
  body.insert(body.end(), {op(Op::LOD, id("u")), op(Op::LDC, 1), op(Op::AND), op(Op::JZ, 15), op(Op::LOD, id("s")),
                           op(Op::JMP, 16), op(Op::HALT), op(Op::LOD, id("u")), op(Op::LDC, 5), op(Op::LEFT),
                           op(Op::JZ, 27)});
  stepStatement(body, "i");
  // a statement marker pushed on its own, then a jump to the LDA of an increment statement
  body.insert(body.end(), {op(Op::PUT), op(Op::JMP, 30)});
  stepStatement(body, "s");
  // a jump to the POT of an assignment's end: h keeps its value
  body.insert(body.end(), {op(Op::PUT), op(Op::LDA, id("h")), op(Op::LDC, 2), op(Op::JMP, 43), op(Op::LDC, 0),
                           op(Op::STO), op(Op::POT)});
  expectSameBothWays(body, {{"s", Entry::ofInt(3)}}, 6, "jumps into groups");
  // and the values, once
  clearLocals();
  setLocal("s", Entry::ofInt(3));
  exec(looped(body, 6));
  EXPECT_EQ(locals(), "c=char 0 uc=uchar 0 h=short 0 uh=ushort 0 i=int 3 s=int 9 k=int 6 u=uint 6 f=float 0 "
                      "d=double 0 a=int 0[0] ");
}

// Groups that would push past the 4,096 entries, or pop below the run's
// floor, report what their operations report.
TEST_F(LoopTest, AFullStackAndTheFloorInsideLoops) {
  std::vector<Instruction> groups[] = {
      {op(Op::PUT), op(Op::LDA, id("s")), op(Op::LOD, id("s")), op(Op::LOD, id("i")), op(Op::ADD), op(Op::STO),
       op(Op::POT)},
      {op(Op::PUT), op(Op::LDA, id("f")), op(Op::LOD, id("f")), op(Op::LDF, floatBits(0.5f)), op(Op::MUL),
       op(Op::LDF, floatBits(1.25f)), op(Op::ADD), op(Op::STO), op(Op::POT)},
      {op(Op::LOD, id("i")), op(Op::LDC, 3), op(Op::LEFT), op(Op::JZ, 4)},
      {op(Op::LOD, id("f")), op(Op::LDF, floatBits(0.5f)), op(Op::MUL), op(Op::POP)},
      {op(Op::LOD, id("s")), op(Op::LDC, 3), op(Op::ADD), op(Op::POP)},
      {op(Op::LOD, id("s")), op(Op::LOD, id("i")), op(Op::ADD), op(Op::POP)},
      {op(Op::LDC, 1), op(Op::ADD), op(Op::LDF, floatBits(1.0f)), op(Op::MUL)},
      {},
  };
  stepStatement(groups[7], "i");
  engine.stack().push(Entry::marker());
  engine.stack().push(Entry::ofInt(42));
  // The loop's own code keeps 8 entries; each body fills all but `room` of
  // them under a marker of its own, which cleans up whatever a group that
  // ran out of room left behind.
  const int32_t below = engine.stack().depth();
  while (engine.stack().depth() < ValueStack::kCapacity - 8) engine.stack().push(Entry::ofInt(7));
  for (int32_t room = 0; room <= 5; ++room) {
    for (const auto& group : groups) {
      std::vector<Instruction> body{op(Op::PUT)};
      for (int32_t i = 0; i < 7 - room; ++i) body.push_back(op(Op::LDC, 7));
      place(body, group);
      body.push_back(op(Op::POT));
      expectSameBothWays(body, edgeValues(), 3, "room " + std::to_string(room));
    }
  }
  engine.stack().setDepth(below);
  // Bodies that take more than they push: what the caller left stays.
  const std::vector<Instruction> takers[] = {
      {op(Op::LDC, 1), op(Op::ADD), op(Op::POP)},
      {op(Op::LDF, floatBits(1.0f)), op(Op::MUL), op(Op::POP)},
      {op(Op::STO), op(Op::POT)},
      {op(Op::LDA, id("s")), op(Op::LDC, 4), op(Op::STO), op(Op::POT)},
  };
  for (const auto& body : takers) expectSameBothWays(body, edgeValues(), 3, "taking");
  ASSERT_EQ(engine.stack().depth(), 2);
  EXPECT_EQ(show(*engine.stack().at(0)), "kind 5 int 0");
  EXPECT_EQ(show(*engine.stack().at(1)), "int 42");
}

TEST_F(LoopTest, AStopEndsATightLoopOfGroups) {
  const std::vector<Instruction> loops[] = {
      // while (i == 0);  one comparison group jumping to itself
      {op(Op::LOD, id("i")), op(Op::LDC, 0), op(Op::EQ), op(Op::JNZ, 0)},
      // for (;;) i++;
      {op(Op::PUT), op(Op::LDA, id("i")), op(Op::DUP), op(Op::IND), op(Op::INC), op(Op::STO), op(Op::DEC),
       op(Op::POT), op(Op::JMP, 0)},
  };
  for (const auto& code : loops) {
    clearLocals();
    std::atomic<bool> done{false};
    std::thread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      while (!done) {
        engine.requestStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
    const std::string outcome = exec(code);
    done = true;
    stopper.join();
    EXPECT_EQ(outcome.substr(0, 9), "status -2");
    EXPECT_EQ(outcome.find("error"), outcome.find("errors |"));  // no message
  }
}

// A built-in may change the code of the loop that calls it, or run a loop
// of its own; the loop goes on with the code as it now stands.
TEST_F(LoopTest, BuiltinsThatChangeTheRunningLoopOrRunOneOfTheirOwn) {
  int calls = 0;
  int32_t start = 0;
  probe = [&] {
    if (++calls == 3) engine.program().setOperand(start + 6, 5);  // the loop's bound: 1000 becomes 5
    // a loop of its own behind the running code: u += 2 three times
    const int32_t at = engine.program().next();
    std::vector<Instruction> inner{op(Op::PUT), op(Op::LDA, id("i")), op(Op::LDC, 0), op(Op::STO), op(Op::POT)};
    inner.insert(inner.end(), {op(Op::LOD, id("i")), op(Op::LDC, 3), op(Op::LEFT), op(Op::JZ, 0)});
    for (int n = 0; n < 2; ++n) stepStatement(inner, "u");
    stepStatement(inner, "i");
    inner.push_back(op(Op::JMP, 5));
    inner[8].operand = static_cast<int32_t>(inner.size());
    for (Instruction ins : inner) {
      if (ins.op == +Op::JMP || ins.op == +Op::JZ) ins.operand += at;
      engine.program().append(ins);
    }
    engine.run(at, engine.program().next());
    engine.program().cutBack(at);
  };
  clearLocals();
  start = engine.program().next();
  const std::string outcome =
      exec(looped({op(Op::FUNC, static_cast<int32_t>(BuiltinId::BeginWaitCursor)), op(Op::POP), op(Op::PUT),
                   op(Op::LDA, id("s")),
                   op(Op::LOD, id("s")), op(Op::LOD, id("k")), op(Op::ADD), op(Op::STO), op(Op::POT)},
                  1000));
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(outcome, "status 0 | stack | errors | c=char 0 uc=uchar 0 h=short 0 uh=ushort 0 i=int 3 s=int 10 k=int 5 "
                     "u=uint 30 f=float 0 d=double 0 a=int 0[0] ");
}

}  // namespace
}  // namespace tavrin::methods::testing
