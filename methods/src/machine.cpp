// The stack machine: executes program-space instructions on the value stack.
#include <bit>
#include <cstdint>
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
RunResult MethodEngine::Impl::execute(int32_t from, int32_t to) {
  int32_t status = 0;
  int32_t pc = from;
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
#define TAVRIN_STOP_POINT()           \
  if (stopPending()) [[unlikely]] {   \
    return {run_status::Abort, true}; \
  }
  // The slots never move: compiling a called method only appends to them.
  const Instruction* const code = &program[0];
  // A stop is looked for before the first instruction, at every jump and
  // after every call: every loop jumps, so none runs on past a request, and
  // straight-line code between them is short.
  if (stopPending()) [[unlikely]] {
    return {run_status::Abort, true};
  }
  // Threaded dispatch: every operation ends with its own jump to the next
  // one, which the processor predicts far better than one shared jump. The
  // table comes from the operation list, so an operation without a label
  // fails to compile.
#define TAVRIN_OP_LABEL(code, name) &&op_##name,
  static const void* const kDispatch[] = {TAVRIN_METHOD_OPERATIONS(TAVRIN_OP_LABEL)};
#undef TAVRIN_OP_LABEL
  Instruction ins;
#define TAVRIN_DISPATCH()                                                                    \
  do {                                                                                       \
    if (pc >= to) return {status, false};                                                    \
    ins = code[pc];                                                                          \
    if (static_cast<uint32_t>(ins.op) >= static_cast<uint32_t>(kOperationCount)) [[unlikely]] { \
      ui.errorBox(msg::UndefinedOperation);                                                  \
      return {run_status::ErrorStop, false};                                                 \
    }                                                                                        \
    ++pc;                                                                                    \
    goto* kDispatch[ins.op];                                                                 \
  } while (false)
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
        if (!jumpTo(ins.operand)) return {run_status::ErrorStop, false};
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
          if (isZero == zero && !jumpTo(ins.operand)) return {run_status::ErrorStop, false};
          TAVRIN_DISPATCH();
        }
        if (!convert(e, zero ? +TypeCode::Int : +TypeCode::UnsignedInt)) ui.errorBox(msg::UndefinedType);
        const bool isZero = static_cast<uint32_t>(e.bits) == 0 || !isTypeCode(e.type);
        stack.drop(1);
        if (isZero == zero && !jumpTo(ins.operand)) return {run_status::ErrorStop, false};
        TAVRIN_DISPATCH();
      }
      op_POP:
        stack.pop();
        TAVRIN_DISPATCH();
      op_FUNC: {
        const RunResult r = callBuiltin(ins.operand);
        if (r.status == run_status::ErrorStop || r.status == run_status::Abort) return r;
        status = r.status;
        TAVRIN_STOP_POINT();
        TAVRIN_DISPATCH();
      }
      op_METHOD: {
        const MethodOutcome called = runMethodId(ins.operand);
        // A called method's status stays its own, but a stop ends every
        // method on the way out.
        if (called.stopped) return {run_status::Abort, true};
        stack.emplace().set(+TypeCode::Int, 1);
        TAVRIN_STOP_POINT();
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
        return {status, false};
#undef TAVRIN_DISPATCH
#undef TAVRIN_STOP_POINT
}

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
