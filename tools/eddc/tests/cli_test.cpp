// eddc as a person or a build script runs it: exit codes, messages on
// standard error, and no output file after a failed assembly.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "testing/edd_fixture.h"
#include "testing/temp_dir.h"

namespace tavrin::testing {
namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome eddc(const TempDir& dir, const std::string& arguments) {
  const std::string command = "'" TAVRIN_DIST_DIR "eddc' " + arguments + " >'" + dir.file("stdout") + "' 2>'" +
                              dir.file("stderr") + "'";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.read("stdout"), dir.read("stderr")};
}

TEST(EddcCommand, DumpAndAsmRoundTripThroughFiles) {
  TempDir dir;
  dir.write("in.txt", "header 9 8 7 6\nlist 0\n  variable\n    identifier \"\xE6\xB8\xA9\"\ntexts\n  \"\\xFF\"\n");
  Outcome assembled = eddc(dir, "asm '" + dir.file("in.txt") + "' -o '" + dir.file("a.bin") + "'");
  ASSERT_EQ(assembled.status, 0) << assembled.err;
  EXPECT_EQ(assembled.out, "");
  Outcome dumped = eddc(dir, "dump '" + dir.file("a.bin") + "'");
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  EXPECT_NE(dumped.out.find("30 identifier 1 \"\xE6\xB8\xA9\""), std::string::npos) << dumped.out;
  dir.write("dump.txt", dumped.out);
  ASSERT_EQ(eddc(dir, "asm '" + dir.file("dump.txt") + "' -o '" + dir.file("b.bin") + "'").status, 0);
  EXPECT_EQ(dir.read("b.bin"), dir.read("a.bin"));
}

TEST(EddcCommand, AsmErrorsNameTheFileLineAndColumnAndWriteNothing) {
  TempDir dir;
  dir.write("bad.txt", "list 0\n  variable\n    nosuch 1\n");
  dir.write("out.bin", "previous");
  Outcome run = eddc(dir, "asm '" + dir.file("bad.txt") + "' -o '" + dir.file("out.bin") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, dir.file("bad.txt") + ":3:5: unknown tag name 'nosuch'\n");
  EXPECT_EQ(dir.read("out.bin"), "previous");
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.bin")));
  run = eddc(dir, "asm '" + dir.file("bad.txt") + "' -o '" + dir.file("new.bin") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.bin")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4) << "no temporary files left";
}

TEST(EddcCommand, DumpOfACutFileShowsWhatCameBeforeAndFails) {
  TempDir dir;
  dir.write("in.txt", "list 0\n  variable\n    identifier \"x\"\n  menu\n");
  ASSERT_EQ(eddc(dir, "asm '" + dir.file("in.txt") + "' -o '" + dir.file("a.bin") + "'").status, 0);
  const std::string whole = dir.read("a.bin");
  dir.write("cut.bin", whole.substr(0, whole.size() - 9));
  Outcome run = eddc(dir, "dump '" + dir.file("cut.bin") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("22 variable  # id 0"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find(": at byte 130: the file ends inside tree 1 of list 0"), std::string::npos) << run.err;
}

// Only a regular file may be replaced by renaming a new one over it: a pipe
// or a device given as the output is written into, and a link keeps linking.
TEST(EddcCommand, OutputThroughALinkOrIntoAPipeKeepsWhatThePathIs) {
  TempDir dir;
  dir.write("in.txt", "list 0\n  variable\n    identifier \"v\"\n");
  const std::string expected = assembleEdd(dir.read("in.txt"));

  dir.write("real.bin", "old");
  std::filesystem::create_symlink(dir.file("real.bin"), dir.file("link.bin"));
  ASSERT_EQ(eddc(dir, "asm '" + dir.file("in.txt") + "' -o '" + dir.file("link.bin") + "'").status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bin")));
  EXPECT_EQ(dir.read("real.bin"), expected);

  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  // Opened first and without blocking, so eddc's open for writing does not
  // wait for a reader; the bytes wait in the pipe.
  const int reader = ::open(dir.file("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  Outcome run = eddc(dir, "asm '" + dir.file("in.txt") + "' -o '" + dir.file("pipe") + "'");
  std::string received(4096, '\0');
  const ssize_t n = ::read(reader, received.data(), received.size());
  ::close(reader);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::is_fifo(dir.file("pipe")));
  EXPECT_EQ(received.substr(0, n > 0 ? static_cast<size_t>(n) : 0), expected);
}

TEST(EddcCommand, UsageAndMissingFiles) {
  TempDir dir;
  EXPECT_EQ(eddc(dir, "").status, 2);
  EXPECT_EQ(eddc(dir, "frobnicate x").status, 2);
  EXPECT_EQ(eddc(dir, "asm only-input.txt").status, 2);
  Outcome help = eddc(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("eddc dump FILE.bin"), std::string::npos);
  Outcome missing = eddc(dir, "dump '" + dir.file("missing.bin") + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
  EXPECT_EQ(eddc(dir, "asm '" + dir.file("missing.txt") + "' -o '" + dir.file("x.bin") + "'").status, 1);
}


TEST(EddcCommand, CompilesSourceOrReportsEveryFaultWithoutWriting) {
  TempDir dir;
  dir.write("good.edd", "VARIABLE v { LABEL \"V\"; TYPE INTEGER (2); }\n");
  Outcome good = eddc(dir, "'" + dir.file("good.edd") + "' -o '" + dir.file("good.bin") + "'");
  ASSERT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.out + good.err, "");
  EddFixture loaded = EddFixture::fromBytes(dir.read("good.bin"));
  ASSERT_NE(loaded.object("v"), nullptr);
  EXPECT_EQ(loaded.result(), 2);

  // Three faults in three definitions, each named by its place; an output
  // file that was there stays as it was.
  dir.write("bad.edd",
            "VARIABLE a { TYPE INTEGER (9); }\n"
            "VARIABLE b { TYPE FLOAT; LABEL 5; }\n"
            "MENU m { ITEMS { nowhere } }\n");
  dir.write("bad.bin", "old");
  Outcome bad = eddc(dir, "-o '" + dir.file("bad.bin") + "' '" + dir.file("bad.edd") + "'");
  EXPECT_EQ(bad.status, 1);
  const std::string name = dir.file("bad.edd");
  EXPECT_EQ(bad.err, name + ":1:28: the size must lie in 1 to 4\n" +
                         name + ":2:32: expected a text, found a number\n" +
                         name + ":3:18: 'nowhere' is not defined\n");
  EXPECT_EQ(dir.read("bad.bin"), "old");
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.bin")));
  EXPECT_EQ(eddc(dir, "'" + dir.file("bad.edd") + "' -o '" + dir.file("none.bin") + "'").status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.bin")));
}

}  // namespace
}  // namespace tavrin::testing
