#include "app/add_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/key_file.h"
#include "program_folder.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using testing::TestProgramFolder;

const std::string kSample = TAVRIN_DIST_DIR "Profibus/PTX3200.bin";

std::string entryOf(const TestProgramFolder& folder, const std::string& section, const std::string& key) {
  return platform::readKey(section, key, folder.files().deviceTable());
}

struct AddFileTest : ::testing::Test {
  AddFileTest() { folder.linkDriver("Lirrand", testing::kRealLirrand); }
  AddFileForm form(std::string file, int type = 0) {
    AddFileForm f;
    f.type = type;
    f.file = std::move(file);
    return f;
  }
  TestProgramFolder folder;
  ui::FakeUserInterface ui;
};

TEST(AddFileRules, CodesAreHexadecimalUpToFFFFAndNamesStayInTheLibrary) {
  EXPECT_EQ(hexadecimalCode("0A5D"), 0x0A5D);
  EXPECT_EQ(hexadecimalCode("  0x0a5dzz"), 0x0A5D) << "blanks, prefix, lower case, stops at another character";
  EXPECT_EQ(hexadecimalCode("FFFF"), 0xFFFF);
  EXPECT_EQ(hexadecimalCode("0x"), 0) << "the 0 is a digit";
  EXPECT_EQ(hexadecimalCode("10000"), std::nullopt);
  EXPECT_EQ(hexadecimalCode("xyz"), std::nullopt);
  EXPECT_EQ(hexadecimalCode(" "), std::nullopt);

  EXPECT_EQ(libraryFileName("/home/me/a.bin"), "a.bin");
  EXPECT_EQ(libraryFileName("C:\\EDD\\b.bin"), "b.bin");
  EXPECT_EQ(libraryFileName("dir\\sub/c.bin"), "c.bin");
  EXPECT_EQ(libraryFileName("plain.bin"), "plain.bin");
  EXPECT_EQ(libraryFileName("/tmp/.."), "");
  EXPECT_EQ(libraryFileName("/tmp/"), "");
  EXPECT_EQ(libraryFileName(std::string(255, 'a') + "/tail.bin"), "tai") << "cut to 259 characters first";

  EXPECT_EQ(deviceTableEntry(0, 0x0A5D, 0x0B72).section, "MANUFACTURER_0x0A5D");
  EXPECT_EQ(deviceTableEntry(0, 0x0A5D, 0x0B72).key, "DEVICE_TYPE_0x0B72");
  EXPECT_EQ(deviceTableEntry(1, 0xab, 0x1).section, "MD_MANUFACTURER_0x00AB");
  EXPECT_EQ(deviceTableEntry(1, 0xab, 0x1).key, "MD_DEVICE_TYPE_0x0001");
}

TEST_F(AddFileTest, ChecksComeInOrderAndChangeNothing) {
  AddFileForm f = form("");
  f.manufacturerCode = " ";
  f.deviceCode = "";
  f.type = -1;
  EXPECT_FALSE(acceptAddFile(f, folder.files(), ui));
  f.manufacturerCode = "0A5D";
  EXPECT_FALSE(acceptAddFile(f, folder.files(), ui));
  f.deviceCode = "0B72";
  EXPECT_FALSE(acceptAddFile(f, folder.files(), ui));
  f.file = kSample;
  EXPECT_FALSE(acceptAddFile(f, folder.files(), ui));
  f.type = 0;
  f.manufacturerCode = "G1";
  EXPECT_FALSE(acceptAddFile(f, folder.files(), ui));
  f.manufacturerCode = "0A5D";
  f.deviceCode = "12345";
  EXPECT_FALSE(acceptAddFile(f, folder.files(), ui));
  f.deviceCode = "0B72";
  f.file = "/tmp/..";
  EXPECT_FALSE(acceptAddFile(f, folder.files(), ui));
  EXPECT_EQ(ui.errors(), (std::vector<std::string>{
                             "Error: Please input 'Manufacture Code'!",
                             "Error: Please input 'Device Type'!",
                             "Error: Please select EDDL file!",
                             "Error: Please select 'Meter Type'!",
                             "Error: The 'Manufacture Code' must be a hexadecimal number from 0 to FFFF!",
                             "Error: The 'Device Type' must be a hexadecimal number from 0 to FFFF!",
                             "Error: /tmp/.. is no file name!",
                         }));
  // No to the question keeps the dialog open with nothing changed.
  ui.clearRecord();
  ui.answer(ui::Answer::No);
  EXPECT_FALSE(acceptAddFile(form(kSample), folder.files(), ui));
  EXPECT_EQ(ui.messages(), std::vector<std::string>{"WARNING: Are you sure to add new file?"});
  EXPECT_FALSE(std::filesystem::exists(folder.files().deviceTable()));
  EXPECT_FALSE(std::filesystem::exists(folder.files().profibusLibrary() + "PTX3200.bin"));
}

TEST_F(AddFileTest, AddsThroughTheLoaderUnderUpperCaseCodesAndReplacesAnEarlierEntry) {
  folder.write("device.cfg", "[MANUFACTURER_0x0A5D]\nDEVICE_TYPE_0x0B72=OLD.bin\n");
  AddFileForm f = form(kSample);
  f.manufacturerCode = "0a5d";
  f.deviceCode = "0x0b72";
  ui.answer(ui::Answer::Yes);
  const auto added = acceptAddFile(f, folder.files(), ui);
  ASSERT_TRUE(added) << ::testing::PrintToString(ui.transcript());
  EXPECT_TRUE(added->written);
  EXPECT_EQ(entryOf(folder, "MANUFACTURER_0x0A5D", "DEVICE_TYPE_0x0B72"), "PTX3200.bin");
  EXPECT_EQ(folder.read("device.cfg").find("OLD.bin"), std::string::npos);
  const std::string copied = folder.files().profibusLibrary() + "PTX3200.bin";
  EXPECT_EQ(added->destination, copied);
  // The samples went through the same writer: the bytes are the same.
  EXPECT_EQ(folder.read("Profibus/PTX3200.bin"), tavrin::testing::TempDir::slurp(kSample));
  struct stat st {};
  ASSERT_EQ(::stat(copied.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  for (const auto& entry : std::filesystem::directory_iterator(folder.files().profibusLibrary()))
    EXPECT_EQ(entry.path().filename(), "PTX3200.bin") << "no temporary file is left";

  // Modbus goes to Modbus/ under the MD_ section.
  ui.answer(ui::Answer::Yes);
  ASSERT_TRUE(acceptAddFile(form(kSample, 1), folder.files(), ui));
  EXPECT_EQ(entryOf(folder, "MD_MANUFACTURER_0x0A5D", "MD_DEVICE_TYPE_0x0B72"), "PTX3200.bin");
  EXPECT_TRUE(std::filesystem::exists(folder.files().modbusLibrary() + "PTX3200.bin"));
}

TEST_F(AddFileTest, AFileInTheLibraryIsRegisteredWithoutCopyingAndARefusedOverwriteKeepsTheOldFile) {
  folder.write("Profibus/MINE.bin", "old bytes");
  ui.answer(ui::Answer::Yes);
  auto added = acceptAddFile(form(folder.files().profibusLibrary() + "MINE.bin"), folder.files(), ui);
  ASSERT_TRUE(added);
  EXPECT_FALSE(added->written);
  EXPECT_EQ(ui.messages().size(), 1u) << "no overwrite question for the file itself";
  EXPECT_EQ(folder.read("Profibus/MINE.bin"), "old bytes");
  EXPECT_EQ(entryOf(folder, "MANUFACTURER_0x0A5D", "DEVICE_TYPE_0x0B72"), "MINE.bin");

  // Another MINE.bin elsewhere: No to the replacement keeps the old file,
  // but the entry is written all the same.
  std::filesystem::create_directories(folder.file("elsewhere"));
  std::filesystem::copy_file(kSample, folder.file("elsewhere/MINE.bin"));
  AddFileForm other = form(folder.file("elsewhere/MINE.bin"));
  other.deviceCode = "0001";
  ui.clearRecord();
  ui.answer(ui::Answer::Yes).answer(ui::Answer::No);
  added = acceptAddFile(other, folder.files(), ui);
  ASSERT_TRUE(added);
  EXPECT_FALSE(added->written);
  EXPECT_EQ(ui.messages(), (std::vector<std::string>{
                               "WARNING: Are you sure to add new file?",
                               "WARNING! The original file will be replaced, Do you wish to continue?"}));
  EXPECT_EQ(folder.read("Profibus/MINE.bin"), "old bytes");
  EXPECT_EQ(entryOf(folder, "MANUFACTURER_0x0A5D", "DEVICE_TYPE_0x0001"), "MINE.bin");

  // Yes replaces it.
  ui.answer(ui::Answer::Yes).answer(ui::Answer::Yes);
  added = acceptAddFile(other, folder.files(), ui);
  ASSERT_TRUE(added);
  EXPECT_TRUE(added->written);
  EXPECT_EQ(folder.read("Profibus/MINE.bin"), tavrin::testing::TempDir::slurp(kSample));
}

TEST_F(AddFileTest, AFileThatCannotBeReadOrWrittenIsReportedAndLeavesTheLibraryAlone) {
  // Not a description: refused by the loader, never half in the library.
  folder.write("junk.bin", "this is no description");
  ui.answer(ui::Answer::Yes);
  EXPECT_FALSE(acceptAddFile(form(folder.file("junk.bin")), folder.files(), ui));
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"Error: " + folder.file("junk.bin") +
                                                  " file cannot be read as a description!"});
  EXPECT_FALSE(std::filesystem::exists(folder.files().profibusLibrary() + "junk.bin"));
  EXPECT_EQ(entryOf(folder, "MANUFACTURER_0x0A5D", "DEVICE_TYPE_0x0B72"), "junk.bin")
      << "the entry is written before the copy, as with a refused overwrite";

  ui.clearRecord();
  ui.answer(ui::Answer::Yes);
  EXPECT_FALSE(acceptAddFile(form(folder.file("missing.bin")), folder.files(), ui));
  EXPECT_EQ(ui.errors().size(), 1u);

  // A library folder that cannot be written to.
  if (::geteuid() != 0) {
    std::filesystem::create_directories(folder.files().profibusLibrary());
    ::chmod(folder.files().profibusLibrary().c_str(), 0555);
    ui.clearRecord();
    ui.answer(ui::Answer::Yes);
    EXPECT_FALSE(acceptAddFile(form(kSample), folder.files(), ui));
    EXPECT_EQ(ui.errors(), std::vector<std::string>{"Error: " + folder.files().profibusLibrary() +
                                                    "PTX3200.bin file cannot be written!"});
    ::chmod(folder.files().profibusLibrary().c_str(), 0755);
  }
}

}  // namespace
}  // namespace tavrin::app
