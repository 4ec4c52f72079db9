#include "methods/builtins.h"

#include "methods/engine.h"

namespace tavrin::methods {
std::optional<int32_t> findBuiltin(std::string_view name) {
  if (const BuiltinInfo* b = builtinInfo(name)) return b->number;
  return std::nullopt;
}

std::string_view builtinName(int32_t number) {
  for (const BuiltinInfo& b : kBuiltins) {
    if (b.number == number) return b.name;
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
