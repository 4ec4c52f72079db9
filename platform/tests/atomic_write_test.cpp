// A writer killed at any moment must leave the old or the new file, never a
// mix: a half-written trim database or com.ini would cost a calibration.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/key_file.h"
#include "testing/temp_dir.h"

namespace tavrin::platform {
namespace {

using testing::TempDir;

std::string bigKeyFile(char fill) {
  KeyFile f = KeyFile::parse("");
  for (int i = 0; i < 400; ++i) f.set("POINTS", "P" + std::to_string(i), std::string(200, fill));
  return f.text();
}

TEST(AtomicWrite, WriterKilledAtRandomPointsLeavesOldOrNew) {
  TempDir dir;
  const std::string path = dir.file("trim.db");
  const std::string a = bigKeyFile('a');
  const std::string b = bigKeyFile('b');
  ASSERT_TRUE(writeFileAtomically(path, a));
  std::mt19937 random(12345);
  for (int round = 0; round < 25; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) writeFileAtomically(path, (i % 2) != 0 ? a : b);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(200, 20000)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::string now = TempDir::slurp(path);
    ASSERT_TRUE(now == a || now == b) << "round " << round << ": a mixed file of " << now.size() << " bytes";
  }
}

TEST(AtomicWrite, KeyWritesKilledMidwayKeepEveryKeyReadable) {
  TempDir dir;
  const std::string path = dir.file("com.ini");
  ASSERT_TRUE(writeKey("COMMUNICATION", "TYPE", path, "MODBUS"));
  std::mt19937 random(99);
  for (int round = 0; round < 10; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) writeKey("MODBUS_ADDR", "ADDRESS", path, std::to_string(i % 200));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(500, 10000)(random)));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(readKey("COMMUNICATION", "TYPE", path), "MODBUS");
  }
}

}  // namespace
}  // namespace tavrin::platform
