#include "builtins_fixture.h"

#include <filesystem>
#include <fstream>

#include "eddl/compiler.h"
#include "eddtext/binary.h"

namespace tavrin::builtins::testing {

const char* const kCommonDescription = R"(
  VARIABLE pressure { LABEL "Pressure"; CONSTANT_UNIT "kPa"; TYPE FLOAT { DISPLAY_FORMAT "3.1f"; } }
  VARIABLE count { LABEL "Count"; TYPE UNSIGNED_INTEGER (4); }
  VARIABLE unit { LABEL "Unit"; TYPE ENUMERATED (2) { { 1133, "kPa" }, { 1132, "MPa" }, { 1137, "bar" } } }
  VARIABLE serial { LABEL "Serial number"; TYPE ASCII (8); }
  VARIABLE tag { LABEL "Tag"; TYPE ASCII (8); }
  VARIABLE note { LABEL "Note"; TYPE ASCII (32); }
  COMMAND read_serial { FUNCTION_CODE 3; ADDRESS 0x100; OPERATION READ; TRANSACTION { REPLY { serial } } }
  COMMAND read_pressure { FUNCTION_CODE 4; ADDRESS 0; OPERATION READ; TRANSACTION { REPLY { pressure } } }
  COMMAND write_unit { FUNCTION_CODE 6; ADDRESS 0; OPERATION WRITE; TRANSACTION { REQUEST { unit } } }
)";

BuiltinsTest::BuiltinsTest() : session(ui, folder.path()) {
  std::filesystem::create_directory_symlink(TAVRIN_DIST_DIR "Driver", folder.file("Driver"));
  session.setCommunication(&link, model::CommunicationType::Modbus);
  builtins.install();
}

void BuiltinsTest::load(std::string_view methods) {
  const eddl::Compiled compiled = eddl::compile(std::string(kCommonDescription) + std::string(methods));
  ASSERT_TRUE(compiled.document) << compiled.report("source");
  std::ofstream(folder.file("device.bin"), std::ios::binary) << eddtext::writeBinary(*compiled.document);
  ASSERT_TRUE(session.loadDescription(folder.file("device.bin")));
  session.registerVariables();
}

int BuiltinsTest::run(std::string_view method) {
  const EddNode* root = session.description().findObject(id(method));
  EXPECT_NE(root, nullptr) << method;
  return root ? session.engine().runMethod(*root) : -1;
}

int32_t BuiltinsTest::id(std::string_view name) const { return session.description().findId(name); }

std::string BuiltinsTest::shown(std::string_view name) { return session.variables().valueText(id(name)); }

void BuiltinsTest::setText(std::string_view name, std::string_view text) {
  ASSERT_TRUE(session.variables().assignText(id(name), text));
}

}  // namespace tavrin::builtins::testing
