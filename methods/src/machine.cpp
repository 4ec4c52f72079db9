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
Entry floating(int32_t type, F a, F b, Op op) {
  F r = 0;
  switch (op) {
    case Op::ADD:
      r = a + b;
      break;
    case Op::SUB:
      r = a - b;
      break;
    case Op::MUL:
      r = a * b;
      break;
    default:
      r = a / b;
      break;
  }
  return type == +TypeCode::Float ? Entry::ofFloat(static_cast<float>(r)) : Entry::ofDouble(static_cast<double>(r));
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
  if (result.status == -2 && stopPending()) result.stopped = true;
  return result;
}

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
  while (pc < to) {
    if (stopPending()) return {-2, true};
    const Instruction ins = program[pc];
    if (ins.op < 0 || ins.op >= kOperationCount) {
      ui.errorBox(msg::UndefinedOperation);
      return {-1, false};
    }
    ++pc;
    switch (static_cast<Op>(ins.op)) {
      case Op::STO:
        store();
        break;
      case Op::LDA:
        loadLocal(ins.operand, true);
        break;
      case Op::LOD:
        loadLocal(ins.operand, false);
        break;
      case Op::LDV:
        stack.push(model.variableValue(ins.operand).value_or(Entry{}));
        break;
      case Op::LDC:
        stack.push(Entry::ofInt(ins.operand));
        break;
      case Op::LDF:
        stack.push(Entry::ofFloat(std::bit_cast<float>(ins.operand)));
        break;
      case Op::LDS:
        stack.push(Entry::stringConstant(ins.operand));
        break;
      case Op::SUB:
      case Op::ADD:
      case Op::MUL:
      case Op::DIV:
      case Op::MOD:
      case Op::LSHIFT:
      case Op::RSHIFT:
      case Op::LEFT:
      case Op::RIGHT:
      case Op::LE:
      case Op::GE:
      case Op::EQ:
      case Op::NEQ:
      case Op::AND:
      case Op::XOR:
      case Op::OR:
      case Op::ANDAND:
      case Op::OROR:
        binary(static_cast<Op>(ins.op));
        break;
      case Op::INC:
      case Op::DEC:
      case Op::NEG:
      case Op::BNEG:
      case Op::NOT:
        unary(static_cast<Op>(ins.op));
        break;
      case Op::PLUS:
        break;
      case Op::IXA:
        indexAddress();
        break;
      case Op::IND:
        loadIndirect();
        break;
      case Op::DUP: {
        const Entry e = stack.pop();
        stack.push(e);
        stack.push(e);
        break;
      }
      case Op::JMP:
        if (!jumpTo(ins.operand)) return {-1, false};
        break;
      case Op::JZ: {
        Entry e = stack.pop();
        if (!convert(e, +TypeCode::Int)) ui.errorBox(msg::UndefinedType);
        if (static_cast<int32_t>(e.asInt64()) == 0 && !jumpTo(ins.operand)) return {-1, false};
        break;
      }
      case Op::JNZ: {
        Entry e = stack.pop();
        if (!convert(e, +TypeCode::UnsignedInt)) ui.errorBox(msg::UndefinedType);
        if (static_cast<uint32_t>(e.asInt64()) != 0 && !jumpTo(ins.operand)) return {-1, false};
        break;
      }
      case Op::POP:
        stack.pop();
        break;
      case Op::FUNC: {
        const RunResult r = callBuiltin(ins.operand);
        if (r.status == -1 || r.status == -2) return r;
        status = r.status;
        break;
      }
      case Op::METHOD: {
        const MethodOutcome called = runMethodId(ins.operand);
        // A called method's status stays its own, but a stop ends every
        // method on the way out.
        if (called.stopped) return {-2, true};
        stack.push(Entry::ofInt(1));
        break;
      }
      case Op::PUT:
        stack.push(Entry::marker());
        break;
      case Op::POT: {
        int32_t i = stack.depth() - 1;
        while (i >= stack.floor() && stack.at(i)->kind != kind::Marker) --i;
        if (i < stack.floor()) {
          ui.errorBox(msg::NoMarker);
        } else {
          stack.setDepth(i);
        }
        break;
      }
      case Op::HALT:
        return {status, false};
    }
  }
  return {status, false};
}

RunResult MethodEngine::Impl::callBuiltin(int32_t number) {
  if (number < kFirstBuiltin || number > kLastBuiltin) {
    ui.errorBox(msg::FunctionNumber);
    stack.push(Entry::ofInt(0));
    return {0, false};
  }
  const BuiltinFunction* function = builtins.find(number);
  if (!function) {
    const std::string_view name = builtinName(number);
    ui.errorBox(withText(msg::NoBuiltin, name.empty() ? std::to_string(number) : std::string(name)));
    stack.push(Entry::ofInt(-1));
    return {-1, false};
  }
  const int32_t status = (*function)(self);
  stack.push(Entry::ofInt(status));
  return {status, false};
}

// LDA pushes the address of a local, or a device reference when the method
// has no local of that name; LOD pushes a local's value (an array's
// address), or a device reference to a description object of that name.
void MethodEngine::Impl::loadLocal(int32_t identifier, bool address) {
  if (Symbol* s = symbols.find(identifier, level)) {
    if (address || s->isArray) {
      stack.push(Entry::address(s->bytes(), 0, s->type));
    } else {
      stack.push(loadValue(s->bytes(), s->type));
    }
    return;
  }
  if (address || model.findObject(identifier)) {
    stack.push(Entry::deviceReference(identifier));
    return;
  }
  ui.errorBox(withText(msg::VariableDefinition, model.text(identifier)));
}

void MethodEngine::Impl::store() {
  Entry value = stack.pop();
  const Entry target = stack.pop();
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
    Entry result;  // the stored value, as a plain value
    result.type = value.type;
    result.bits = value.bits;
    stack.push(result);
  } else if (target.kind == kind::DeviceReference) {
    if (value.kind != kind::Value) {
      tagMismatch(value.kind, kind::Value);
    } else {
      model.assignVariable(target.word(), value);
    }
  } else {
    ui.errorBox(msg::AssignmentTag);
  }
}

// Addresses never leave the storage they point into: an element outside it,
// or an entry that is no address at all, gives an error and a zero value.
void MethodEngine::Impl::indexAddress() {
  Entry offset = stack.pop();
  const Entry base = stack.pop();
  if (base.kind != kind::Address) {
    tagMismatch(base.kind, kind::Address);
    stack.push(Entry{});
    return;
  }
  const uint32_t size = typeSize(base.type);
  if (size == 0 || !convert(offset, +TypeCode::UnsignedInt)) {
    ui.errorBox(msg::UndefinedType);
    stack.push(Entry{});
    return;
  }
  const uint64_t at = base.bits + static_cast<uint64_t>(static_cast<uint32_t>(offset.asInt64())) * size;
  if (at + size > base.extent) {
    ui.errorBox(msg::OutOfStorage);
    stack.push(Entry{});
    return;
  }
  Entry element = base;
  element.bits = at;
  stack.push(element);
}

void MethodEngine::Impl::loadIndirect() {
  const Entry address = stack.pop();
  if (address.kind != kind::Address) {
    tagMismatch(address.kind, kind::Address);
    stack.push(Entry{});
    return;
  }
  if (!isTypeCode(address.type)) {
    ui.errorBox(msg::UndefinedType);
    stack.push(Entry{});
    return;
  }
  const std::span<std::byte> bytes = address.addressed();
  if (bytes.size() < typeSize(address.type)) {
    ui.errorBox(msg::OutOfStorage);
    stack.push(Entry::integer(static_cast<TypeCode>(address.type), 0));
    return;
  }
  stack.push(loadValue(bytes, address.type));
}

// Arithmetic and comparisons convert the operand with the smaller type code
// to the larger one; the other operations convert the right operand to the
// left one's type. Integer results wrap at the width of their type.
void MethodEngine::Impl::binary(Op op) {
  Entry right = stack.pop();
  Entry left = stack.pop();
  if (!isTypeCode(left.type) || !isTypeCode(right.type)) {
    ui.errorBox(msg::UndefinedType);
    stack.push(Entry{});
    return;
  }
  const int32_t t = usesLargerType(op) && right.type > left.type ? right.type : left.type;
  convert(left, t);
  convert(right, t);

  if (op == Op::ANDAND || op == Op::OROR) {
    const bool a = !left.isZero();
    const bool b = !right.isZero();
    stack.push(truth(op == Op::ANDAND ? (a && b) : (a || b), TypeCode::Int));
    return;
  }
  if (isComparison(op)) {
    if (t == +TypeCode::Float) {
      stack.push(comparison(op, left.asFloat(), right.asFloat()));
    } else if (t == +TypeCode::Double) {
      stack.push(comparison(op, left.asDouble(), right.asDouble()));
    } else {
      stack.push(comparison(op, left.asInt64(), right.asInt64()));
    }
    return;
  }
  if (isFloatType(t)) {
    if (op == Op::ADD || op == Op::SUB || op == Op::MUL || op == Op::DIV) {
      stack.push(t == +TypeCode::Float ? floating(t, left.asFloat(), right.asFloat(), op)
                                       : floating(t, left.asDouble(), right.asDouble(), op));
    } else {
      // The bit and remainder operations have no float meaning.
      ui.errorBox(msg::UndefinedType);
      stack.push(Entry::integer(op == Op::LSHIFT || op == Op::RSHIFT ? TypeCode::UnsignedInt : TypeCode(t), 0));
    }
    return;
  }

  const auto type = static_cast<TypeCode>(t);
  const int64_t a = left.asInt64();
  const int64_t b = right.asInt64();
  const auto ua = static_cast<uint64_t>(a);
  const auto ub = static_cast<uint64_t>(b);
  switch (op) {
    case Op::ADD:
      stack.push(Entry::integer(type, ua + ub));
      return;
    case Op::SUB:
      stack.push(Entry::integer(type, ua - ub));
      return;
    case Op::MUL:
      stack.push(Entry::integer(type, ua * ub));
      return;
    case Op::DIV:
    case Op::MOD:
      if (b == 0) {
        ui.errorBox(msg::DivisionByZero);
        stack.push(Entry::integer(type, 0));
      } else if (type == TypeCode::Int && a == std::numeric_limits<int32_t>::min() && b == -1) {
        ui.errorBox(msg::DivisionOverflow);
        stack.push(Entry::integer(type, 0));
      } else {
        stack.push(Entry::integer(type, static_cast<uint64_t>(op == Op::DIV ? a / b : a % b)));
      }
      return;
    case Op::AND:
      stack.push(Entry::integer(type, ua & ub));
      return;
    case Op::XOR:
      stack.push(Entry::integer(type, ua ^ ub));
      return;
    case Op::OR:
      stack.push(Entry::integer(type, ua | ub));
      return;
    case Op::LSHIFT:
      stack.push(Entry::ofUnsigned(static_cast<uint32_t>(ua) << (ub & 31)));
      return;
    case Op::RSHIFT:
      // Signed values shift arithmetically, from their 32-bit extension.
      if (isSignedType(t)) {
        stack.push(Entry::ofUnsigned(static_cast<uint32_t>(static_cast<int32_t>(a) >> (ub & 31))));
      } else {
        stack.push(Entry::ofUnsigned(static_cast<uint32_t>(ua) >> (ub & 31)));
      }
      return;
    default:
      ui.errorBox(msg::BinaryToken);
      stack.push(Entry{});
      return;
  }
}

void MethodEngine::Impl::unary(Op op) {
  const Entry e = stack.pop();
  if (!isTypeCode(e.type)) {
    ui.errorBox(msg::UndefinedType);
    stack.push(e);
    return;
  }
  const auto type = static_cast<TypeCode>(e.type);
  if (op == Op::NOT) {
    const bool zero = e.isZero();
    if (type == TypeCode::Float) {
      stack.push(Entry::ofFloat(zero ? 1.0f : 0.0f));
    } else if (type == TypeCode::Double) {
      stack.push(Entry::ofDouble(zero ? 1.0 : 0.0));
    } else {
      stack.push(Entry::integer(type, zero ? 1 : 0));
    }
    return;
  }
  if (op == Op::NEG && isFloatType(e.type)) {
    stack.push(type == TypeCode::Float ? Entry::ofFloat(-e.asFloat()) : Entry::ofDouble(-e.asDouble()));
    return;
  }
  if (!isIntegerType(e.type)) {
    ui.errorBox(msg::UndefinedType);
    stack.push(e);
    return;
  }
  const auto v = static_cast<uint64_t>(e.asInt64());
  switch (op) {
    case Op::INC:
      stack.push(Entry::integer(type, v + 1));
      return;
    case Op::DEC:
      stack.push(Entry::integer(type, v - 1));
      return;
    case Op::NEG:
      stack.push(Entry::integer(type, 0 - v));
      return;
    default:
      stack.push(Entry::integer(type, ~v));
      return;
  }
}

}  // namespace tavrin::methods
