// The built-in functions that methods call, and the table through which the
// machine reaches them.
//
// The 37 names and numbers are declared once, in table order, in
// TAVRIN_METHOD_BUILTINS; the enum and the name lookup derive from it. A call
// whose callee name is in the list (compared case-sensitively, in list order)
// compiles to FUNC with the built-in's number, any other call to a method
// call.
//
// Implementations are registered per engine in its BuiltinTable, keyed by
// number 100 to 137. Each takes the engine that runs the method; the value
// stack, the description model and the user interface are all reachable from
// it. A built-in pops its arguments, last argument first, pushes at most one
// result, and returns its run status: 0 go on, -2 abort the method (its abort
// methods run), -1 stop with an error; any other value goes on too. FUNC on a
// number without an implementation reports it and gives -1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "methods/value.h"

namespace tavrin::methods {

class MethodEngine;

// clang-format off
#define TAVRIN_METHOD_BUILTINS(X)                    \
  X(ReadCommand,                      100)           \
  X(WriteCommand,                     101)           \
  X(iassign,                          102)           \
  X(fassign,                          104)           \
  X(fvar_value,                       103)           \
  X(VARID,                            105)           \
  X(acknowledge,                      106)           \
  X(ivar_value,                       107)           \
  X(PUT_MESSAGE,                      108)           \
  X(SELECT_FROM_LIST,                 109)           \
  X(GET_DEV_VAR_VALUE,                110)           \
  X(ACKNOWLEDGE,                      111)           \
  X(get_dictionary_string,            112)           \
  X(read_dynamic_variable,            113)           \
  X(read_dynamic_variable_resistance, 114)           \
  X(select_from_list,                 115)           \
  X(get_dev_var_value,                116)           \
  X(abort,                            117)           \
  X(process_abort,                    124)           \
  X(DELAY,                            118)           \
  X(delay,                            119)           \
  X(DELAY_TIME,                       120)           \
  X(BUILD_MESSAGE,                    121)           \
  X(add_abort_method,                 122)           \
  X(BeginWaitCursor,                  125)           \
  X(EndWaitCursor,                    126)           \
  X(LOAD_VARIABLE,                    127)           \
  X(SAVE_VARIABLE,                    128)           \
  X(MY_SAVE_FILE_PATH,                129)           \
  X(MY_SELECT_FILE_PATH,              130)           \
  X(MY_SAVE_STRING,                   131)           \
  X(MY_LOAD_STRING,                   132)           \
  X(MY_SET_ADDRESS,                   133)           \
  X(MY_SET_BAUD,                      134)           \
  X(MY_Z7310MassLineTrim,             135)           \
  X(MY_Z7310MassTempTrim,             136)           \
  X(MY_GetCurrentTime,                137)
// clang-format on

enum class BuiltinId : int32_t {
#define TAVRIN_METHOD_BUILTIN_ENUM(name, number) name = number,
  TAVRIN_METHOD_BUILTINS(TAVRIN_METHOD_BUILTIN_ENUM)
#undef TAVRIN_METHOD_BUILTIN_ENUM
};

inline constexpr int32_t kFirstBuiltin = 100;
inline constexpr int32_t kLastBuiltin = 137;
inline constexpr int32_t kBuiltinCount = 37;

// The number of the built-in with exactly this name, in table order.
std::optional<int32_t> findBuiltin(std::string_view name);
// The name of a built-in number, empty for a number without one (123 too).
std::string_view builtinName(int32_t number);

using BuiltinFunction = std::function<int32_t(MethodEngine& engine)>;

class BuiltinTable {
 public:
  // Registers (or replaces) the implementation of one built-in.
  void add(BuiltinId id, BuiltinFunction function);
  // The implementation of a number, or nullptr when there is none.
  const BuiltinFunction* find(int32_t number) const;

 private:
  std::array<BuiltinFunction, kLastBuiltin - kFirstBuiltin + 1> functions_{};
};

// Shared argument checks for built-ins. Each pops the last argument still on
// the value stack; a kind other than the one the built-in needs is reported
// with "tag1 = <found> & tag2 = <expected>, match failed!" and the popped
// entry is handed back all the same (the built-in goes on with it).
Entry popValue(MethodEngine& engine);      // a number (kind 0)
Entry popReference(MethodEngine& engine);  // a variable, command or method named bare (kind 1)
Entry popAddress(MethodEngine& engine);    // a local array: char array, id list (kind 2)
// A string argument: a string constant or a local char array. Nothing when
// it is neither (the engine reports it).
std::optional<std::string> popString(MethodEngine& engine);

}  // namespace tavrin::methods
