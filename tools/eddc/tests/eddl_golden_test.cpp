// Each construct of the source language, compiled and compared with the
// readable form of the trees it must give (tests/golden/NAME.edd against
// NAME.dump). The trees were checked by hand against what the model and
// the engine walk; a change of shape shows here as a diff of readable
// lines. TAVRIN_UPDATE_GOLDEN=1 rewrites the .dump files after a deliberate
// change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "eddl/compiler.h"
#include "eddtext/binary.h"
#include "eddtext/text_form.h"

namespace tavrin::eddl {
namespace {

const std::string kGolden = TAVRIN_SOURCE_DIR "tools/eddc/tests/golden/";

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, CompilesToTheExpectedTrees) {
  const std::string name = GetParam();
  const Compiled compiled = compile(read(kGolden + name + ".edd"));
  ASSERT_TRUE(compiled.document) << compiled.report(name + ".edd");
  const std::string dump = eddtext::dumpText(*compiled.document);
  if (std::getenv("TAVRIN_UPDATE_GOLDEN")) std::ofstream(kGolden + name + ".dump", std::ios::binary) << dump;
  EXPECT_EQ(dump, read(kGolden + name + ".dump"));
  // What eddc writes is what the dump shows.
  const eddtext::ParsedBinary back = eddtext::parseBinary(eddtext::writeBinary(*compiled.document));
  EXPECT_FALSE(back.error);
  EXPECT_EQ(back.document, *compiled.document);
}

INSTANTIATE_TEST_SUITE_P(Constructs, Golden,
                         ::testing::Values("variable", "types", "enumerations", "command", "menu", "objects",
                                           "method", "strings"));

}  // namespace
}  // namespace tavrin::eddl
