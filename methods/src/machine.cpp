// The stack machine: executes program-space instructions on the value stack.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "edd/tags.h"
#include "engine_impl.h"
#include "messages.h"

namespace tavrin::methods {
namespace {

bool usesLargerType(Op op) {
  switch (op) {
    case Op::SUB:
    case Op::ADD:
    case Op::MUL:
    case Op::DIV:
    case Op::LEFT:
    case Op::RIGHT:
    case Op::LE:
    case Op::GE:
    case Op::EQ:
    case Op::NEQ:
      return true;
    default:
      return false;
  }
}

Entry truth(bool value, TypeCode type) { return Entry::integer(type, value ? 1 : 0); }

template <typename T>
Entry comparison(Op op, T a, T b) {
  switch (op) {
    case Op::LEFT:
      return truth(a < b, TypeCode::UnsignedInt);
    case Op::RIGHT:
      return truth(a > b, TypeCode::Int);
    case Op::LE:
      return truth(a <= b, TypeCode::Int);
    case Op::GE:
      return truth(a >= b, TypeCode::Int);
    case Op::EQ:
      return truth(a == b, TypeCode::Int);
    default:
      return truth(a != b, TypeCode::Int);
  }
}

bool isComparison(Op op) {
  return op == Op::LEFT || op == Op::RIGHT || op == Op::LE || op == Op::GE || op == Op::EQ || op == Op::NEQ;
}

template <typename F>
F floating(F a, F b, Op op) {
  switch (op) {
    case Op::ADD:
      return a + b;
    case Op::SUB:
      return a - b;
    case Op::MUL:
      return a * b;
    default:
      return a / b;
  }
}

}  // namespace

std::string withText(std::string_view pattern, std::string_view value) {
  std::string out(pattern);
  const auto at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, value);
  return out;
}

// Each run sees only what it pushed itself: the floor keeps a faulty
// expression or a called method from popping its caller's entries.
RunResult MethodEngine::Impl::run(int32_t from, int32_t to) {
  ++runDepth;
  const int32_t savedFloor = stack.setFloor(stack.depth());
  RunResult result = execute(from < 0 ? 0 : from, to > ProgramSpace::kSlots ? ProgramSpace::kSlots : to);
  stack.setFloor(savedFloor);
  --runDepth;
  if (result.status == run_status::Abort && stopPending()) result.stopped = true;
  return result;
}

// Operations work on the stack's slots in place: the entries are 32 bytes,
// and copying them through temporaries costs more than the operation.
//
// Code runs in two modes. Straight-line code, an expression or a method
// without loops, runs from the program space as it stands. The first jump
// back, which makes a loop, copies the range into an execution form: each
// slot starts either at its own operation or at a fused group for a
// sequence the compiler emits often (a local compared with a constant or
// another local and a jump, a statement's marker and target, a local's
// increment as a statement, ...), so that most of a pass costs one
// dispatch per group. A group does what its operations would do one after
// the other; where its fast case does not apply (another type, a stack near
// full, a stop pending) it runs its first operation alone and goes on from
// the next slot, which has a start of its own.
RunResult MethodEngine::Impl::execute(int32_t from, int32_t to) {
  // A stop is looked for before the first instruction, at every jump and
  // after every call: every loop jumps, so none runs on past a request, and
  // straight-line code between them is short.
  if (stopPending()) [[unlikely]] {
    return {run_status::Abort, true};
  }
  Handover h = interpret<false>(from, to, from, 0, nullptr);
  while (!h.done) {
    if (static_cast<std::size_t>(steppedRuns) >= stepBuffers.size()) stepBuffers.emplace_back();
    std::vector<Step>& buffer = stepBuffers[static_cast<std::size_t>(steppedRuns)];
    buffer.resize(static_cast<std::size_t>(to - from) + 1);
    Step* const steps = buffer.data();  // stays put when the outer vector grows
    ++steppedRuns;
    // Changes to the copied code are looked for after every call; a run
    // nested inside keeps the mark of those it saw for this one.
    const int32_t mark = program.setLowestChange(ProgramSpace::kSlots);
    h = interpret<true>(from, to, h.pc, h.status, steps);
    program.setLowestChange(std::min(mark, program.lowestChange()));
    --steppedRuns;
    if (h.done) break;
    h = interpret<false>(from, to, h.pc, h.status, nullptr);
  }
  return h.result;
}

namespace {

template <Op op, typename T>
[[gnu::always_inline]] inline bool holds(T a, T b) {
  switch (op) {
    case Op::LEFT:
      return a < b;
    case Op::RIGHT:
      return a > b;
    case Op::LE:
      return a <= b;
    case Op::GE:
      return a >= b;
    case Op::EQ:
      return a == b;
    default:
      return a != b;
  }
}

// Integer arithmetic as binary() does it: on the operands' 64-bit
// extensions, the result read back at the width of its type.
template <Op op>
[[gnu::always_inline]] inline uint64_t wrapped(int32_t a, int32_t b) {
  const auto ua = static_cast<uint64_t>(static_cast<int64_t>(a));
  const auto ub = static_cast<uint64_t>(static_cast<int64_t>(b));
  if constexpr (op == Op::ADD) return ua + ub;
  if constexpr (op == Op::SUB) return ua - ub;
  return ua * ub;
}

template <typename T>
[[gnu::always_inline]] inline T readLocal(const Symbol& s) {
  T v;
  std::memcpy(&v, s.storage.get(), sizeof v);
  return v;
}

}  // namespace

template <bool kStepped>
Handover MethodEngine::Impl::interpret(int32_t from, int32_t to, int32_t pc, int32_t status, Step* steps) {
#define TAVRIN_FINISH(runStatus, wasStopped) \
  return Handover { true, RunResult{runStatus, wasStopped}, 0, 0 }
  // Compiled code only jumps inside itself; anything else is refused rather
  // than followed into code that belongs to another run.
  const auto jumpTo = [&](int32_t target) {
    if (target < from || target > to) {
      ui.errorBox(msg::JumpTarget);
      return false;
    }
    pc = target;
    return true;
  };
  // A jump back starts a loop: from here on it runs from the execution form.
#define TAVRIN_JUMP(target)                                              \
  do {                                                                   \
    const int32_t jumpAt = pc - 1;                                       \
    if (!jumpTo(target)) TAVRIN_FINISH(run_status::ErrorStop, false);    \
    if constexpr (!kStepped) {                                           \
      if (pc <= jumpAt) return Handover{false, RunResult{}, pc, status}; \
    }                                                                    \
  } while (false)
#define TAVRIN_STOP_POINT()                 \
  if (stopPending()) [[unlikely]] {         \
    TAVRIN_FINISH(run_status::Abort, true); \
  }
  // After a call the copied code is checked against the program space: a
  // built-in may have rewritten it, and the run follows the code as it now
  // stands.
#define TAVRIN_AFTER_CALL()                            \
  if constexpr (kStepped) {                            \
    if (program.lowestChange() < to) [[unlikely]] {    \
      return Handover{false, RunResult{}, pc, status}; \
    }                                                  \
  }
  // The slots never move: compiling a called method only appends to them.
  const Instruction* const code = &program[0];
  // Threaded dispatch: every operation ends with its own jump to the next
  // one, which the processor predicts far better than one shared jump. The
  // table comes from the operation list, so an operation without a label
  // fails to compile.
#define TAVRIN_OP_LABEL(code, name) &&op_##name,
  static const void* const kDispatch[] = {TAVRIN_METHOD_OPERATIONS(TAVRIN_OP_LABEL)};
#undef TAVRIN_OP_LABEL
  // Fused groups; comparisons and arithmetic by their operation codes
  // (LEFT to NEQ and SUB to MUL run without gaps).
  static const void* const kTestInt[] = {&&test_int_LEFT, &&test_int_RIGHT, &&test_int_LE,
                                         &&test_int_GE,   &&test_int_EQ,    &&test_int_NEQ};
  static const void* const kTestFloat[] = {&&test_float_LEFT, &&test_float_RIGHT, &&test_float_LE,
                                           &&test_float_GE,   &&test_float_EQ,    &&test_float_NEQ};
  static const void* const kTestPair[] = {&&test_pair_LEFT, &&test_pair_RIGHT, &&test_pair_LE,
                                          &&test_pair_GE,   &&test_pair_EQ,    &&test_pair_NEQ};
  static const void* const kPair[] = {&&pair_SUB, &&pair_ADD, &&pair_MUL};
  static const void* const kLocalInt[] = {&&local_int_SUB, &&local_int_ADD, &&local_int_MUL};
  static const void* const kLocalFloat[] = {&&local_float_SUB, &&local_float_ADD, &&local_float_MUL};
  static const void* const kTopInt[] = {&&top_int_SUB, &&top_int_ADD, &&top_int_MUL};
  static const void* const kTopFloat[] = {&&top_float_SUB, &&top_float_ADD, &&top_float_MUL};
  static const void* const kOthers[] = {&&mark_address, &&store_statement, &&step_statement_7, &&step_statement_8,
                                        &&range_end, &&op_invalid};
  static_assert(+Op::NEQ - +Op::LEFT == 5 && +Op::MUL - +Op::SUB == 2);

  // A scalar local of the running method holding a value of `type`.
  const auto local = [&](int32_t identifier, int32_t type) -> Symbol* {
    Symbol* s = symbols.find(identifier, level);
    return s && !s->isArray && s->type == type && s->size >= typeSize(type) ? s : nullptr;
  };
  if constexpr (kStepped) {
    const int32_t n = to - from;
    for (int32_t i = 0; i < n; ++i) steps[i].ins = code[from + i];
    steps[n] = {kOthers[4], {}};
    const auto opAt = [&](int32_t i) { return i < n ? steps[i].ins.op : -1; };
    const auto among = [](int32_t op, Op first, Op last) { return op >= +first && op <= +last; };
    const auto isConstant = [](int32_t op) { return op == +Op::LDC || op == +Op::LDF; };
    for (int32_t i = 0; i < n; ++i) {
      const int32_t op = opAt(i);
      const bool known = static_cast<uint32_t>(op) < static_cast<uint32_t>(kOperationCount);
      const void* handler = known ? kDispatch[op] : kOthers[5];
      const int32_t op1 = opAt(i + 1);
      const int32_t op2 = opAt(i + 2);
      const int32_t op3 = opAt(i + 3);
      if (op == +Op::PUT && op1 == +Op::LDA) {
        handler = kOthers[0];
        if (op2 == +Op::DUP && op3 == +Op::IND && among(opAt(i + 4), Op::INC, Op::DEC) && opAt(i + 5) == +Op::STO) {
          if (opAt(i + 6) == +Op::POT) {
            handler = kOthers[2];
          } else if (among(opAt(i + 6), Op::INC, Op::DEC) && opAt(i + 7) == +Op::POT) {
            handler = kOthers[3];
          }
        }
      } else if (op == +Op::LOD && isConstant(op1) && among(op2, Op::LEFT, Op::NEQ) &&
                 (op3 == +Op::JZ || op3 == +Op::JNZ) && steps[i + 3].ins.operand >= from &&
                 steps[i + 3].ins.operand <= to) {
        handler = (op1 == +Op::LDC ? kTestInt : kTestFloat)[op2 - +Op::LEFT];
      } else if (op == +Op::LOD && op1 == +Op::LOD && among(op2, Op::LEFT, Op::NEQ) &&
                 (op3 == +Op::JZ || op3 == +Op::JNZ) && steps[i + 3].ins.operand >= from &&
                 steps[i + 3].ins.operand <= to) {
        handler = kTestPair[op2 - +Op::LEFT];
      } else if (op == +Op::LOD && isConstant(op1) && among(op2, Op::SUB, Op::MUL)) {
        handler = (op1 == +Op::LDC ? kLocalInt : kLocalFloat)[op2 - +Op::SUB];
      } else if (op == +Op::LOD && op1 == +Op::LOD && among(op2, Op::SUB, Op::MUL)) {
        handler = kPair[op2 - +Op::SUB];
      } else if (isConstant(op) && among(op1, Op::SUB, Op::MUL)) {
        handler = (op == +Op::LDC ? kTopInt : kTopFloat)[op1 - +Op::SUB];
      } else if (op == +Op::STO && op1 == +Op::POT) {
        handler = kOthers[1];
      }
      steps[i].handler = handler;
    }
  }

  Instruction ins;
  const Step* step = nullptr;
#define TAVRIN_DISPATCH()                                                                         \
  do {                                                                                            \
    if constexpr (kStepped) {                                                                     \
      step = &steps[pc - from];                                                                   \
      ins = step->ins;                                                                            \
      ++pc;                                                                                       \
      goto* step->handler;                                                                        \
    } else {                                                                                      \
      if (pc >= to) TAVRIN_FINISH(status, false);                                                 \
      ins = code[pc];                                                                             \
      if (static_cast<uint32_t>(ins.op) >= static_cast<uint32_t>(kOperationCount)) [[unlikely]] { \
        goto op_invalid;                                                                          \
      }                                                                                           \
      ++pc;                                                                                       \
      goto* kDispatch[ins.op];                                                                    \
    }                                                                                             \
  } while (false)
  // The end of a compare-and-jump group: its JZ/JNZ, the group's fourth
  // slot, taken or passed over.
#define TAVRIN_BRANCH(holds)                              \
  do {                                                    \
    if ((holds) == (step[3].ins.op == +Op::JNZ)) {        \
      pc = step[3].ins.operand;                           \
    } else {                                              \
      pc += 3;                                            \
    }                                                     \
    TAVRIN_DISPATCH();                                    \
  } while (false)
  // A group whose fast case does not apply runs its first operation alone.
#define TAVRIN_UNFUSED() goto* kDispatch[ins.op]
  // Fused groups exist in the execution form only.
#define TAVRIN_FUSED_ONLY() \
  if constexpr (!kStepped) __builtin_unreachable()
  TAVRIN_DISPATCH();
      op_STO:
        store();
        TAVRIN_DISPATCH();
      op_LDA:
        loadLocal(ins.operand, true);
        TAVRIN_DISPATCH();
      op_LOD:
        loadLocal(ins.operand, false);
        TAVRIN_DISPATCH();
      op_LDV:
        stack.push(model.variableValue(ins.operand).value_or(Entry{}));
        TAVRIN_DISPATCH();
      op_LDC:
        stack.emplace().set(+TypeCode::Int, static_cast<uint32_t>(ins.operand));
        TAVRIN_DISPATCH();
      op_LDF:
        stack.emplace().set(+TypeCode::Float, static_cast<uint32_t>(ins.operand));
        TAVRIN_DISPATCH();
      op_LDS:
        stack.push(Entry::stringConstant(ins.operand));
        TAVRIN_DISPATCH();
      // Each operation is its own case, so that the operation is a
      // constant inside binary() and unary() and their switches fold away.
#define TAVRIN_BINARY_CASE(name) \
  op_##name:                     \
    binary(Op::name);            \
    TAVRIN_DISPATCH();
      TAVRIN_BINARY_CASE(SUB) TAVRIN_BINARY_CASE(ADD) TAVRIN_BINARY_CASE(MUL) TAVRIN_BINARY_CASE(DIV)
      TAVRIN_BINARY_CASE(MOD) TAVRIN_BINARY_CASE(LSHIFT) TAVRIN_BINARY_CASE(RSHIFT) TAVRIN_BINARY_CASE(LEFT)
      TAVRIN_BINARY_CASE(RIGHT) TAVRIN_BINARY_CASE(LE) TAVRIN_BINARY_CASE(GE) TAVRIN_BINARY_CASE(EQ)
      TAVRIN_BINARY_CASE(NEQ) TAVRIN_BINARY_CASE(AND) TAVRIN_BINARY_CASE(XOR) TAVRIN_BINARY_CASE(OR)
      TAVRIN_BINARY_CASE(ANDAND) TAVRIN_BINARY_CASE(OROR)
#undef TAVRIN_BINARY_CASE
#define TAVRIN_UNARY_CASE(name) \
  op_##name:                    \
    unary(Op::name);            \
    TAVRIN_DISPATCH();
      TAVRIN_UNARY_CASE(INC) TAVRIN_UNARY_CASE(DEC) TAVRIN_UNARY_CASE(NEG) TAVRIN_UNARY_CASE(BNEG)
      TAVRIN_UNARY_CASE(NOT)
#undef TAVRIN_UNARY_CASE
      op_PLUS:
        TAVRIN_DISPATCH();
      op_IXA:
        indexAddress();
        TAVRIN_DISPATCH();
      op_IND:
        loadIndirect();
        TAVRIN_DISPATCH();
      op_DUP:
        operands(1);
        stack.push(stack.fromTop(0));
        TAVRIN_DISPATCH();
      op_JMP:
        TAVRIN_STOP_POINT();
        TAVRIN_JUMP(ins.operand);
        TAVRIN_DISPATCH();
      op_JZ:
      op_JNZ: {
        TAVRIN_STOP_POINT();
        operands(1);
        Entry& e = stack.fromTop(0);
        const bool zero = static_cast<Op>(ins.op) == Op::JZ;
        // A comparison's result: its conversion keeps zero and non-zero
        // apart, so the low word alone decides.
        if (e.type == +TypeCode::Int || e.type == +TypeCode::UnsignedInt) [[likely]] {
          const bool isZero = static_cast<uint32_t>(e.bits) == 0;
          stack.drop(1);
          if (isZero == zero) TAVRIN_JUMP(ins.operand);
          TAVRIN_DISPATCH();
        }
        if (!convert(e, zero ? +TypeCode::Int : +TypeCode::UnsignedInt)) ui.errorBox(msg::UndefinedType);
        const bool isZero = static_cast<uint32_t>(e.bits) == 0 || !isTypeCode(e.type);
        stack.drop(1);
        if (isZero == zero) TAVRIN_JUMP(ins.operand);
        TAVRIN_DISPATCH();
      }
      op_POP:
        stack.pop();
        TAVRIN_DISPATCH();
      op_FUNC: {
        const RunResult r = callBuiltin(ins.operand);
        if (r.status == run_status::ErrorStop || r.status == run_status::Abort) TAVRIN_FINISH(r.status, r.stopped);
        status = r.status;
        TAVRIN_STOP_POINT();
        TAVRIN_AFTER_CALL();
        TAVRIN_DISPATCH();
      }
      op_METHOD: {
        const MethodOutcome called = runMethodId(ins.operand);
        // A called method's status stays its own, but a stop ends every
        // method on the way out.
        if (called.stopped) TAVRIN_FINISH(run_status::Abort, true);
        stack.emplace().set(+TypeCode::Int, 1);
        TAVRIN_STOP_POINT();
        TAVRIN_AFTER_CALL();
        TAVRIN_DISPATCH();
      }
      op_PUT: {
        Entry& marker = stack.emplace();
        marker.set(+TypeCode::Int, 0);
        marker.kind = kind::Marker;
        TAVRIN_DISPATCH();
      }
      op_POT: {
        int32_t i = stack.depth() - 1;
        while (i >= stack.floor() && stack.slot(i).kind != kind::Marker) --i;
        if (i < stack.floor()) {
          ui.errorBox(msg::NoMarker);
        } else {
          stack.setDepth(i);
        }
        TAVRIN_DISPATCH();
      }
      op_HALT:
        TAVRIN_FINISH(status, false);
      op_invalid:
        ui.errorBox(msg::UndefinedOperation);
        TAVRIN_FINISH(run_status::ErrorStop, false);
      range_end:
        TAVRIN_FINISH(status, false);

      // --- fused groups (reached from the execution form only) ---
      // LOD x, LDC/LDF k, comparison, JZ/JNZ t: a loop's condition.
#define TAVRIN_TEST_CASE(name, T, typeCode)                                                       \
  test_##T##_##name : {                                                                           \
    TAVRIN_FUSED_ONLY();                                                                          \
    const Symbol* s = local(ins.operand, +TypeCode::typeCode);                                    \
    if (!s || stack.depth() > ValueStack::kCapacity - 2 || stopPending()) TAVRIN_UNFUSED();       \
    const bool holds_ = holds<Op::name>(readLocal<T>(*s), std::bit_cast<T>(step[1].ins.operand)); \
    TAVRIN_BRANCH(holds_);                                                                        \
  }
      TAVRIN_TEST_CASE(LEFT, int, Int) TAVRIN_TEST_CASE(RIGHT, int, Int) TAVRIN_TEST_CASE(LE, int, Int)
      TAVRIN_TEST_CASE(GE, int, Int) TAVRIN_TEST_CASE(EQ, int, Int) TAVRIN_TEST_CASE(NEQ, int, Int)
      TAVRIN_TEST_CASE(LEFT, float, Float) TAVRIN_TEST_CASE(RIGHT, float, Float) TAVRIN_TEST_CASE(LE, float, Float)
      TAVRIN_TEST_CASE(GE, float, Float) TAVRIN_TEST_CASE(EQ, float, Float) TAVRIN_TEST_CASE(NEQ, float, Float)
#undef TAVRIN_TEST_CASE
      // LOD x, LOD y, comparison, JZ/JNZ t: two locals of the same type, int or float.
#define TAVRIN_TEST_PAIR_CASE(name)                                                             \
  test_pair_##name : {                                                                          \
    TAVRIN_FUSED_ONLY();                                                                        \
    if (stack.depth() > ValueStack::kCapacity - 2 || stopPending()) TAVRIN_UNFUSED();           \
    bool holds_ = false;                                                                        \
    if (const Symbol* a = local(ins.operand, +TypeCode::Int)) {                                 \
      const Symbol* b = local(step[1].ins.operand, +TypeCode::Int);                             \
      if (!b) TAVRIN_UNFUSED();                                                                 \
      holds_ = holds<Op::name>(readLocal<int32_t>(*a), readLocal<int32_t>(*b));                 \
    } else if (const Symbol* fa = local(ins.operand, +TypeCode::Float)) {                       \
      const Symbol* fb = local(step[1].ins.operand, +TypeCode::Float);                          \
      if (!fb) TAVRIN_UNFUSED();                                                                \
      holds_ = holds<Op::name>(readLocal<float>(*fa), readLocal<float>(*fb));                   \
    } else {                                                                                    \
      TAVRIN_UNFUSED();                                                                         \
    }                                                                                           \
    TAVRIN_BRANCH(holds_);                                                                      \
  }
      TAVRIN_TEST_PAIR_CASE(LEFT) TAVRIN_TEST_PAIR_CASE(RIGHT) TAVRIN_TEST_PAIR_CASE(LE)
      TAVRIN_TEST_PAIR_CASE(GE) TAVRIN_TEST_PAIR_CASE(EQ) TAVRIN_TEST_PAIR_CASE(NEQ)
#undef TAVRIN_TEST_PAIR_CASE
      // LOD x, LOD y, arithmetic: two locals of the same type, int or float.
#define TAVRIN_PAIR_CASE(name)                                                                                    \
  pair_##name : {                                                                                                 \
    TAVRIN_FUSED_ONLY();                                                                                          \
    if (stack.depth() <= ValueStack::kCapacity - 2) {                                                             \
      if (const Symbol* a = local(ins.operand, +TypeCode::Int)) {                                                 \
        if (const Symbol* b = local(step[1].ins.operand, +TypeCode::Int)) {                                       \
          stack.emplace().set(+TypeCode::Int, wrapped<Op::name>(readLocal<int32_t>(*a), readLocal<int32_t>(*b))); \
          pc += 2;                                                                                                \
          TAVRIN_DISPATCH();                                                                                      \
        }                                                                                                         \
      } else if (const Symbol* fa = local(ins.operand, +TypeCode::Float)) {                                       \
        if (const Symbol* fb = local(step[1].ins.operand, +TypeCode::Float)) {                                    \
          stack.emplace().setFloat(floating(readLocal<float>(*fa), readLocal<float>(*fb), Op::name));             \
          pc += 2;                                                                                                \
          TAVRIN_DISPATCH();                                                                                      \
        }                                                                                                         \
      }                                                                                                           \
    }                                                                                                             \
    TAVRIN_UNFUSED();                                                                                             \
  }
      TAVRIN_PAIR_CASE(SUB) TAVRIN_PAIR_CASE(ADD) TAVRIN_PAIR_CASE(MUL)
#undef TAVRIN_PAIR_CASE
      // LOD x, LDC k or LDF k, arithmetic: a local and a constant of its type.
#define TAVRIN_LOCAL_CASE(name)                                                                                    \
  local_int_##name : {                                                                                             \
    TAVRIN_FUSED_ONLY();                                                                                           \
    const Symbol* s = local(ins.operand, +TypeCode::Int);                                                          \
    if (!s || stack.depth() > ValueStack::kCapacity - 2) TAVRIN_UNFUSED();                                         \
    stack.emplace().set(+TypeCode::Int, wrapped<Op::name>(readLocal<int32_t>(*s), step[1].ins.operand));           \
    pc += 2;                                                                                                       \
    TAVRIN_DISPATCH();                                                                                             \
  }                                                                                                                \
  local_float_##name : {                                                                                           \
    TAVRIN_FUSED_ONLY();                                                                                           \
    const Symbol* s = local(ins.operand, +TypeCode::Float);                                                        \
    if (!s || stack.depth() > ValueStack::kCapacity - 2) TAVRIN_UNFUSED();                                         \
    stack.emplace().setFloat(floating(readLocal<float>(*s), std::bit_cast<float>(step[1].ins.operand), Op::name)); \
    pc += 2;                                                                                                       \
    TAVRIN_DISPATCH();                                                                                             \
  }
      TAVRIN_LOCAL_CASE(SUB) TAVRIN_LOCAL_CASE(ADD) TAVRIN_LOCAL_CASE(MUL)
#undef TAVRIN_LOCAL_CASE
      // LDC k or LDF k, arithmetic: the top entry and a constant of its type.
#define TAVRIN_TOP_CASE(name)                                                                 \
  top_int_##name : {                                                                          \
    TAVRIN_FUSED_ONLY();                                                                      \
    if (stack.available() < 1 || stack.depth() > ValueStack::kCapacity - 1) TAVRIN_UNFUSED(); \
    Entry& e = stack.fromTop(0);                                                              \
    if (e.type != +TypeCode::Int) TAVRIN_UNFUSED();                                           \
    e.set(+TypeCode::Int, wrapped<Op::name>(static_cast<int32_t>(e.bits), ins.operand));      \
    pc += 1;                                                                                  \
    TAVRIN_DISPATCH();                                                                        \
  }                                                                                           \
  top_float_##name : {                                                                        \
    TAVRIN_FUSED_ONLY();                                                                      \
    if (stack.available() < 1 || stack.depth() > ValueStack::kCapacity - 1) TAVRIN_UNFUSED(); \
    Entry& e = stack.fromTop(0);                                                              \
    if (e.type != +TypeCode::Float) TAVRIN_UNFUSED();                                         \
    e.setFloat(floating(e.asFloat(), std::bit_cast<float>(ins.operand), Op::name));           \
    pc += 1;                                                                                  \
    TAVRIN_DISPATCH();                                                                        \
  }
      TAVRIN_TOP_CASE(SUB) TAVRIN_TOP_CASE(ADD) TAVRIN_TOP_CASE(MUL)
#undef TAVRIN_TOP_CASE
      // PUT, LDA a: a statement's marker and the local it assigns.
      mark_address: {
        TAVRIN_FUSED_ONLY();
        Symbol* s = symbols.find(step[1].ins.operand, level);
        if (!s || stack.depth() > ValueStack::kCapacity - 2) TAVRIN_UNFUSED();
        Entry& marker = stack.emplace();
        marker.set(+TypeCode::Int, 0);
        marker.kind = kind::Marker;
        stack.emplace().setAddress(s->bytes(), 0, s->type);
        pc += 1;
        TAVRIN_DISPATCH();
      }
      // STO, POT: the end of an assignment statement, its marker right
      // under the target.
      store_statement: {
        TAVRIN_FUSED_ONLY();
        if (stack.available() < 3) TAVRIN_UNFUSED();
        const Entry& value = stack.fromTop(0);
        const Entry& target = stack.fromTop(1);
        if (target.kind == kind::Address && value.kind == kind::Value && value.type == target.type &&
            isTypeCode(target.type) && target.region != nullptr && target.bits < target.extent &&
            target.extent - target.bits >= typeSize(target.type) && stack.fromTop(2).kind == kind::Marker) {
          storeValue({target.region + target.bits, static_cast<std::size_t>(target.extent - target.bits)}, value);
          stack.drop(3);
          pc += 1;
          TAVRIN_DISPATCH();
        }
        TAVRIN_UNFUSED();
      }
      // PUT, LDA a, DUP, IND, INC/DEC, STO, [DEC/INC,] POT: an integer
      // local's increment or decrement as a statement.
      step_statement_7:
      step_statement_8: {
        TAVRIN_FUSED_ONLY();
        Symbol* s = symbols.find(step[1].ins.operand, level);
        if (!s || s->isArray || !isIntegerType(s->type) || s->size < typeSize(s->type) ||
            stack.depth() > ValueStack::kCapacity - 3) {
          TAVRIN_UNFUSED();
        }
        Entry v;
        loadValueInto(v, s->bytes(), s->type);
        const auto old = static_cast<uint64_t>(v.asInt64());
        v.bits = step[4].ins.op == +Op::INC ? old + 1 : old - 1;
        storeValue(s->bytes(), v);
        pc += step[6].ins.op == +Op::POT ? 6 : 7;
        TAVRIN_DISPATCH();
      }
#undef TAVRIN_UNFUSED
#undef TAVRIN_BRANCH
#undef TAVRIN_FUSED_ONLY
#undef TAVRIN_DISPATCH
#undef TAVRIN_AFTER_CALL
#undef TAVRIN_STOP_POINT
#undef TAVRIN_JUMP
#undef TAVRIN_FINISH
}

template Handover MethodEngine::Impl::interpret<false>(int32_t, int32_t, int32_t, int32_t, Step*);
template Handover MethodEngine::Impl::interpret<true>(int32_t, int32_t, int32_t, int32_t, Step*);

// Each missing operand is reported as a failed pop and stands in as a zero
// entry below the ones that are there.
void MethodEngine::Impl::missingOperands(int32_t count) {
  const int32_t have = stack.available();
  Entry saved[2];
  for (int32_t i = 0; i < have; ++i) saved[i] = stack.pop();
  for (int32_t i = have; i < count; ++i) stack.pop();
  for (int32_t i = have; i < count; ++i) stack.push(Entry{});
  for (int32_t i = have - 1; i >= 0; --i) stack.push(saved[i]);
}

RunResult MethodEngine::Impl::callBuiltin(int32_t number) {
  if (number < kFirstBuiltin || number > kLastBuiltin) {
    ui.errorBox(msg::FunctionNumber);
    stack.push(Entry::ofInt(0));
    return {run_status::GoOn, false};
  }
  const BuiltinFunction* function = builtins.find(number);
  if (!function) {
    const std::string_view name = builtinName(number);
    ui.errorBox(withText(msg::NoBuiltin, name.empty() ? std::to_string(number) : std::string(name)));
    stack.push(Entry::ofInt(run_status::ErrorStop));
    return {run_status::ErrorStop, false};
  }
  const int32_t status = (*function)(self);
  stack.push(Entry::ofInt(status));
  return {status, false};
}

// LDA pushes the address of a local, or a device reference when the method
// has no local of that name; LOD pushes a local's value (an array's
// address), or a device reference to a description object of that name.
inline void MethodEngine::Impl::loadLocal(int32_t identifier, bool address) {
  if (Symbol* s = symbols.find(identifier, level)) {
    Entry& e = stack.emplace();
    if (address || s->isArray) {
      e.setAddress(s->bytes(), 0, s->type);
    } else {
      loadValueInto(e, s->bytes(), s->type);
    }
    return;
  }
  if (address || model.findObject(identifier)) {
    stack.push(Entry::deviceReference(identifier));
    return;
  }
  ui.errorBox(withText(msg::VariableDefinition, model.text(identifier)));
}

// The common store, a value of the local's own type into it, without the
// checks of the general one; the rest takes storeSlow().
inline void MethodEngine::Impl::store() {
  if (stack.available() >= 2) [[likely]] {
    Entry& value = stack.fromTop(0);
    Entry& target = stack.fromTop(1);
    if (target.kind == kind::Address && value.kind == kind::Value && value.type == target.type &&
        isTypeCode(target.type) && target.region != nullptr && target.bits < target.extent &&
        target.extent - target.bits >= typeSize(target.type)) {
      storeValue({target.region + target.bits, static_cast<std::size_t>(target.extent - target.bits)}, value);
      target.set(value.type, value.bits);
      stack.drop(1);
      return;
    }
  }
  storeSlow();
}

void MethodEngine::Impl::storeSlow() {
  operands(2);
  Entry& value = stack.fromTop(0);
  Entry& target = stack.fromTop(1);
  if (target.kind == kind::Address) {
    if (value.kind == kind::DeviceReference) value = model.variableValue(value.word()).value_or(Entry{});
    const std::span<std::byte> bytes = target.addressed();
    if (!isTypeCode(target.type) || !convert(value, target.type)) {
      ui.errorBox(msg::UndefinedType);
    } else if (bytes.size() < typeSize(target.type)) {
      ui.errorBox(msg::OutOfStorage);
    } else {
      storeValue(bytes, value);
    }
    target.set(value.type, value.bits);  // the stored value, as a plain value
    stack.drop(1);
    return;
  }
  const Entry assigned = value;
  const Entry to = target;
  stack.drop(2);
  if (to.kind == kind::DeviceReference) {
    if (assigned.kind != kind::Value) {
      tagMismatch(assigned.kind, kind::Value);
    } else {
      model.assignVariable(to.word(), assigned);
    }
  } else {
    ui.errorBox(msg::AssignmentTag);
  }
}

// Addresses never leave the storage they point into: an element outside it,
// or an entry that is no address at all, gives an error and a zero value.
void MethodEngine::Impl::indexAddress() {
  operands(2);
  Entry& offset = stack.fromTop(0);
  Entry& base = stack.fromTop(1);
  stack.drop(1);
  if (base.kind != kind::Address) {
    tagMismatch(base.kind, kind::Address);
    base.set(+TypeCode::Int, 0);
    return;
  }
  const uint32_t size = typeSize(base.type);
  if (size == 0 || !convert(offset, +TypeCode::UnsignedInt)) {
    ui.errorBox(msg::UndefinedType);
    base.set(+TypeCode::Int, 0);
    return;
  }
  const uint64_t at = base.bits + static_cast<uint64_t>(static_cast<uint32_t>(offset.bits)) * size;
  if (at + size > base.extent) {
    ui.errorBox(msg::OutOfStorage);
    base.set(+TypeCode::Int, 0);
    return;
  }
  base.bits = at;
}

inline void MethodEngine::Impl::loadIndirect() {
  if (stack.available() >= 1) [[likely]] {
    Entry& address = stack.fromTop(0);
    if (address.kind == kind::Address && isTypeCode(address.type) && address.region != nullptr &&
        address.bits < address.extent && address.extent - address.bits >= typeSize(address.type)) {
      loadValueInto(address, {address.region + address.bits, static_cast<std::size_t>(address.extent - address.bits)},
                    address.type);
      return;
    }
  }
  loadIndirectSlow();
}

void MethodEngine::Impl::loadIndirectSlow() {
  operands(1);
  Entry& address = stack.fromTop(0);
  if (address.kind != kind::Address) {
    tagMismatch(address.kind, kind::Address);
    address.set(+TypeCode::Int, 0);
    return;
  }
  if (!isTypeCode(address.type)) {
    ui.errorBox(msg::UndefinedType);
    address.set(+TypeCode::Int, 0);
    return;
  }
  const std::span<std::byte> bytes = address.addressed();
  if (bytes.size() < typeSize(address.type)) {
    ui.errorBox(msg::OutOfStorage);
    address.set(address.type, 0);
    return;
  }
  loadValueInto(address, bytes, address.type);
}

// Arithmetic and comparisons convert the operand with the smaller type code
// to the larger one; the other operations convert the right operand to the
// left one's type. Integer results wrap at the width of their type.
inline void MethodEngine::Impl::binary(Op op) {
  operands(2);
  Entry& right = stack.fromTop(0);
  Entry& left = stack.fromTop(1);
  stack.drop(1);
  Entry& result = left;  // the result takes the left operand's slot
  if (!isTypeCode(left.type) || !isTypeCode(right.type)) {
    ui.errorBox(msg::UndefinedType);
    result.set(+TypeCode::Int, 0);
    return;
  }
  const int32_t t = usesLargerType(op) && right.type > left.type ? right.type : left.type;
  convert(left, t);
  convert(right, t);

  if (op == Op::ANDAND || op == Op::OROR) {
    const bool a = !left.isZero();
    const bool b = !right.isZero();
    result.set(+TypeCode::Int, op == Op::ANDAND ? (a && b) : (a || b));
    return;
  }
  if (isComparison(op)) {
    Entry r;
    if (t == +TypeCode::Float) {
      r = comparison(op, left.asFloat(), right.asFloat());
    } else if (t == +TypeCode::Double) {
      r = comparison(op, left.asDouble(), right.asDouble());
    } else {
      r = comparison(op, left.asInt64(), right.asInt64());
    }
    result.set(r.type, r.bits);
    return;
  }
  if (isFloatType(t)) {
    if (op == Op::ADD || op == Op::SUB || op == Op::MUL || op == Op::DIV) {
      if (t == +TypeCode::Float) {
        result.setFloat(floating(left.asFloat(), right.asFloat(), op));
      } else {
        result.setDouble(floating(left.asDouble(), right.asDouble(), op));
      }
    } else {
      // The bit and remainder operations have no float meaning.
      ui.errorBox(msg::UndefinedType);
      result.set(op == Op::LSHIFT || op == Op::RSHIFT ? +TypeCode::UnsignedInt : t, 0);
    }
    return;
  }

  const int64_t a = left.asInt64();
  const int64_t b = right.asInt64();
  const auto ua = static_cast<uint64_t>(a);
  const auto ub = static_cast<uint64_t>(b);
  switch (op) {
    case Op::ADD:
      result.set(t, ua + ub);
      return;
    case Op::SUB:
      result.set(t, ua - ub);
      return;
    case Op::MUL:
      result.set(t, ua * ub);
      return;
    case Op::DIV:
    case Op::MOD:
      if (b == 0) {
        ui.errorBox(msg::DivisionByZero);
        result.set(t, 0);
      } else if (t == +TypeCode::Int && a == std::numeric_limits<int32_t>::min() && b == -1) {
        ui.errorBox(msg::DivisionOverflow);
        result.set(t, 0);
      } else {
        result.set(t, static_cast<uint64_t>(op == Op::DIV ? a / b : a % b));
      }
      return;
    case Op::AND:
      result.set(t, ua & ub);
      return;
    case Op::XOR:
      result.set(t, ua ^ ub);
      return;
    case Op::OR:
      result.set(t, ua | ub);
      return;
    case Op::LSHIFT:
      result.set(+TypeCode::UnsignedInt, static_cast<uint32_t>(ua) << (ub & 31));
      return;
    case Op::RSHIFT:
      // Signed values shift arithmetically, from their 32-bit extension.
      if (isSignedType(t)) {
        result.set(+TypeCode::UnsignedInt, static_cast<uint32_t>(static_cast<int32_t>(a) >> (ub & 31)));
      } else {
        result.set(+TypeCode::UnsignedInt, static_cast<uint32_t>(ua) >> (ub & 31));
      }
      return;
    default:
      ui.errorBox(msg::BinaryToken);
      result.set(+TypeCode::Int, 0);
      return;
  }
}

inline void MethodEngine::Impl::unary(Op op) {
  operands(1);
  Entry& e = stack.fromTop(0);
  if (!isTypeCode(e.type)) {
    ui.errorBox(msg::UndefinedType);
    return;
  }
  const int32_t type = e.type;
  if (op == Op::NOT) {
    const bool zero = e.isZero();
    if (type == +TypeCode::Float) {
      e.setFloat(zero ? 1.0f : 0.0f);
    } else if (type == +TypeCode::Double) {
      e.setDouble(zero ? 1.0 : 0.0);
    } else {
      e.set(type, zero ? 1 : 0);
    }
    return;
  }
  if (op == Op::NEG && isFloatType(type)) {
    if (type == +TypeCode::Float) {
      e.setFloat(-e.asFloat());
    } else {
      e.setDouble(-e.asDouble());
    }
    return;
  }
  if (!isIntegerType(type)) {
    ui.errorBox(msg::UndefinedType);  // the operand stays as it was
    return;
  }
  const auto v = static_cast<uint64_t>(e.asInt64());
  switch (op) {
    case Op::INC:
      e.set(type, v + 1);
      return;
    case Op::DEC:
      e.set(type, v - 1);
      return;
    case Op::NEG:
      e.set(type, 0 - v);
      return;
    default:
      e.set(type, ~v);
      return;
  }
}

}  // namespace tavrin::methods
