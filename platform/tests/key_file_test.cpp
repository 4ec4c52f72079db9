#include "platform/key_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "testing/temp_dir.h"

namespace tavrin::platform {
namespace {

using testing::TempDir;

TEST(KeyFileRead, MatchesLikeThePrivateProfileInterface) {
  TempDir dir;
  dir.write("com.ini",
            "; a comment = not a key\r\n"
            "[Communication]\r\n"
            "  type =  modbus  \r\n"
            "no equals sign here\r\n"
            ";PORT=9\r\n"
            "PORT=3\r\n"
            "port=4\r\n"
            "QUOTED=\"  spaced  \"\r\n"
            "SINGLE='x'\r\n"
            "HALF=\"open\r\n"
            "EMPTY=\r\n"
            "[communication]\r\n"
            "PORT=7\r\n"
            "EXTRA=only in the duplicate\r\n"
            "[ TITLE ]\n"
            "NAME=Tavrin = the tool\n");
  const std::string f = dir.file("com.ini");
  EXPECT_EQ(readProfileString("COMMUNICATION", "TYPE", f), "modbus");
  EXPECT_EQ(readProfileString("communication", "port", f), "3") << "first duplicate key wins, comments skipped";
  EXPECT_EQ(readProfileString("COMMUNICATION", "QUOTED", f), "  spaced  ");
  EXPECT_EQ(readProfileString("COMMUNICATION", "SINGLE", f), "x");
  EXPECT_EQ(readProfileString("COMMUNICATION", "HALF", f), "\"open");
  EXPECT_EQ(readProfileString("COMMUNICATION", "EMPTY", f), "");
  EXPECT_EQ(readProfileString("COMMUNICATION", "EXTRA", f), "") << "only the first of duplicate sections counts";
  EXPECT_EQ(readProfileString("TITLE", "NAME", f), "Tavrin = the tool");
  EXPECT_EQ(readProfileString("COMMUNICATION", "no equals sign here", f), "");
  EXPECT_EQ(readProfileString("COMMUNICATION", "; a comment", f), "");
  EXPECT_EQ(readProfileString("MISSING", "TYPE", f), "");
  EXPECT_EQ(readProfileString("TITLE", "NAME", dir.file("absent.ini")), "");
}

TEST(KeyFileRead, HelperTurnsNullAndBackslashN) {
  TempDir dir;
  dir.write("a.ini", "[S]\nNULLED=NULL\nLOWER=null\nLINES=one\\ntwo\\n\nBACKSLASH=a\\b\\\\n\n");
  const std::string f = dir.file("a.ini");
  EXPECT_EQ(readKey("S", "NULLED", f), "");
  EXPECT_EQ(readKey("S", "LOWER", f), "null");
  EXPECT_EQ(readKey("S", "LINES", f), "one\ntwo\n");
  EXPECT_EQ(readKey("S", "BACKSLASH", f), "a\\b\\\n");
  EXPECT_EQ(readProfileString("S", "LINES", f), "one\\ntwo\\n") << "the raw read keeps the characters";
  // The loaded form reads alike, cut to the buffer too.
  dir.write("b.ini", "[S]\nNULLED=NULL\nLINES=one\\ntwo\nLONG=" + std::string(2000, 'a') + "\n");
  const KeyFile loaded = KeyFile::load(dir.file("b.ini"));
  EXPECT_EQ(readKey(loaded, "S", "NULLED"), "");
  EXPECT_EQ(readKey(loaded, "S", "LINES"), "one\ntwo");
  EXPECT_EQ(readKey(loaded, "S", "LONG"), std::string(1023, 'a'));
  EXPECT_EQ(readKey(loaded, "S", "MISSING"), "");
}

TEST(KeyFileRead, LongValueIsCutToTheBufferAtACharacterBoundary) {
  TempDir dir;
  std::string ascii(2000, 'a');
  // 1022 ASCII bytes then a 3-byte character that would straddle the cut.
  std::string wide = std::string(1022, 'b') + "\xE4\xB8\xAD" + "tail";
  dir.write("a.ini", "[S]\nA=" + ascii + "\nW=" + wide + "\n");
  EXPECT_EQ(readProfileString("S", "A", dir.file("a.ini")), std::string(1023, 'a'));
  EXPECT_EQ(readProfileString("S", "W", dir.file("a.ini")), std::string(1022, 'b'));
  auto full = KeyFile::load(dir.file("a.ini")).get("S", "A");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->size(), 2000u);
}

TEST(KeyFileWrite, ReplacesOnlyTheKeyLineAndKeepsEverythingElse) {
  TempDir dir;
  const std::string before =
      "; header comment\r\n"
      "[A]\r\n"
      "  Key = old  \r\n"
      "weird line without equals\r\n"
      "\r\n"
      "[B]\r\n"
      "x=1\r\n";
  dir.write("f.ini", before);
  ASSERT_TRUE(writeKey("a", "KEY", dir.file("f.ini"), "new"));
  EXPECT_EQ(dir.read("f.ini"),
            "; header comment\r\n"
            "[A]\r\n"
            "KEY=new\r\n"
            "weird line without equals\r\n"
            "\r\n"
            "[B]\r\n"
            "x=1\r\n");
}

TEST(KeyFileWrite, AddsKeysAfterTheSectionsLastLineAndNewSectionsAtTheEnd) {
  TempDir dir;
  dir.write("f.ini", "[A]\nx=1\n\n\n[B]\ny=2");
  const std::string f = dir.file("f.ini");
  ASSERT_TRUE(writeKey("A", "z", f, "3"));
  ASSERT_TRUE(writeKey("B", "w", f, "4"));
  ASSERT_TRUE(writeKey("C", "v", f, "5"));
  EXPECT_EQ(dir.read("f.ini"), "[A]\nx=1\nz=3\n\n\n[B]\ny=2\nw=4\n\n[C]\nv=5\n");
}

TEST(KeyFileWrite, CreatesTheFile) {
  TempDir dir;
  ASSERT_TRUE(writeKey("PROFIBUS_ADDR", "ADDRESS", dir.file("com.ini"), "5"));
  EXPECT_EQ(dir.read("com.ini"), "[PROFIBUS_ADDR]\nADDRESS=5\n");
  EXPECT_FALSE(writeKey("S", "K", dir.file("no/such/folder.ini"), "v"));
}

TEST(KeyFileWrite, LineFeedInAValueSurvivesAWriteAndARead) {
  TempDir dir;
  const std::string f = dir.file("f.ini");
  ASSERT_TRUE(writeKey("S", "TEXT", f, "first\nsecond\n"));
  ASSERT_TRUE(writeKey("S", "AFTER", f, "still here"));
  EXPECT_EQ(readKey("S", "TEXT", f), "first\nsecond\n");
  EXPECT_EQ(readKey("S", "AFTER", f), "still here");
  EXPECT_EQ(dir.read("f.ini"), "[S]\nTEXT=first\\nsecond\\n\nAFTER=still here\n");
}

TEST(KeyFileWrite, RefusesNamesThatCouldNotBeReadBack) {
  TempDir dir;
  const std::string f = dir.file("f.ini");
  EXPECT_FALSE(writeKey("S\nX", "K", f, "v"));
  EXPECT_FALSE(writeKey("S", "K\r", f, "v"));
  EXPECT_FALSE(writeKey("S", "A=B", f, "v"));
  EXPECT_FALSE(writeKey("S", "  ", f, "v"));
  EXPECT_FALSE(writeKey("S", ";K", f, "v"));
  EXPECT_FALSE(std::filesystem::exists(f));
}

TEST(KeyFileWrite, WritesThroughASymbolicLinkAndKeepsTheMode) {
  TempDir dir;
  dir.write("target.ini", "[S]\nK=old\n");
  ::chmod(dir.file("target.ini").c_str(), 0640);
  std::filesystem::create_symlink("target.ini", dir.file("link.ini"));
  ASSERT_TRUE(writeKey("S", "K", dir.file("link.ini"), "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
  EXPECT_EQ(dir.read("target.ini"), "[S]\nK=new\n");
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("target.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // A dangling link creates its target.
  std::filesystem::create_symlink("later.ini", dir.file("dangling.ini"));
  ASSERT_TRUE(writeKey("S", "K", dir.file("dangling.ini"), "v"));
  EXPECT_EQ(dir.read("later.ini"), "[S]\nK=v\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling.ini")));
}

TEST(KeyFileWrite, AnExplicitModeReplacesTheOldOne) {
  TempDir dir;
  dir.write("secret", "old");
  ::chmod(dir.file("secret").c_str(), 0644);
  ASSERT_TRUE(writeFileAtomically(dir.file("secret"), "new", 0600));
  EXPECT_EQ(dir.read("secret"), "new");
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("secret").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_TRUE(writeFileAtomically(dir.file("fresh"), "x", 0600));
  ASSERT_EQ(::stat(dir.file("fresh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(KeyFileModel, ListsSectionsAndEntriesFirstWins) {
  auto f = KeyFile::parse("[dev1]\na=1\nA=2\nb = \"q\"\n[DEV1]\nc=3\n[dev2]\n");
  EXPECT_EQ(f.sectionNames(), (std::vector<std::string>{"dev1", "dev2"}));
  auto e = f.entries("Dev1");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0], (std::pair<std::string, std::string>{"a", "1"}));
  EXPECT_EQ(e[1], (std::pair<std::string, std::string>{"b", "q"}));
  EXPECT_TRUE(f.hasSection("DEV2"));
  EXPECT_TRUE(f.entries("dev2").empty());
}

TEST(KeyFileModel, ParseKeepsEveryByte) {
  const std::string odd = "no newline\r\r\n[\xFF\xFE]\n=\n\n\r\n;x\nlast";
  EXPECT_EQ(KeyFile::parse(odd).text(), odd);
}

}  // namespace
}  // namespace tavrin::platform
