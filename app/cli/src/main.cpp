// tavrin-cli: the device session on the command line. Runs its commands in
// order in one session; see usage() or --help.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "command_table.h"
#include "context.h"
#include "platform/program_folder.h"

namespace tavrin::cli {
namespace {

constexpr int kUsageError = 2;
constexpr int kInterrupted = 130;

void usage(std::ostream& os) {
  os << "Usage: tavrin-cli [OPTIONS] COMMAND [ARGS]... [COMMAND [ARGS]...]...\n"
        "Runs the commands in order in one session with a transmitter.\n\n"
        "Options:\n"
        "  --folder DIR             program folder (default: the folder of this program)\n"
        "  --offline FILE.bin       open a description without a bus: no driver is bound and\n"
        "                           no com.ini is needed; device reads and writes fail\n"
        "  --user specialist|maintenance\n"
        "                           the user type chosen at connect\n"
        "  --password-file FILE     line 1: the specialist password (and the old one for\n"
        "                           `password`); lines 2 and 3: the new password twice\n"
        "  --yes                    answer Yes and OK, take the first entry of a list; the\n"
        "                           resend question after a port failure at most 3 times\n"
        "                           per command, then No\n"
        "  --trace FILE             write every frame sent and received to FILE, one line\n"
        "                           each: seconds, TX or RX, address, decoded summary, bytes\n"
        "  --allow-default-download also answer Yes to the two questions before writing\n"
        "                           default values (a write before any read)\n"
        "  --help                   this text\n\n"
        "Commands:\n";
  for (const Command* c : CommandTable::instance().all()) {
    std::string head = "  " + std::string(c->name);
    if (!c->arguments.empty()) head += " " + std::string(c->arguments);
    if (head.size() < 34)
      head.resize(34, ' ');
    else
      head += "\n" + std::string(34, ' ');
    os << head << ' ' << c->help << '\n';
  }
  os << "\nOutput: `get` prints value, unit and status separated by tabs; `table` prints one\n"
        "line per visible row: depth, label, value, unit and status separated by tabs (text\n"
        "rows as their text). Tabs and line feeds inside a text print as \\t and \\n.\n"
        "Messages go to standard error as \"Title: text\". Questions are asked only on a\n"
        "terminal; without one they are answered No and entries are cancelled.\n"
        "Ctrl+C stops a running method as an abort; at other times it ends the run after\n"
        "the current command (status 130), and a second Ctrl+C ends it at once.\n\n"
        "Exit status: 0 when every command succeeded; 1 when one failed (an error message,\n"
        "an aborted method, a refused question or entry), the commands after it are not run;\n"
        "2 for a usage error.\n";
}

bool readPasswords(const std::string& path, std::vector<std::string>& out) {
  std::ifstream in(path);
  if (!in) return false;
  for (std::string line; out.size() < 3 && std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return true;
}

// Ctrl+C arrives on a thread of its own (blocked everywhere else), which
// may call into the method engine; a signal handler may not.
class InterruptWatch {
 public:
  InterruptWatch() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  }
  void start(Context& context) {
    thread_ = std::thread([this, &context] {
      for (;;) {
        int signal = 0;
        if (sigwait(&set_, &signal) != 0 || signal == SIGUSR1) return;
        // Whatever runs, a resend question asked from now on is answered No.
        context.ui().interrupt();
        if (context.interruptMethod()) continue;
        // The first Ctrl+C ends the run after the current command, with the
        // ports closed as at shutdown; a second one ends it at once.
        if (quit_.exchange(true)) _exit(kInterrupted);
      }
    });
  }
  bool quitRequested() const { return quit_; }
  ~InterruptWatch() {
    if (!thread_.joinable()) return;
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
  }

 private:
  sigset_t set_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
};

int run(int argc, char** argv) {
  // Before any thread starts, so that every thread inherits the mask.
  InterruptWatch watch;
  Options options;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (!words.empty()) {
      words.push_back(a);
    } else if (a == "--help" || a == "-h") {
      usage(std::cout);
      return 0;
    } else if (a == "--folder" || a == "--offline" || a == "--password-file" || a == "--user" || a == "--trace") {
      std::string v;
      if (!value(v)) {
        std::cerr << "tavrin-cli: " << a << " needs a value\n";
        return kUsageError;
      }
      if (a == "--folder") {
        options.folder = v.empty() || v.back() == '/' ? v : v + "/";
      } else if (a == "--offline") {
        options.offline = v;
      } else if (a == "--password-file") {
        options.passwordFile = v;
      } else if (a == "--trace") {
        options.trace = v;
      } else if (v == "specialist") {
        options.user = app::UserType::Specialist;
      } else if (v == "maintenance") {
        options.user = app::UserType::Maintenance;
      } else {
        std::cerr << "tavrin-cli: --user takes specialist or maintenance\n";
        return kUsageError;
      }
    } else if (a == "--yes") {
      options.yes = true;
    } else if (a == "--allow-default-download") {
      options.allowDefaultDownload = true;
    } else if (a.starts_with("-")) {
      std::cerr << "tavrin-cli: unknown option " << a << "\n";
      return kUsageError;
    } else {
      words.push_back(a);
    }
  }
  std::vector<Invocation> commands;
  std::string error;
  if (words.empty()) error = "no command given";
  if (!error.empty() || !CommandTable::instance().parse(words, commands, error)) {
    std::cerr << "tavrin-cli: " << error << " (see tavrin-cli --help)\n";
    return kUsageError;
  }
  // Started through a link of a per-user folder, the folder of the link.
  if (options.folder.empty()) options.folder = platform::startedFolder(argv[0], std::getenv("PATH"));

  Answers answers;
  answers.interactive = ::isatty(STDIN_FILENO) == 1;
  answers.yes = options.yes;
  answers.allowDefaultDownload = options.allowDefaultDownload;
  answers.user = options.user;
  if (!options.passwordFile.empty() && !readPasswords(options.passwordFile, answers.passwords)) {
    std::cerr << "tavrin-cli: cannot read " << options.passwordFile << "\n";
    return kUsageError;
  }

  if (!options.trace.empty() && !std::ofstream(options.trace, std::ios::trunc)) {
    std::cerr << "tavrin-cli: cannot write " << options.trace << "\n";
    return kUsageError;
  }

  CliUserInterface ui(std::cin, std::cout, std::cerr, answers);
  Context context(options, ui, std::cout);
  watch.start(context);
  bool ok = context.start();
  for (const Invocation& inv : commands) {
    if (!ok || watch.quitRequested()) break;
    const int before = ui.errors();
    ui.beginCommand();
    ok = inv.command->run(context, inv.args) && ui.errors() == before;
    std::cout.flush();
  }
  context.shutdown();
  if (watch.quitRequested()) return kInterrupted;
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace tavrin::cli

int main(int argc, char** argv) { return tavrin::cli::run(argc, argv); }
