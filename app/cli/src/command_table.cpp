#include "command_table.h"

#include <algorithm>

namespace tavrin::cli {

namespace {
std::vector<std::function<void(Context&)>>& setups() {
  static std::vector<std::function<void(Context&)>> all;
  return all;
}
}  // namespace

ContextSetup::ContextSetup(std::function<void(Context&)> setup) { setups().push_back(std::move(setup)); }

void ContextSetup::runAll(Context& context) {
  for (const auto& setup : setups()) setup(context);
}

CommandTable& CommandTable::instance() {
  // Built on first use: groups register from static objects in any order.
  static CommandTable table;
  return table;
}

void CommandTable::add(std::initializer_list<Command> commands) {
  commands_.insert(commands_.end(), commands.begin(), commands.end());
}

const Command* CommandTable::find(std::string_view name) const {
  for (const Command& c : commands_)
    if (c.name == name) return &c;
  return nullptr;
}

std::vector<const Command*> CommandTable::all() const {
  std::vector<const Command*> out;
  for (const Command& c : commands_) out.push_back(&c);
  std::sort(out.begin(), out.end(), [](const Command* a, const Command* b) { return a->name < b->name; });
  return out;
}

bool CommandTable::parse(const std::vector<std::string>& words, std::vector<Invocation>& out, std::string& error) const {
  for (size_t i = 0; i < words.size();) {
    const Command* command = find(words[i]);
    if (!command) {
      error = "unknown command \"" + words[i] + "\"";
      return false;
    }
    ++i;
    const size_t left = words.size() - i;
    std::vector<int> counts = command->argumentCounts;
    std::sort(counts.rbegin(), counts.rend());
    const int least = counts.empty() ? 0 : counts.back();
    int taken = -1;
    for (int n : counts) {
      if (static_cast<size_t>(n) > left) continue;
      if (n > least && find(words[i]) != nullptr) continue;
      taken = n;
      break;
    }
    if (taken < 0) {
      error = std::string(command->name) + " needs " + std::string(command->arguments);
      return false;
    }
    Invocation inv{command, Args(words.begin() + static_cast<long>(i), words.begin() + static_cast<long>(i) + taken)};
    if (!command->choices.empty() && !inv.args.empty() &&
        std::find(command->choices.begin(), command->choices.end(), inv.args[0]) == command->choices.end()) {
      error = std::string(command->name) + ": \"" + inv.args[0] + "\" is not one of " + std::string(command->arguments);
      return false;
    }
    i += static_cast<size_t>(taken);
    out.push_back(std::move(inv));
  }
  return true;
}

}  // namespace tavrin::cli
