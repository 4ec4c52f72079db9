#include "arguments.h"

namespace tavrin::builtins {

using methods::Entry;
namespace kind = methods::kind;

Entry Arguments::take(int32_t expectedKind) {
  const Entry e = engine_.stack().pop();
  if (e.kind == expectedKind) return e;
  engine_.reportTagMismatch(e.kind, expectedKind);
  ok_ = false;
  return expectedKind == kind::Address ? Entry::address({}, 0, +methods::TypeCode::Char) : Entry{};
}

std::string Arguments::text() {
  const Entry e = engine_.stack().pop();
  if (e.kind != kind::StringConstant && e.kind != kind::Address) {
    engine_.reportTagMismatch(e.kind, kind::StringConstant);
    ok_ = false;
    return {};
  }
  return engine_.stringOf(e).value_or(std::string());
}

std::optional<int32_t> idListElement(const Entry& list, std::size_t index) {
  if (!methods::isIntegerType(list.type)) return std::nullopt;
  const std::size_t size = methods::typeSize(list.type);
  const std::span<std::byte> bytes = list.addressed();
  if (index >= bytes.size() / size) return std::nullopt;
  return static_cast<int32_t>(methods::loadValue(bytes.subspan(index * size, size), list.type).asInt64());
}

int32_t toInt(Entry value) {
  if (!methods::convert(value, +methods::TypeCode::Int)) return 0;
  return static_cast<int32_t>(value.asInt64());
}

}  // namespace tavrin::builtins
