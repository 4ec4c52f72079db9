// The built-in functions that methods call, over one description model.
//
// Builtins implements all 37 entries of TAVRIN_METHOD_BUILTINS
// (methods/builtins.h) and registers them with the session's method engine.
// Every built-in has the same signature: it takes its arguments from the
// value stack (last argument first), pushes at most one result and returns
// its run status (0 go on, -2 abort the method, -1 stop with an error). The
// arguments' kinds are checked before anything is done with them: a wrong
// kind is reported ("tag1 = <found> & tag2 = <expected>, match failed!") and
// ends the built-in with -1.
//
// Dialogs go through the user-interface seam; a cancel, a stop request of
// the engine and a failed device read end the method as an abort (-2).
// Whatever concerns the program around the model (the bus address, the
// serial line, the batch calibrations) goes through MethodHost.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "methods/builtins.h"

namespace tavrin::methods {
class MethodEngine;
}
namespace tavrin::model {
class Session;
}

namespace tavrin::builtins {

enum class BatchCalibration { Linearization, TemperatureCompensation };

// What the built-ins need of the program that runs the methods. The device
// session implements it.
class MethodHost {
 public:
  virtual ~MethodHost() = default;
  // MY_SET_ADDRESS: every further transfer goes to this address, and it is
  // stored for the current bus.
  virtual void setBusAddress(uint8_t address) = 0;
  // MY_SET_BAUD: stores the rate in the serial settings and reopens the
  // port of the current bus. False, with the reason shown, when the rate was
  // refused (nothing is stored then).
  virtual bool setBaudRate(int32_t baudRate) = 0;
  // Runs a batch calibration dialog modally. False when the program has
  // none.
  virtual bool runBatchCalibration(BatchCalibration) { return false; }
};

// Local time as the program sees it; tests replace it.
using Clock = std::function<std::tm()>;

class Builtins {
 public:
  // host may be null: then MY_SET_ADDRESS and MY_SET_BAUD report that there
  // is no bus to set. The settings file of LOAD_VARIABLE and SAVE_VARIABLE
  // and data/data.ini live below the session's program folder.
  Builtins(model::Session& session, MethodHost* host);
  Builtins(const Builtins&) = delete;
  Builtins& operator=(const Builtins&) = delete;

  // Registers every built-in with the session's engine. The object must
  // outlive every method run of that engine.
  void install();
  void setClock(Clock clock) { clock_ = std::move(clock); }

  // Runs one built-in on the engine's stack.
  int32_t call(methods::BuiltinId id);

 private:
  model::Session& session_;
  MethodHost* host_;
  Clock clock_;
};

// The settings file of LOAD_VARIABLE and SAVE_VARIABLE, below the program
// folder (which ends with '/').
std::string settingsFilePath(const std::string& programFolder);

}  // namespace tavrin::builtins
