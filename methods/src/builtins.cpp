#include "methods/builtins.h"

#include "methods/engine.h"

namespace tavrin::methods {
namespace {

struct NameNumber {
  std::string_view name;
  int32_t number;
};

constexpr NameNumber kNames[] = {
#define TAVRIN_METHOD_BUILTIN_ROW(name, number) {#name, number},
    TAVRIN_METHOD_BUILTINS(TAVRIN_METHOD_BUILTIN_ROW)
#undef TAVRIN_METHOD_BUILTIN_ROW
};
static_assert(std::size(kNames) == kBuiltinCount);

}  // namespace

std::optional<int32_t> findBuiltin(std::string_view name) {
  for (const NameNumber& n : kNames) {
    if (n.name == name) return n.number;
  }
  return std::nullopt;
}

std::string_view builtinName(int32_t number) {
  for (const NameNumber& n : kNames) {
    if (n.number == number) return n.name;
  }
  return {};
}

void BuiltinTable::add(BuiltinId id, BuiltinFunction function) {
  functions_[static_cast<std::size_t>(static_cast<int32_t>(id) - kFirstBuiltin)] = std::move(function);
}

const BuiltinFunction* BuiltinTable::find(int32_t number) const {
  if (number < kFirstBuiltin || number > kLastBuiltin) return nullptr;
  const BuiltinFunction& f = functions_[static_cast<std::size_t>(number - kFirstBuiltin)];
  return f ? &f : nullptr;
}

namespace {
Entry popKind(MethodEngine& engine, int32_t expected) {
  const Entry e = engine.stack().pop();
  engine.expectKind(e, expected);
  return e;
}
}  // namespace

Entry popValue(MethodEngine& engine) { return popKind(engine, kind::Value); }
Entry popReference(MethodEngine& engine) { return popKind(engine, kind::DeviceReference); }
Entry popAddress(MethodEngine& engine) { return popKind(engine, kind::Address); }

std::optional<std::string> popString(MethodEngine& engine) { return engine.stringOf(engine.stack().pop()); }

}  // namespace tavrin::methods
