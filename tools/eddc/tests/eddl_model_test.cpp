// Compiled sources in the description model: what each construct leads to
// once the program has loaded the file and registered its variables: sizes,
// initial values, display texts, enumerations, ranges, units, handling,
// validity, class and labels.
#include <gtest/gtest.h>

#include <fstream>

#include "edd/tags.h"
#include "eddl/compiler.h"
#include "eddtext/binary.h"
#include "model/session.h"
#include "testing/temp_dir.h"
#include "ui/fake_user_interface.h"

namespace tavrin::eddl {
namespace {

class CompiledInModel : public ::testing::Test {
 protected:
  void load(std::string_view source) {
    const Compiled compiled = compile(source);
    ASSERT_TRUE(compiled.document) << compiled.report("source");
    std::ofstream(dir.file("device.bin"), std::ios::binary) << eddtext::writeBinary(*compiled.document);
    ASSERT_TRUE(session.loadDescription(dir.file("device.bin")));
    session.registerVariables();
  }
  int32_t id(std::string_view name) const { return session.description().findId(name); }
  const EddNode* root(std::string_view name) const { return session.description().findObject(id(name)); }
  model::Variables& vars() { return session.variables(); }
  std::string shown(std::string_view name) {
    const auto text = vars().format(id(name), false);
    return text ? text->value + "|" + text->unit + "|" + text->status : "none";
  }
  uint32_t size(std::string_view name) {
    const model::SymbolEntry* e = session.symbols().find(id(name));
    return e ? e->size : 0;
  }

  ui::FakeUserInterface ui;
  testing::TempDir dir;
  model::Session session{ui, TAVRIN_DIST_DIR};
};

TEST_F(CompiledInModel, TypesSizesInitialValuesAndDisplayTexts) {
  load(R"(
    VARIABLE byte { TYPE INTEGER; INITIAL_VALUE -1; }
    VARIABLE word { TYPE UNSIGNED_INTEGER (2) { DISPLAY_FORMAT "04X"; DEFAULT_VALUE 0xBEEF; } }
    VARIABLE both { TYPE INTEGER (4) { DEFAULT_VALUE 1; INITIAL_VALUE 2; } }
    VARIABLE root_level { TYPE INTEGER (2); DEFAULT_VALUE 7; INITIAL_VALUE 8 * 2; }
    VARIABLE ratio { TYPE FLOAT { DISPLAY_FORMAT "6.2f"; } INITIAL_VALUE 1.5; CONSTANT_UNIT "%"; }
    VARIABLE precise { TYPE DOUBLE; DEFAULT_VALUE 0.25; }
    VARIABLE name { TYPE ASCII (6) { DEFAULT_VALUE "abc"; } }
    VARIABLE packed { TYPE PACKED_ASCII (3); INITIAL_VALUE "xyz"; }
    VARIABLE scratch { CLASS LOCAL; TYPE INTEGER (1) { INITIAL_VALUE 3; } }
    VARIABLE day { TYPE DATE; }
    VARIABLE clock { TYPE TIME; }
    VARIABLE clock4 { TYPE TIME (4) { DISPLAY_FORMAT "x"; } }
    VARIABLE stamp { TYPE TIME_VALUE; }
  )");
  EXPECT_EQ(shown("byte"), "-1||Initial value");
  EXPECT_EQ(shown("word"), "0xBEEF||Initial value");
  EXPECT_EQ(shown("both"), "2||Initial value");  // the initial value wins
  EXPECT_EQ(shown("root_level"), "16||Initial value");
  EXPECT_EQ(shown("ratio"), "  1.50|%|Initial value");
  EXPECT_EQ(shown("precise"), "0.250000||Initial value");
  EXPECT_EQ(shown("name"), "abc||Initial value");
  EXPECT_EQ(shown("packed"), "xyz||Initial value");
  EXPECT_EQ(shown("scratch"), "3||Local");
  const std::vector<uint32_t> sizes{size("byte"), size("word"),  size("both"),  size("ratio"),
                                    size("precise"), size("name"), size("day"), size("clock"),
                                    size("clock4"), size("stamp")};
  EXPECT_EQ(sizes, (std::vector<uint32_t>{1, 2, 4, 4, 8, 6, 3, 6, 4, 8}));
  EXPECT_EQ(ui.errors(), std::vector<std::string>{});
}

TEST_F(CompiledInModel, EnumerationsAndBitEnumerations) {
  load(R"(
    VARIABLE unit {
      TYPE ENUMERATED (2) { { 1133, "kPa" }, { 1137, "bar", "Bar" }, { 1137, "hidden" }, { 7, note } }
      INITIAL_VALUE 1137;
    }
    VARIABLE alarms { TYPE BIT_ENUMERATED (1) { { 0x01, "Low" }, { 0x80, "High", "Above the limit" } } }
    VARIABLE shape {
      TYPE ENUMERATED (1) {
        IF (unit == 1133) { { 0, "Linear" }, { 1, "Square root" } } ELSE { { 0, "Straight" } }
      }
    }
    VARIABLE note { TYPE ASCII (5) { INITIAL_VALUE "other"; } }
  )");
  EXPECT_EQ(shown("unit"), "bar||Initial value");
  EXPECT_EQ(vars().enumDescriptions(id("unit")), (std::vector<std::string>{"kPa", "bar", "hidden", "other"}));
  EXPECT_EQ(vars().enumDescription(id("unit"), 7), "other");
  EXPECT_EQ(vars().enumDescription(id("unit"), 8), "Unknown Enumerator");
  const auto bits = vars().bitEnumerators(id("alarms"));
  ASSERT_EQ(bits.size(), 2u);
  EXPECT_EQ(bits[1].value, 0x80u);
  EXPECT_EQ(bits[1].description, "High");
  EXPECT_EQ(vars().enumDescriptions(id("shape")), (std::vector<std::string>{"Straight"}));
  ASSERT_TRUE(vars().assignText(id("unit"), " kPa "));
  EXPECT_EQ(vars().enumDescriptions(id("shape")), (std::vector<std::string>{"Linear", "Square root"}));
  EXPECT_EQ(ui.errors(), std::vector<std::string>{});
}

TEST_F(CompiledInModel, RangesUnitsHandlingValidityClassAndLabels) {
  load(R"(
    VARIABLE mode { TYPE UNSIGNED_INTEGER (1); INITIAL_VALUE 2; }
    VARIABLE pressure_unit { TYPE ENUMERATED (2) { { 1133, "kPa" }, { 1137, "bar" } } INITIAL_VALUE 1137; }
    VARIABLE level {
      LABEL SELECT (mode) { CASE 1: "|en|One|de|Eins"; DEFAULT: "|en|Level|de|Pegel"; }
      CLASS DYNAMIC & LOCAL;
      HANDLING IF (mode == 2) { READ; } ELSE { READ & WRITE; }
      VALIDITY SELECT (mode) { CASE 2: FALSE; DEFAULT: TRUE; }
      TYPE FLOAT {
        MIN_VALUE IF (mode > 1) { -1.5; } ELSE { 0; }
        MAX_VALUE 100;
        MIN_VALUE3 -2;
        MAX_VALUE31 mode * 10;
      }
    }
    VARIABLE pressure { LABEL "Pressure"; TYPE FLOAT; HANDLING READ & WRITE; VALIDITY TRUE; }
    UNIT pressure_units { pressure_unit : pressure }
  )");
  const auto ranges = vars().ranges(id("level"));
  ASSERT_TRUE(ranges);
  EXPECT_EQ(ranges->minimum[0], -1.5);
  EXPECT_EQ(ranges->maximum[0], 100.0);
  EXPECT_EQ(ranges->minimum[3], -2.0);
  EXPECT_EQ(ranges->maximum[31], 20.0);
  EXPECT_FALSE(ranges->minimum[1]);
  EXPECT_EQ(vars().unitText(id("pressure"), false), "bar");
  EXPECT_EQ(vars().handling(root("level")), 1u);
  EXPECT_EQ(vars().handling(root("pressure")), 3u);
  EXPECT_FALSE(vars().valid(root("level")));
  EXPECT_TRUE(vars().valid(root("pressure")));
  EXPECT_TRUE(vars().valid(root("mode")));
  EXPECT_EQ(vars().classFlags(root("level")), model::kClassDynamic | model::kClassLocal);
  EXPECT_EQ(vars().label(root("level")), "|en|Level|de|Pegel");
  ASSERT_TRUE(vars().assign(id("mode"), methods::Entry::ofInt(1)));
  EXPECT_EQ(vars().label(root("level")), "|en|One|de|Eins");
  EXPECT_EQ(vars().handling(root("level")), 3u);
  EXPECT_TRUE(vars().valid(root("level")));
  EXPECT_EQ(ui.errors(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tavrin::eddl
