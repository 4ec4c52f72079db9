// The parameter table of 1,024 rows, offscreen: the description of
// full_table.h opened without a bus, its parameter menu walked and filled
// into the table's rows (every variable formatted), the Qt model reset with
// them and the view's first paint after it.
//
//   table_bench [REPEATS]
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/description_menus.h"
#include "app/menu_view.h"
#include "eddtext/binary.h"
#include "full_table.h"
#include "model/session.h"
#include "table_model.h"
#include "table_view.h"
#include "ui/console_user_interface.h"
#include "paint_watch.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

struct Best {
  double ms = 1e9;
  void add(double v) { ms = std::min(ms, v); }
};

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

  char folder[] = "/tmp/tavrin-table-bench-XXXXXX";
  const std::string path = std::string(::mkdtemp(folder)) + "/device.bin";
  std::ofstream(path, std::ios::binary) << tavrin::eddtext::writeBinary(tavrin::bench::fullTable());

  std::ostream nowhere(nullptr);
  const bool verbose = std::getenv("TABLE_BENCH_VERBOSE") != nullptr;
  tavrin::ui::ConsoleUserInterface ui(std::cin, nowhere, verbose ? std::cerr : nowhere, {});
  tavrin::model::Session session(ui, TAVRIN_DIST_DIR);
  if (!session.loadDescription(path)) return 1;
  session.registerVariables();
  const EddNode* menu = session.description().findObject(tavrin::bench::kMenu);
  if (menu == nullptr) return 1;
  tavrin::app::DescriptionMenus menus(session);
  tavrin::app::MenuView view(session, menus);
  // The parameter table fills from the values read, never from the device.
  session.variables().setViewMode(tavrin::model::ViewMode::Parameter);

  tavrin::gui::ParameterTableModel model;
  tavrin::gui::ParameterTableView table;
  table.setTableModel(&model);
  table.resize(1200, 800);
  table.show();
  PaintWatch painted(table.viewport());
  painted.wait();

  Best fill, reset, paint, total;
  int failures = 0;
  for (int r = 0; r < repeats; ++r) {
    const auto start = Clock::now();
    // The variables of the shared description are all marked invalid; keep them.
    view.walk(menu, tavrin::app::walk::Variables | tavrin::app::walk::Invalid);
    view.fill(0);
    const double filled = msSince(start);
    const auto resetStart = Clock::now();
    painted.arm();
    model.reset(view.table());
    const double resetDone = msSince(resetStart);
    const auto paintStart = Clock::now();
    if (!painted.wait() || model.rowCount() != static_cast<int>(tavrin::bench::kVariables)) {
      std::fprintf(stderr, "%d rows, %zu walked\n", model.rowCount(), view.rows().size());
      ++failures;
    }
    paint.add(msSince(paintStart));
    fill.add(filled);
    reset.add(resetDone);
    total.add(msSince(start));
  }
  std::filesystem::remove_all(folder);
  std::printf("%u rows, best of %d\n", tavrin::bench::kVariables, repeats);
  std::printf("menu walk and table fill (formatting): %8.2f ms\n", fill.ms);
  std::printf("model reset:                           %8.2f ms\n", reset.ms);
  std::printf("first paint after the reset:           %8.2f ms\n", paint.ms);
  std::printf("all of it:                             %8.2f ms\n", total.ms);
  if (failures) std::fprintf(stderr, "%d runs failed\n", failures);
  return failures ? 1 : 0;
}
