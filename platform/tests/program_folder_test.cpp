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

// A per-user program folder is a folder of links into the installed one:
// the program started through a link works in the folder of the link.
TEST(ProgramFolder, StartedFolderKeepsTheLinkTheProgramWasStartedBy) {
  testing::TempDir user;
  std::filesystem::create_directory(user.file("bin"));
  std::filesystem::create_symlink(executableFolder() + "platform_tests", user.file("tavrin"));

  EXPECT_EQ(startedFolder(user.file("tavrin").c_str(), nullptr), user.path());
  EXPECT_EQ(startedFolder((user.path() + "./tavrin").c_str(), nullptr), user.path());
  // Found through PATH as the shell found it: the first entry that has it.
  const std::string path = "/nonexistent:" + user.file("bin") + ":" + user.path() + ":/usr/bin";
  EXPECT_EQ(startedFolder("tavrin", path.c_str()), user.path());
  // A folder of that name is no program; nothing found falls back to the
  // executable's own folder.
  std::filesystem::create_directory(user.file("bin/tavrin"));
  EXPECT_EQ(startedFolder("tavrin", path.c_str()), user.path());
  EXPECT_EQ(startedFolder("tavrin", "/nonexistent"), executableFolder());
  EXPECT_EQ(startedFolder(user.file("missing").c_str(), nullptr), executableFolder());
  EXPECT_EQ(startedFolder(nullptr, nullptr), executableFolder());
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
