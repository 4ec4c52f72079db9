#include "methods/value.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavrin::methods {
namespace {

// A float or double truncated toward zero into 64 bits. Values beyond the
// 64-bit range saturate and NaN gives 0: the language leaves those
// conversions undefined, and a method must not be able to provoke that.
int64_t truncateToInt64(double d) {
  if (std::isnan(d)) return 0;
  d = std::trunc(d);
  if (d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);
}

float narrowToFloat(double d) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (d > kMax) return std::numeric_limits<float>::infinity();
  if (d < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(d);
}

}  // namespace

// Integer to a wider integer type is extended by the source's signedness; to
// the same or a narrower one the slot stays as it is (the narrower type reads
// the low bytes). Integer to float or double and back is numeric, floats
// truncated toward zero.
bool convertBetweenTypes(Entry& e, int32_t toType) {
  if (!isTypeCode(e.type) || !isTypeCode(toType)) return false;
  const int32_t from = e.type;
  if (from == toType) return true;
  if (isIntegerType(from)) {
    const int64_t v = e.asInt64();
    if (isIntegerType(toType)) {
      if (typeSize(toType) > typeSize(from)) e.bits = static_cast<uint64_t>(v);
    } else if (toType == +TypeCode::Float) {
      e.bits = std::bit_cast<uint32_t>(static_cast<float>(v));
    } else {
      e.bits = std::bit_cast<uint64_t>(static_cast<double>(v));
    }
  } else {
    const double d = e.numeric();
    if (isIntegerType(toType)) {
      e.bits = static_cast<uint64_t>(truncateToInt64(d));
    } else if (toType == +TypeCode::Float) {
      e.bits = std::bit_cast<uint32_t>(narrowToFloat(d));
    } else {
      e.bits = std::bit_cast<uint64_t>(d);
    }
  }
  e.type = toType;
  return true;
}

}  // namespace tavrin::methods
