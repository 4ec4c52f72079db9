#include "model_fixture.h"

#include <cstdio>

#include "testing/edd_fixture.h"

namespace tavrin::model::testing {

std::string ModelHarness::write(std::string_view description, const std::string& fileName) {
  dir.write(fileName, tavrin::testing::assembleEdd(description));
  return dir.file(fileName);
}

bool ModelHarness::load(std::string_view description) {
  if (!session.loadDescription(write(description))) return false;
  session.registerVariables();
  return true;
}

std::string ModelHarness::value(std::string_view name) {
  const auto t = vars().format(id(name), false);
  return t ? t->value : "<no variable>";
}

std::string ModelHarness::unit(std::string_view name) {
  const auto t = vars().format(id(name), false);
  return t ? t->unit : "<no variable>";
}

std::string ModelHarness::status(std::string_view name) {
  const auto t = vars().format(id(name), false);
  return t ? t->status : "<no variable>";
}

std::string ModelHarness::bytes(std::string_view name) {
  const SymbolEntry* e = entry(name);
  if (!e) return "<no variable>";
  std::string s;
  for (const std::byte b : session.symbols().bytes(*e)) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(b));
    if (!s.empty()) s += ' ';
    s += hex;
  }
  return s;
}

std::vector<std::string> ModelHarness::takeErrors() {
  std::vector<std::string> e = ui.errors();
  ui.clearRecord();
  return e;
}

}  // namespace tavrin::model::testing
