// The engine's state and the pieces that share it: the compiler
// (compiler.cpp), the machine (machine.cpp) and the method runner
// (engine.cpp).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "methods/engine.h"
#include "ui/user_interface.h"

namespace tavrin::methods {

// Case labels of one switch statement, in the order they occur in its body.
struct CaseLabel {
  enum Kind : int32_t { Case = 1, Default = 2 };
  int32_t kind = Case;
  int32_t constant = 0;
  int32_t address = 0;
};

// An open loop or switch while its body compiles.
struct JumpContext {
  bool isSwitch = false;
  int32_t caseCount = 0;
  int32_t continueTarget = 0;
  int32_t breakTarget = 0;
  // Statement markers open around the context's body: a jump out of nested
  // statements removes the markers they pushed before it leaves.
  int32_t markers = 0;
};

struct JumpContexts {
  static constexpr int32_t kDepth = 32;
  static constexpr int32_t kCases = 256;

  std::array<JumpContext, kDepth> open{};
  std::vector<CaseLabel> cases = std::vector<CaseLabel>(kDepth * kCases);
  int32_t current = -1;

  bool full() const { return current + 1 >= kDepth; }
  CaseLabel* caseList(int32_t context) { return &cases[static_cast<std::size_t>(context) * kCases]; }
};

struct RunResult {
  int32_t status = 0;
  bool stopped = false;  // ended by a stop request, here or in a called method
};

// One slot of the execution form a loop runs from: where the slot's code
// starts (its own operation, or a fused group that begins there) and a copy
// of its instruction. Every slot keeps a start of its own, so a jump may land
// anywhere, also between the operations of a group.
struct Step {
  const void* handler = nullptr;
  Instruction ins;
};

// How one mode of the machine ended: the run is over, or it goes on in the
// other mode at `pc`.
struct Handover {
  bool done = false;
  RunResult result;
  int32_t pc = 0;
  int32_t status = 0;
};

struct MethodOutcome {
  int result = 1;
  int32_t status = 0;
  bool stopped = false;
};

// Limits the depth of the recursive walkers, so that a deeply nested tree in
// a description file cannot exhaust the thread's stack.
inline constexpr int32_t kMaxNesting = 400;

struct MethodEngine::Impl {
  Impl(MethodEngine& self, ui::UserInterface& ui, MethodModel& model)
      : self(self), ui(ui), model(model), stack(ui) {}

  MethodEngine& self;
  ui::UserInterface& ui;
  MethodModel& model;
  ValueStack stack;
  ProgramSpace program;
  SymbolTable symbols;
  BuiltinTable builtins;
  JumpContexts contexts;
  int32_t level = 0;
  int32_t nesting = 0;  // open walker levels, compiling and evaluating
  int32_t runDepth = 0;
  std::vector<std::vector<int32_t>> abortLists;
  // Abort chains running, and the methods that ran as abort methods since
  // the outermost one began.
  int32_t abortChains = 0;
  std::vector<int32_t> abortMethodsRun;
  // Execution forms of the loops running, innermost last.
  std::vector<std::vector<Step>> stepBuffers;
  int32_t steppedRuns = 0;

  // A stop is pending while stopRequests differs from stopsSeen. Only the
  // counter is touched on the hot path; the stop source serves built-ins
  // that wait and is replaced once a stop has been dealt with.
  std::atomic<uint32_t> stopRequests{0};
  uint32_t stopsSeen = 0;
  std::mutex stopMutex;
  std::stop_source stopSource;

  bool stopPending() const { return stopRequests.load(std::memory_order_relaxed) != stopsSeen; }
  void acknowledgeStop();

  // machine.cpp
  RunResult run(int32_t from, int32_t to);
  RunResult execute(int32_t from, int32_t to);
  template <bool kStepped>
  Handover interpret(int32_t from, int32_t to, int32_t pc, int32_t status, Step* steps);
  // Inlined into the machine's cases with the operation as a constant.
  [[gnu::always_inline]] inline void binary(Op op);
  [[gnu::always_inline]] inline void unary(Op op);
  [[gnu::always_inline]] inline void store();
  void indexAddress();
  [[gnu::always_inline]] inline void loadIndirect();
  [[gnu::always_inline]] inline void loadLocal(int32_t identifier, bool address);
  void storeSlow();
  void loadIndirectSlow();
  RunResult callBuiltin(int32_t number);
  // Makes sure that `count` operands are on the stack above the floor.
  void operands(int32_t count) {
    if (stack.available() < count) [[unlikely]] {
      missingOperands(count);
    }
  }
  void missingOperands(int32_t count);

  // engine.cpp
  MethodOutcome runMethodObject(const EddNode& root);
  MethodOutcome runBody(const EddNode* compound);
  MethodOutcome runMethodId(int32_t id);
  void tagMismatch(int32_t found, int32_t expected);
  std::string text(int32_t index) const { return std::string(model.text(index)); }
};

// Formats one of the texts with a single "%s".
std::string withText(std::string_view pattern, std::string_view value);

// Compiles trees into the program space. One compiler per body or
// expression; compilers nest when the reference resolver evaluates an index
// expression in the middle of another expression.
class Compiler {
 public:
  enum class Mode { Method, Description };
  Compiler(MethodEngine::Impl& engine, Mode mode);
  ~Compiler();
  Compiler(const Compiler&) = delete;
  Compiler& operator=(const Compiler&) = delete;

  void methodBody(const EddNode* compound);
  void expressionList(const EddNode* node);
  int32_t constant(const EddNode* node);
  // A table overflowed or the tree nested too deeply: the code is incomplete
  // and must not run.
  bool failed() const { return failed_; }

 private:
  class Nesting;

  int32_t emit(Op op, int32_t operand = 0);
  int32_t here() const { return e_.program.next(); }
  void patch(int32_t at, int32_t target);
  bool checkTag(const EddNode* node, uint16_t expected);
  void error(std::string_view text) { e_.ui.errorBox(text); }

  // statements
  void compound(const EddNode* node);
  void declaration(const EddNode* node);
  int32_t specifiers(const EddNode* node);
  void declarator(const EddNode* node, int32_t type);
  void statement(const EddNode* node);
  void wrapped(const EddNode* node);
  void ifStatement(const EddNode* node);
  void loop(const EddNode* node);
  void switchStatement(const EddNode* node);
  void caseLabel(const EddNode* node);
  void defaultLabel(const EddNode* node);
  void jumpStatement(const EddNode* node);
  void jumpOut(const JumpContext& context, int32_t target);
  int32_t innermostSwitch() const;
  int32_t pushContext(bool isSwitch, int32_t continueTarget, int32_t breakTarget);
  void popContext();
  void expressionStatement(const EddNode* node);

  // method expressions
  void expression(const EddNode* node, bool wantAddress);
  void assignment(const EddNode* node, Op op);
  void increment(const EddNode* node, Op op, bool postfix);
  int32_t subscriptChain(const EddNode* node, const Symbol*& symbol);
  void subscript(const EddNode* node, bool wantAddress);
  void call(const EddNode* node);

  // description expressions
  void descriptionExpression(const EddNode* node, bool wantAddress);
  void reference(const EddNode* node);

  MethodEngine::Impl& e_;
  Mode mode_;
  int32_t start_;
  int32_t contextBase_;
  bool failed_ = false;
  bool spaceReported_ = false;
  int32_t markers_ = 0;
};

}  // namespace tavrin::methods
