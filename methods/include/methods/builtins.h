// The built-in functions that methods call, and the table through which the
// machine reaches them.
//
// Every built-in is declared once, in table order, in TAVRIN_METHOD_BUILTINS
// as (name, number, arguments): arguments is how many it pops, -1 where it
// reads none of them. The enum, the name lookup, the first and last number
// and the count derive from the list, and so do the argument checks of the
// description compiler (eddc). A call whose callee name is in the list
// (compared case-sensitively, in list order) compiles to FUNC with the
// built-in's number, any other call to a method call.
//
// Implementations are registered per engine in its BuiltinTable, keyed by
// number 100 to 137. Each takes the engine that runs the method; the value
// stack, the description model and the user interface are all reachable from
// it. A built-in pops its arguments, last argument first, pushes at most one
// result, and returns its run status (run_status below); any value other than
// those named goes on too. FUNC on a number without an implementation
// reports it and gives run_status::ErrorStop.
#pragma once

#include <array>
#include <iterator>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "methods/value.h"

namespace tavrin::methods {

class MethodEngine;

// clang-format off
#define TAVRIN_METHOD_BUILTINS(X)               \
  X(ReadCommand,                      100,  1)  \
  X(WriteCommand,                     101,  1)  \
  X(iassign,                          102,  2)  \
  X(fassign,                          104,  2)  \
  X(fvar_value,                       103,  1)  \
  X(VARID,                            105,  1)  \
  X(acknowledge,                      106,  2)  \
  X(ivar_value,                       107,  1)  \
  X(PUT_MESSAGE,                      108,  1)  \
  X(SELECT_FROM_LIST,                 109,  2)  \
  X(GET_DEV_VAR_VALUE,                110,  2)  \
  X(ACKNOWLEDGE,                      111,  1)  \
  X(get_dictionary_string,            112, -1)  \
  X(read_dynamic_variable,            113,  1)  \
  X(read_dynamic_variable_resistance, 114,  1)  \
  X(select_from_list,                 115,  3)  \
  X(get_dev_var_value,                116,  3)  \
  X(abort,                            117,  0)  \
  X(process_abort,                    124,  0)  \
  X(DELAY,                            118,  2)  \
  X(delay,                            119,  3)  \
  X(DELAY_TIME,                       120,  1)  \
  X(BUILD_MESSAGE,                    121,  2)  \
  X(add_abort_method,                 122,  1)  \
  X(BeginWaitCursor,                  125,  0)  \
  X(EndWaitCursor,                    126,  0)  \
  X(LOAD_VARIABLE,                    127,  2)  \
  X(SAVE_VARIABLE,                    128,  2)  \
  X(MY_SAVE_FILE_PATH,                129,  1)  \
  X(MY_SELECT_FILE_PATH,              130,  1)  \
  X(MY_SAVE_STRING,                   131,  3)  \
  X(MY_LOAD_STRING,                   132,  3)  \
  X(MY_SET_ADDRESS,                   133,  1)  \
  X(MY_SET_BAUD,                      134,  1)  \
  X(MY_Z7310MassLineTrim,             135,  0)  \
  X(MY_Z7310MassTempTrim,             136,  0)  \
  X(MY_GetCurrentTime,                137,  1)
// clang-format on

enum class BuiltinId : int32_t {
#define TAVRIN_METHOD_BUILTIN_ENUM(name, number, arguments) name = number,
  TAVRIN_METHOD_BUILTINS(TAVRIN_METHOD_BUILTIN_ENUM)
#undef TAVRIN_METHOD_BUILTIN_ENUM
};

// What a built-in's run status (and a machine run's) tells the machine.
namespace run_status {
inline constexpr int32_t GoOn = 0;        // the method goes on
inline constexpr int32_t ErrorStop = -1;  // the method stops with an error
inline constexpr int32_t Abort = -2;      // the method is aborted: its abort methods run
}  // namespace run_status

// One row of the built-in list.
struct BuiltinInfo {
  std::string_view name;
  int32_t number;
  int32_t arguments;  // how many it pops, -1 where it reads none of them
};

inline constexpr BuiltinInfo kBuiltins[] = {
#define TAVRIN_METHOD_BUILTIN_ROW(name, number, arguments) {#name, number, arguments},
    TAVRIN_METHOD_BUILTINS(TAVRIN_METHOD_BUILTIN_ROW)
#undef TAVRIN_METHOD_BUILTIN_ROW
};

inline constexpr int32_t kBuiltinCount = static_cast<int32_t>(std::size(kBuiltins));
inline constexpr int32_t kFirstBuiltin = [] {
  int32_t first = kBuiltins[0].number;
  for (const BuiltinInfo& b : kBuiltins) first = b.number < first ? b.number : first;
  return first;
}();
inline constexpr int32_t kLastBuiltin = [] {
  int32_t last = kBuiltins[0].number;
  for (const BuiltinInfo& b : kBuiltins) last = b.number > last ? b.number : last;
  return last;
}();

// The list row of a name, in table order (case-sensitive), or nullptr.
constexpr const BuiltinInfo* builtinInfo(std::string_view name) {
  for (const BuiltinInfo& b : kBuiltins) {
    if (b.name == name) return &b;
  }
  return nullptr;
}

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
