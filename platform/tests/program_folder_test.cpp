#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include "platform/dynamic_library.h"
#include "testing/temp_dir.h"

namespace tavrin::platform {
namespace {

TEST(ProgramFolder, ExecutableFolderEndsWithSlashAndHoldsTheTest) {
  std::string folder = executableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "platform_tests"));
}

TEST(ProgramFolder, ParentFolder) {
  EXPECT_EQ(parentFolder("/a/b/c.so"), "/a/b/");
  EXPECT_EQ(parentFolder("/a/b/"), "/a/");
  EXPECT_EQ(parentFolder("/a"), "/");
  EXPECT_EQ(parentFolder("name"), "");
}

TEST(ProgramFolder, LibraryFindsTheFolderAboveItsLinkedDriverFolder) {
  testing::TempDir folder;
  std::filesystem::create_directory(folder.file("Driver"));
  std::filesystem::create_symlink(PROBE_LIBRARY, folder.file("Driver/Probe.so"));

  DynamicLibrary lib;
  ASSERT_TRUE(lib.open(folder.file("Driver/Probe.so"))) << lib.error();
  auto probe = lib.function<int(char*, int)>("ProbeProgramFolder");
  ASSERT_NE(probe, nullptr);
  char out[4096];
  ASSERT_GT(probe(out, sizeof out), 0);
  EXPECT_EQ(std::string(out), folder.path()) << "the link must not be resolved";
  EXPECT_EQ(lib.symbol("NoSuchFunction"), nullptr);
}

TEST(DynamicLibraryTest, MissingLibraryReportsWhy) {
  DynamicLibrary lib;
  EXPECT_FALSE(lib.open("/nonexistent/Driver/Lirrand.so"));
  EXPECT_FALSE(lib.isOpen());
  EXPECT_NE(lib.error().find("Lirrand.so"), std::string::npos);
  EXPECT_EQ(lib.symbol("Binary_ReadEDD"), nullptr);
}

}  // namespace
}  // namespace tavrin::platform
