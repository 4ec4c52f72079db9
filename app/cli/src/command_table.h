// The commands of tavrin-cli as a table. Each group of commands lives in a
// file of its own and registers itself with a CommandGroup object, so that
// a new group is one new file in app/cli/CMakeLists.txt and nothing else:
//
//   const CommandGroup kMyCommands{{
//       {"name", "ARG", "what it does", {1}, {}, [](Context& c, const Args& a) { ... }},
//   }};
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::cli {

class Context;
using Args = std::vector<std::string>;

struct Command {
  std::string_view name;
  std::string_view arguments;  // for the usage text, e.g. "NAME VALUE"
  std::string_view help;
  // How many arguments it takes; several counts when some are optional.
  // An optional argument is never taken from a word that names a command.
  std::vector<int> argumentCounts{0};
  // When not empty, the words its first argument may be.
  std::vector<std::string_view> choices{};
  // True when it succeeded. A failure has been said through the seam.
  std::function<bool(Context&, const Args&)> run{};
};

// One command with its arguments, as parsed from the command line.
struct Invocation {
  const Command* command = nullptr;
  Args args;
};

class CommandTable {
 public:
  static CommandTable& instance();
  void add(std::initializer_list<Command> commands);
  const Command* find(std::string_view name) const;
  // Sorted by name.
  std::vector<const Command*> all() const;

  // Splits the words after the options into invocations; false with a
  // message in error for a usage error.
  bool parse(const std::vector<std::string>& words, std::vector<Invocation>& out, std::string& error) const;

 private:
  std::vector<Command> commands_;
};

struct CommandGroup {
  CommandGroup(std::initializer_list<Command> commands) { CommandTable::instance().add(commands); }
};

// What a command group does to every new context before any command runs
// (handing the session a callback, for example), registered the same way:
//   const ContextSetup kMySetup{[](Context& c) { ... }};
struct ContextSetup {
  explicit ContextSetup(std::function<void(Context&)> setup);
  static void runAll(Context& context);
};

}  // namespace tavrin::cli
