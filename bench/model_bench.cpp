// What the description model costs on a full table: a description with
// 1,024 variables (integers with display formats, floats, enumerations of
// 16 texts, strings: exactly the 2,048 bytes of value memory), labels, handling, validity and 64 UNIT relations is
// loaded and registered, then every variable is formatted (value, unit,
// status), as filling the parameter table does. Lookups are linear and
// nothing compiled is kept, so this is the number to watch. Then the
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
#include "model/session.h"
#include "ui/console_user_interface.h"

namespace {

using namespace tavrin::eddtext;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kVariables = 1024;
constexpr uint32_t kRelations = 64;

// Texts: variable names, relation names, then the shared texts.
enum : uint32_t { kLabel = kVariables + kRelations, kFormat, kFloatFormat, kOn, kText = kOn + 16 };

void stringValue(Tree& t, uint32_t depth, uint32_t text) {
  t.push_back({58, 0, depth, {}});
  t.push_back({410, 0, depth + 1, {}});
  t.push_back({31, text, depth + 2, {}});
}

Tree variable(uint32_t id) {
  Tree t{{22, 0, 0, {}}, {30, id, 1, {}}, {290, 0, 1, {}}};
  stringValue(t, 2, kLabel);
  t.insert(t.end(), {{287, 0, 1, {}}, {58, 0, 2, {}}, {341, 3, 3, {}}, {301, 0, 1, {}}, {54, 0, 2, {}},
                     {405, 0, 3, {}}, {399, 1, 4, {}}, {62, 0, 3, {}}, {58, 0, 4, {}}, {396, 0, 5, {}},
                     {300, 0, 1, {}}});
  switch (id % 4) {
    case 0:
      t.insert(t.end(), {{32, 0, 2, {}}, {399, 1, 3, {}}, {305, 0, 3, {}}});
      stringValue(t, 4, kFormat);
      t.insert(t.end(), {{308, 0, 3, {}}, {405, 0, 4, {}}, {399, 0, 5, {}}, {309, 0, 3, {}}, {405, 0, 4, {}},
                         {399, 1000, 5, {}}});
      break;
    case 1:
      t.insert(t.end(), {{34, 0, 2, {}}, {305, 0, 3, {}}});
      stringValue(t, 4, kFloatFormat);
      t.insert(t.end(), {{289, 0, 3, {}}, {405, 0, 4, {}}, {398, 0x3FC00000, 5, {}}});
      break;
    case 2:
      t.insert(t.end(), {{36, 0, 2, {}}, {399, 1, 3, {}}, {65, 0, 3, {}}, {58, 0, 4, {}}});
      for (uint32_t e = 0; e < 16; ++e) {
        t.insert(t.end(), {{66, 0, 5, {}}, {399, e, 6, {}}});
        stringValue(t, 6, kOn + e);
      }
      break;
    default:
      t.insert(t.end(), {{39, 0, 2, {}}, {399, 2, 3, {}}, {289, 0, 3, {}}});
      stringValue(t, 4, kText);
      break;
  }
  return t;
}

Tree relation(uint32_t n) {
  Tree t{{21, 0, 0, {}}, {30, kVariables + n, 1, {}}, {490, 0, 1, {}}, {498, 0, 2, {}}, {30, n * 16 + 2, 3, {}},
         {491, 0, 1, {}}};
  for (uint32_t d = 0; d < 16; d += 2) t.insert(t.end(), {{498, 0, 2, {}}, {30, n * 16 + d + 1, 3, {}}});
  return t;
}

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 20;
  Document d;
  for (uint32_t i = 0; i < kVariables; ++i) d.texts.push_back("variable_" + std::to_string(i));
  for (uint32_t i = 0; i < kRelations; ++i) d.texts.push_back("relation_" + std::to_string(i));
  d.texts.insert(d.texts.end(), {"|en|Pressure|de|Druck", "04X", "8.3f"});
  for (uint32_t i = 0; i < 16; ++i) d.texts.push_back("state " + std::to_string(i));
  d.texts.push_back("PT-100");
  for (uint32_t i = 0; i < kVariables; ++i) d.lists[0].push_back(variable(i));
  for (uint32_t i = 0; i < kRelations; ++i) d.lists[20].push_back(relation(i));

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
  std::printf("enumeration texts of the 256 enumerated: %8.2f ms\n", enumerations / repeats);
  std::printf("export all values:                      %8.2f ms\n", exports / repeats);
  std::printf("import all values:                      %8.2f ms\n", imports / repeats);
  std::printf("edit commit of a unit variable:         %8.2f ms\n", commits / repeats);
  std::filesystem::remove_all(folder);
  return 0;
}
