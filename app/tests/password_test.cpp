#include "app/password.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/temp_dir.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using tavrin::testing::TempDir;
using namespace std::string_literals;

std::string bytesOf(const PasswordRecord& r) { return std::string(r.begin(), r.end()); }

unsigned modeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(PasswordRecord, ShortFilesReadZeroFilledAndMissingOnesAreCreatedEmpty) {
  TempDir dir;
  const std::string pw = dir.file("pw.bin");
  EXPECT_TRUE(isEmpty(readPasswordRecord(pw)));
  ASSERT_TRUE(std::filesystem::exists(pw));
  EXPECT_EQ(std::filesystem::file_size(pw), 0u);
  EXPECT_EQ(modeOf(pw), 0600u);

  dir.write("pw.bin", "abcde");
  EXPECT_EQ(bytesOf(readPasswordRecord(pw)), "abcde" + std::string(27, '\0'));
  dir.write("pw.bin", std::string(40, 'x'));
  EXPECT_EQ(bytesOf(readPasswordRecord(pw)), std::string(32, 'x')) << "only the first 32 bytes count";
}

TEST(PasswordRecord, TypedTextIsCutAtACharacterBoundary) {
  EXPECT_EQ(bytesOf(passwordRecordOf(std::string(32, 'a'))), std::string(32, 'a')) << "no terminator";
  EXPECT_EQ(bytesOf(passwordRecordOf(std::string(31, 'a') + "\xC3\xA9")), std::string(31, 'a') + '\0');
  EXPECT_EQ(bytesOf(passwordRecordOf(std::string(30, 'a') + "\xC3\xA9" + "z")), std::string(30, 'a') + "\xC3\xA9");
  EXPECT_EQ(bytesOf(passwordRecordOf(std::string(30, 'a') + "\xE2\x82\xAC")), std::string(30, 'a') + "\0\0"s);
}

TEST(ChangePassword, FirstChangeOnAFreshInstallationWritesAnOwnerOnlyRecord) {
  TempDir dir;
  const std::string pw = dir.file("pw.bin");
  ui::FakeUserInterface ui;
  ui.enter("").enter("Secret").enter("Secret");
  EXPECT_TRUE(changePassword(pw, ui));
  EXPECT_EQ(dir.read("pw.bin"), "Secret" + std::string(26, '\0'));
  EXPECT_EQ(modeOf(pw), 0600u);
  EXPECT_EQ(ui.transcript().front(),
            "prompt secret \"Password Setting:\" \"Old password:\" current=\"\" unit=\"\" -> \"\"");
}

TEST(ChangePassword, MismatchesKeepTheDialogOpen) {
  TempDir dir;
  const std::string pw = dir.file("pw.bin");
  ASSERT_TRUE(writePasswordRecord(pw, passwordRecordOf("Secret")));
  ui::FakeUserInterface ui;
  ui.enter("Secret").enter("new1").enter("new2");    // repetition differs
  ui.enter("secret").enter("new1").enter("new1");    // old password in the wrong case
  ui.enter("Secret").enter(std::string(32, 'N')).enter(std::string(40, 'N'));  // both cut to 32
  EXPECT_TRUE(changePassword(pw, ui));
  EXPECT_EQ(ui.errors(), (std::vector<std::string>{"Error: The two passwords you input are different!",
                                                    "Error: The old password is error!"}));
  EXPECT_EQ(dir.read("pw.bin"), std::string(32, 'N'));

  ui.clearRecord();
  ui.enter(std::string(32, 'N')).cancel();
  EXPECT_FALSE(changePassword(pw, ui));
  EXPECT_EQ(dir.read("pw.bin"), std::string(32, 'N'));
}

TEST(ChangePassword, AnUnwritableRecordIsReportedNotPassedOffAsChanged) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("pw.bin"));  // a folder where the file should be
  ui::FakeUserInterface ui;
  EXPECT_FALSE(acceptPasswordChange("", "new", "new", dir.file("pw.bin"), ui));
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"Error: The password could not be stored in " + dir.file("pw.bin") + "!"});
}

TEST(UserChoice, MaintenanceNeedsNoPasswordAndSpecialistOnlyAStoredOne) {
  TempDir dir;
  const std::string pw = dir.file("pw.bin");
  ui::FakeUserInterface ui;
  ui.select(0);
  EXPECT_EQ(chooseUserType(pw, ui), UserType::Specialist) << "no password stored: not asked";
  ui.select(1);
  EXPECT_EQ(chooseUserType(pw, ui), UserType::Maintenance);
  ui.cancel();
  EXPECT_EQ(chooseUserType(pw, ui), UserType::None);
  EXPECT_EQ(ui.transcript().front(),
            "choose \"USER choice\" \"Select:\" [Manufacture Version|User version] preselected=0 -> 0");

  ASSERT_TRUE(writePasswordRecord(pw, passwordRecordOf("Secret")));
  ui.clearRecord();
  ui.select(1);
  EXPECT_EQ(chooseUserType(pw, ui), UserType::Maintenance);
  ui.select(-1).select(0).enter("secret").select(0).enter("Secret");
  EXPECT_EQ(chooseUserType(pw, ui), UserType::Specialist);
  EXPECT_EQ(ui.messages(), (std::vector<std::string>{"WARNING: Please select operation type!",
                                                      "Error: The password is error!"}));
}

TEST(UserChoice, ThreeWrongPasswordsEndTheChoice) {
  TempDir dir;
  const std::string pw = dir.file("pw.bin");
  ASSERT_TRUE(writePasswordRecord(pw, passwordRecordOf("Secret")));
  ui::FakeUserInterface ui;
  for (int i = 0; i < 3; ++i) ui.select(0).enter("guess");
  EXPECT_EQ(chooseUserType(pw, ui), UserType::None);
  EXPECT_EQ(ui.errors().size(), 3u);
  ui.select(0).cancel();
  EXPECT_EQ(chooseUserType(pw, ui), UserType::None) << "cancelling the password cancels the choice";
}

TEST(UserChoice, DialogOkRule) {
  TempDir dir;
  const std::string pw = dir.file("pw.bin");
  ASSERT_TRUE(writePasswordRecord(pw, passwordRecordOf(std::string(32, 'p'))));
  ui::FakeUserInterface ui;
  EXPECT_EQ(acceptUserChoice(0, std::string(32, 'p'), pw, ui), UserType::Specialist);
  EXPECT_EQ(acceptUserChoice(0, std::string(33, 'p'), pw, ui), UserType::Specialist) << "the field holds 32";
  EXPECT_EQ(acceptUserChoice(0, std::string(31, 'p'), pw, ui), std::nullopt);
  EXPECT_EQ(acceptUserChoice(1, "", pw, ui), UserType::Maintenance);
  EXPECT_EQ(acceptUserChoice(-1, "", pw, ui), std::nullopt);
}

}  // namespace
}  // namespace tavrin::app
