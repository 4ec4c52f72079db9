// The program binds the loader by name: the library must export exactly the
// three functions and nothing that could clash with the program's symbols.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "testing/edd_fixture.h"

namespace tavrin::testing {
namespace {

TEST(LirrandExports, ExactlyTheThreeFunctions) {
  const std::string command = "nm -D --defined-only '" + Lirrand::programFolder() + "Driver/Lirrand.so' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  ASSERT_EQ(::pclose(pipe), 0) << output;

  std::set<std::string> names;
  std::istringstream lines(output);
  std::string address, type, name;
  while (lines >> address >> type >> name) {
    EXPECT_EQ(type, "T") << name;
    names.insert(name);
  }
  EXPECT_EQ(names, (std::set<std::string>{"Binary_ReadEDD", "Binary_PrintEDD", "Binary_DeleteALL"})) << output;
}

}  // namespace
}  // namespace tavrin::testing
