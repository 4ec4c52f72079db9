// The operations of the method machine and the instruction they form with
// their operand. Every operation is declared once here as (code, name).
// Derived from the list: the enum, the operation count, the mnemonics, and
// the machine's dispatch, whose switch covers the enum so that a missing case
// fails to compile. Not derived: what each operation does (machine.cpp) and
// which statements and expressions the compiler turns into which operations
// (compiler.cpp); codes are stored in compiled methods, so an operation keeps
// its code and new ones go at the end.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavrin::methods {

// clang-format off
#define TAVRIN_METHOD_OPERATIONS(X) \
  X(0,  STO)    X(1,  LDA)    X(2,  LOD)    X(3,  LDV)    X(4,  LDC)    \
  X(5,  LDF)    X(6,  LDS)    X(7,  SUB)    X(8,  ADD)    X(9,  MUL)    \
  X(10, DIV)    X(11, MOD)    X(12, INC)    X(13, DEC)    X(14, IXA)    \
  X(15, IND)    X(16, LSHIFT) X(17, RSHIFT) X(18, LEFT)   X(19, RIGHT)  \
  X(20, LE)     X(21, GE)     X(22, EQ)     X(23, NEQ)    X(24, AND)    \
  X(25, XOR)    X(26, OR)     X(27, ANDAND) X(28, OROR)   X(29, DUP)    \
  X(30, PLUS)   X(31, NEG)    X(32, BNEG)   X(33, NOT)    X(34, JMP)    \
  X(35, JZ)     X(36, JNZ)    X(37, POP)    X(38, FUNC)   X(39, METHOD) \
  X(40, PUT)    X(41, POT)    X(42, HALT)
// clang-format on

enum class Op : int32_t {
#define TAVRIN_METHOD_OP_ENUM(code, name) name = code,
  TAVRIN_METHOD_OPERATIONS(TAVRIN_METHOD_OP_ENUM)
#undef TAVRIN_METHOD_OP_ENUM
};

constexpr int32_t operator+(Op op) { return static_cast<int32_t>(op); }

inline constexpr int32_t kOperationCount = 0
#define TAVRIN_METHOD_OP_COUNT(code, name) +1
    TAVRIN_METHOD_OPERATIONS(TAVRIN_METHOD_OP_COUNT)
#undef TAVRIN_METHOD_OP_COUNT
    ;
// The codes run from 0 without gaps, so a code is valid when below the count.
static_assert(
#define TAVRIN_METHOD_OP_DENSE(code, name) (code) < kOperationCount &&
    TAVRIN_METHOD_OPERATIONS(TAVRIN_METHOD_OP_DENSE)
#undef TAVRIN_METHOD_OP_DENSE
        true);

// The mnemonic of an operation code, or an empty view for a code outside the list.
constexpr std::string_view mnemonic(int32_t code) {
  switch (code) {
#define TAVRIN_METHOD_OP_NAME(value, name) \
  case value:                              \
    return #name;
    TAVRIN_METHOD_OPERATIONS(TAVRIN_METHOD_OP_NAME)
#undef TAVRIN_METHOD_OP_NAME
    default:
      return {};
  }
}

// One program-space slot: the operation code as stored (a code outside the
// list is refused when it is run) and one signed operand, 0 where the operation
// takes none.
struct Instruction {
  int32_t op = 0;
  int32_t operand = 0;
};

}  // namespace tavrin::methods
