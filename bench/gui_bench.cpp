// The window's start-up and everyday commands, offscreen, against tavrin-sim
// on both buses, immediate and paced at the line's speed:
//   gui_bench [runs]
// Start-up is timed from the top of main() (the QApplication included) to
// the main window's first paint, and for each further window from its
// construction to its first paint. Connect is timed from the command to the
// first paint of the parameter table, with the user choice answered as soon
// as it shows; Read from the command to its end (the progress dialog
// closed); closing a connected window to its end (session shut down, ports
// closed).
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device_window.h"
#include "main_window.h"
#include "table_model.h"
#include "table_view.h"
#include "bench_folder.h"
#include "paint_watch.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using tavrin::gui::ActionId;
using tavrin::gui::MainWindow;

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

// Answers the user choice with its first entry; any other dialog is a
// failure of the run and is cancelled.
class Answerer : public QObject {
 public:
  Answerer() { qApp->installEventFilter(this); }
  ~Answerer() override { qApp->removeEventFilter(this); }
  int unexpected = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (!dialog || !dialog->isWindow() || dialog->objectName() == QStringLiteral("progressDialog")) return false;
    QPointer<QDialog> d(dialog);
    QTimer::singleShot(0, dialog, [this, d] {
      if (!d) return;
      // "USER choice" opens with "Manufacture Version" checked.
      if (d->objectName() == QStringLiteral("userChoiceDialog")) {
        d->accept();
        return;
      }
      std::fprintf(stderr, "unexpected dialog: %s\n", d->windowTitle().toUtf8().constData());
      ++unexpected;
      d->reject();
    });
    return false;
  }
};

class Simulator {
 public:
  Simulator(const std::string& bus, const std::string& link, bool paced) {
    std::vector<std::string> args{TAVRIN_DIST_DIR "tavrin-sim", "--bus", bus, "--link", link, "--profile",
                                  TAVRIN_SOURCE_DIR "sim/profiles/" + bus + "-pressure.ini"};
    if (paced) args.emplace_back("--pace");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    fs::remove(link);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    struct stat st {};
    for (int i = 0; i < 2000 && ::lstat(link.c_str(), &st) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~Simulator() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

struct Stats {
  std::vector<double> samples;
  void add(double ms) { samples.push_back(ms); }
  void print(const char* what) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    std::printf("%-50s median %8.1f ms   min %8.1f   max %8.1f   (%zu runs)\n", what, samples[samples.size() / 2],
                samples.front(), samples.back(), samples.size());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const auto processStart = Clock::now();
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

  const fs::path folder = fs::temp_directory_path() / ("gui-bench-" + std::to_string(::getpid()));
  bench::makeProgramFolder(folder);
  const tavrin::app::ProgramFiles files{folder.string() + "/"};
  const std::string link = (folder / "ports/COM5").string();

  int failures = 0;
  Answerer answerer;
  Stats firstPaint, windowPaint;
  bool first = true;
  for (const bool paced : {false, true}) {
    for (const std::string bus : {"modbus", "profibus"}) {
      Simulator sim(bus, link, paced);
      if (!sim.running()) return 1;
      bench::writeComIni(folder, bus);
      Stats connect, read, close;
      for (int run = 0; run < runs; ++run) {
        const auto constructed = Clock::now();
        auto window = std::make_unique<MainWindow>(files);
        PaintWatch windowPainted(window.get());
        window->show();
        if (!windowPainted.wait()) ++failures;
        (first ? firstPaint : windowPaint).add(msSince(first ? processStart : constructed));
        first = false;

        auto& device = *window->deviceWindow();
        PaintWatch tablePainted(device.tableView()->viewport());
        tablePainted.arm();
        auto start = Clock::now();
        window->action(ActionId::Connect)->trigger();
        if (!device.session().connected() || device.tableModel()->rowCount() == 0 || !tablePainted.wait()) ++failures;
        connect.add(msSince(start));

        start = Clock::now();
        window->action(ActionId::Read)->trigger();
        if (!device.session().hasRead()) ++failures;
        read.add(msSince(start));

        start = Clock::now();
        window->close();
        window.reset();
        close.add(msSince(start));
      }
      const std::string line = std::string(bus) + (paced ? ", paced" : ", immediate");
      connect.print(("connect to table shown, " + line).c_str());
      read.print(("read of all, " + line).c_str());
      close.print(("close of a connected window, " + line).c_str());
    }
  }
  firstPaint.print("process start to first paint");
  windowPaint.print("new window to first paint");
  fs::remove_all(folder);
  failures += answerer.unexpected;
  if (failures) std::fprintf(stderr, "%d runs failed\n", failures);
  return failures ? 1 : 0;
}
