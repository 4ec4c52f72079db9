// What the description model costs on a full table: a description with
// 1,024 variables (integers with display formats, floats, enumerations of
// 16 texts, strings: exactly the 2,048 bytes of value memory), labels, handling, validity and 64 UNIT relations is
// loaded and registered, then every variable is formatted (value, unit,
// status), as filling the parameter table does, first all together, then
// each part alone (value text, unit text, label, handling with validity) so
// that a change shows where it went. Then the
// table's file and edit commands on it: export and import of every value,
// and the edit commit of a unit variable with its relation's dependents.
//
//   model_bench [REPEATS]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "app/edit_commit.h"
#include "app/parameter_file.h"
#include "eddtext/binary.h"
#include "full_table.h"
#include "model/session.h"
#include "ui/console_user_interface.h"

namespace {

using namespace tavrin::eddtext;
using tavrin::bench::kRelations;
using tavrin::bench::kVariables;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 20;
  const Document d = tavrin::bench::fullTable();

  char folder[] = "/tmp/tavrin-model-bench-XXXXXX";
  const std::string path = std::string(::mkdtemp(folder)) + "/device.bin";
  std::ofstream(path, std::ios::binary) << writeBinary(d);

  std::ostream nowhere(nullptr);
  const bool verbose = std::getenv("MODEL_BENCH_VERBOSE") != nullptr;
  tavrin::ui::ConsoleUserInterface ui(std::cin, nowhere, verbose ? std::cerr : nowhere, {});
  tavrin::model::Session session(ui, TAVRIN_DIST_DIR);

  double load = 0;
  double format = 0;
  double enumerations = 0;
  double values = 0;
  double units = 0;
  double labels = 0;
  double queries = 0;
  size_t characters = 0;
  for (int r = 0; r < repeats; ++r) {
    Clock::time_point start = Clock::now();
    if (!session.loadDescription(path)) return 1;
    session.registerVariables();
    load += millisecondsSince(start);

    start = Clock::now();
    for (const auto& e : session.symbols().entries()) {
      const auto t = session.variables().format(e.id, false);
      characters += t ? t->value.size() + t->unit.size() : 0;
      session.variables().handling(e.root);
      session.variables().valid(e.root);
      session.variables().label(e.root);
    }
    format += millisecondsSince(start);

    start = Clock::now();
    for (const auto& e : session.symbols().entries()) {
      if (e.typeTag == 36) session.variables().enumDescriptions(e.id);
    }
    enumerations += millisecondsSince(start);

    tavrin::model::Variables& vars = session.variables();
    start = Clock::now();
    for (const auto& e : session.symbols().entries()) characters += vars.valueText(e.id).size() > 1000;
    values += millisecondsSince(start);
    start = Clock::now();
    for (const auto& e : session.symbols().entries()) characters += vars.unitText(e.id, false).size() > 1000;
    units += millisecondsSince(start);
    start = Clock::now();
    for (const auto& e : session.symbols().entries()) characters += vars.label(e.root).size() > 1000;
    labels += millisecondsSince(start);
    start = Clock::now();
    for (const auto& e : session.symbols().entries()) characters += vars.handling(e.root) + vars.valid(e.root) > 1000;
    queries += millisecondsSince(start);
  }
  const std::string file = std::string(folder) + "/set.txt";
  double exports = 0;
  double imports = 0;
  double commits = 0;
  for (int r = 0; r < repeats; ++r) {
    Clock::time_point start = Clock::now();
    if (!tavrin::app::exportParameters(session, file)) return 1;
    exports += millisecondsSince(start);
    start = Clock::now();
    tavrin::app::importParameters(session, file);
    imports += millisecondsSince(start);
    // Variable 2 is the unit of the first relation.
    start = Clock::now();
    if (!tavrin::app::commitValue(session, 2, r % 2 ? "state 1" : "state 2")) return 1;
    commits += millisecondsSince(start);
  }
  std::printf("%u variables, %u UNIT relations, %d repeats (%zu characters shown)\n", kVariables, kRelations,
              repeats, characters / static_cast<size_t>(repeats));
  std::printf("load and register:                      %8.2f ms\n", load / repeats);
  std::printf("value, unit, status, label, handling, validity of all: %8.2f ms (%.1f us a variable)\n",
              format / repeats, 1000.0 * format / repeats / kVariables);
  std::printf("  value texts alone:                    %8.2f ms\n", values / repeats);
  std::printf("  unit texts alone:                     %8.2f ms\n", units / repeats);
  std::printf("  labels alone:                         %8.2f ms\n", labels / repeats);
  std::printf("  handling and validity alone:          %8.2f ms\n", queries / repeats);
  std::printf("enumeration texts of the 256 enumerated: %8.2f ms\n", enumerations / repeats);
  std::printf("export all values:                      %8.2f ms\n", exports / repeats);
  std::printf("import all values:                      %8.2f ms\n", imports / repeats);
  std::printf("edit commit of a unit variable:         %8.2f ms\n", commits / repeats);
  std::filesystem::remove_all(folder);
  return 0;
}
