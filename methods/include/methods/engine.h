// The method engine of one session: compiles METHOD bodies and description
// expressions from the loaded description's trees into the program space,
// runs them on the stack machine, and runs methods with their locals and
// abort methods.
//
// Each session owns one engine with all of its tables (program space, value
// stack, locals, jump contexts, method levels); nothing is global, so tests
// may build as many as they like. Everything runs on the thread that calls
// it, except requestStop(), which any thread may call.
//
// Errors go to the user-interface seam as "Error" boxes with the system's
// texts; compilation and running go on after most of them. Compiled code is
// never kept: what a method or an expression appended is cut back when it
// ends, and the value stack and locals are restored with it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "lirrand.h"
#include "methods/builtins.h"
#include "methods/model.h"
#include "methods/program_space.h"
#include "methods/symbols.h"
#include "methods/value.h"
#include "methods/value_stack.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::methods {

class MethodEngine {
 public:
  MethodEngine(ui::UserInterface& ui, MethodModel& model);
  ~MethodEngine();
  MethodEngine(const MethodEngine&) = delete;
  MethodEngine& operator=(const MethodEngine&) = delete;

  ui::UserInterface& ui();
  MethodModel& model();
  ValueStack& stack();
  BuiltinTable& builtins();
  ProgramSpace& program();
  const SymbolTable& symbols() const;
  int32_t methodLevel() const;

  // --- methods ---
  // Runs a METHOD object (root tag 15) from its tree: compiles the body of
  // its definition (child tag 478) behind everything already compiled, runs
  // it, releases its locals, and when it was aborted runs the abort methods
  // it registered, in order. Returns 1, or 0 when it stopped with an error
  // or its last abort method did not succeed. A METHOD without a definition
  // counts as success.
  int runMethod(const EddNode& methodRoot);
  // A method specification of an action list: 476 names a METHOD object
  // (an identifier), 477 holds a definition (478) that is run in place.
  int runMethodSpecification(const EddNode* node);
  // Appends a METHOD object id to the abort list of the innermost method
  // that is running (the add_abort_method built-in).
  void addAbortMethod(int32_t methodId);

  // --- description expressions ---
  // Evaluates a conditional value (IF 54, SELECT 55, direct 58) and leaves
  // exactly one value on the value stack; false, with nothing left, when it
  // has none.
  bool evaluateSpecifier(const EddNode* node);
  // Compiles an expression (405) behind the current code, runs it at once,
  // cuts the code back and leaves its one value on the value stack; false,
  // with the stack as it was, when it did not produce exactly one value.
  bool evaluateExpression(const EddNode* node);
  // A constant integer expression (array extents, case labels).
  int32_t compileTimeConstant(const EddNode* node);

  // --- lower level, for the runner's peers, tools and tests ---
  // Appends a method body (compound statement 412) and HALT at the end of
  // the program space. False when a table overflowed: that code must not
  // run.
  bool compileMethodBody(const EddNode* compound);
  // Executes instructions from `from` while the index is below `to` and
  // returns the run status (run_status in builtins.h): GoOn or the status
  // of the last built-in called; ErrorStop or Abort at once when a built-in
  // returns one; ErrorStop for an undefined operation; Abort when a stop was
  // requested.
  int32_t run(int32_t from, int32_t to);
  // Empties the locals, the program space and the method level (when a
  // description is loaded). Ignored while something runs.
  void reset();
  void releaseSymbols(int32_t count);

  // --- services for built-ins ---
  // The text of a string argument: a string constant (kind 4) or the
  // characters at an address (kind 2) up to a NUL or the end of the storage.
  std::optional<std::string> stringOf(const Entry& entry);
  // A local of the running method formatted by its type ("%c", "%d", "%u"
  // or "%f"); nothing when there is no such local or its type is bad.
  std::optional<std::string> printLocal(int32_t identifier);
  // True when the entry has the kind; otherwise reports
  // "tag1 = <found> & tag2 = <expected>, match failed!".
  bool expectKind(const Entry& entry, int32_t expectedKind);
  void reportTagMismatch(int32_t found, int32_t expected);

  // --- stopping ---
  // Asks the running method to stop: the machine ends the run between two
  // instructions as an abort (run_status::Abort), abort methods run, and every calling
  // method ends the same way. Thread-safe (not async-signal-safe: a signal
  // handler hands the request to a thread). A request made while nothing
  // runs is dropped when the next run starts.
  void requestStop();
  // Stopped when a stop is requested; for built-ins that wait (countdowns,
  // monitoring dialogs).
  std::stop_token stopToken();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrin::methods
