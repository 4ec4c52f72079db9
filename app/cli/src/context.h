// What every command of tavrin-cli works on: the options, the console, the
// device session and the standard output for results.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <typeindex>

#include "app/password.h"
#include "app/session.h"
#include "cli_user_interface.h"

namespace tavrin::cli {

struct Options {
  std::string folder;   // the program folder, with a trailing '/'
  std::string offline;  // a description file to open without a bus
  std::optional<app::UserType> user;
  std::string passwordFile;
  std::string trace;  // the bus monitor's lines go there
  bool yes = false;
  bool allowDefaultDownload = false;
};

class Context {
 public:
  Context(const Options& options, CliUserInterface& ui, std::ostream& out);
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  const Options& options() const { return options_; }
  CliUserInterface& ui() { return ui_; }
  std::ostream& out() { return out_; }
  app::DeviceSession& session() { return *session_; }
  bool offline() const { return !options_.offline.empty(); }

  // Opens the offline description, or starts the session on the bus of
  // com.ini (binding the drivers).
  bool start();
  // Closes the ports in their order.
  void shutdown();

  // An error box that the command line itself shows.
  bool fail(const std::string& text);
  // Fails with a message unless a device (or the offline description) is
  // connected.
  bool needConnected();

  // Ctrl+C: asks a running method to stop; true when one was running.
  bool interruptMethod();
  // Brackets a method run so that Ctrl+C reaches it; true when it was
  // interrupted meanwhile.
  void methodStarted();
  bool methodEnded();
  // Whether a Ctrl+C has come since methodStarted().
  bool interruptRequested() const { return interrupted_; }

  // What a command group keeps for the whole run, made on first use with
  // the context (T(Context&)); it goes before the session does.
  template <class T>
  T& groupState() {
    std::shared_ptr<void>& slot = groupStates_[std::type_index(typeid(T))];
    if (!slot) slot = std::make_shared<T>(*this);
    return *static_cast<T*>(slot.get());
  }

 private:
  Options options_;
  CliUserInterface& ui_;
  std::ostream& out_;
  std::unique_ptr<app::DeviceSession> session_;
  std::atomic<bool> methodRunning_{false};
  std::atomic<bool> interrupted_{false};
  std::map<std::type_index, std::shared_ptr<void>> groupStates_;
};

// Output of values on one line: tabs and line feeds inside a text print as
// \t and \n, so that a tab always separates fields.
std::string escaped(std::string_view text);

}  // namespace tavrin::cli
