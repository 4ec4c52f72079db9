// A writer killed at any moment must leave the old or the new file, never a
// mix: a half-written trim database or com.ini would cost a calibration.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "platform/key_file.h"
#include "testing/temp_dir.h"

namespace {
// Renames seen, and a countdown that kills the process at the rename it
// reaches 0 on, before the rename happens: a writer killed between writing
// its temporary file and putting it in place.
std::atomic<int> renames{0};
std::atomic<int> killAtRename{0};
}  // namespace

extern "C" int rename(const char* from, const char* to) {
  ++renames;
  if (killAtRename > 0 && --killAtRename == 0) ::raise(SIGKILL);
  using Rename = int (*)(const char*, const char*);
  static const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
  return real(from, to);
}

namespace tavrin::platform {
namespace {

using testing::TempDir;

std::vector<std::string> temporariesOf(const TempDir& dir, const std::string& name) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    const std::string n = e.path().filename().string();
    if (n.starts_with("." + name + ".tmp")) out.push_back(n);
  }
  std::sort(out.begin(), out.end());
  return out;
}

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

TEST(AtomicWrite, SeveralKeysAreOneRewriteThatAKillLeavesWholeOrUndone) {
  TempDir dir;
  const std::string path = dir.file("com.ini");
  const KeyValue before[] = {{"COMMUNICATION", "PORT", "1"}, {"COMMUNICATION", "BANDRATE", "9600"},
                             {"START_ADDR", "ADDRESS", "0"}, {"END_ADDR", "ADDRESS", "10"}};
  const KeyValue after[] = {{"COMMUNICATION", "PORT", "7"}, {"COMMUNICATION", "BANDRATE", "19200"},
                            {"START_ADDR", "ADDRESS", "3"}, {"END_ADDR", "ADDRESS", "9"}};
  ASSERT_TRUE(writeKeys(path, before));
  const std::string old = dir.read("com.ini");
  EXPECT_EQ(old, "[COMMUNICATION]\nPORT=1\nBANDRATE=9600\n\n[START_ADDR]\nADDRESS=0\n\n[END_ADDR]\nADDRESS=10\n");

  renames = 0;
  ASSERT_TRUE(writeKeys(path, after));
  EXPECT_EQ(renames, 1);
  const std::string fresh = dir.read("com.ini");
  ASSERT_TRUE(writeKeys(path, before));

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    killAtRename = 1;
    writeKeys(path, after);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(dir.read("com.ini"), old);
  ASSERT_EQ(temporariesOf(dir, "com.ini").size(), 1u);

  // A name that cannot be written spoils the whole call.
  const KeyValue bad[] = {{"COMMUNICATION", "PORT", "8"}, {"COMMUNICATION", "A=B", "x"}};
  EXPECT_FALSE(writeKeys(path, bad));
  EXPECT_EQ(dir.read("com.ini"), old);
  ASSERT_TRUE(writeKeys(path, after));
  EXPECT_EQ(dir.read("com.ini"), fresh);
}

TEST(AtomicWrite, TheNextWriteRemovesWhatAKilledWriterLeftBehind) {
  TempDir dir;
  const std::string path = dir.file("trim.db");
  ASSERT_TRUE(writeKey("POINTS", "P0", path, "1.0"));
  for (int round = 0; round < 3; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      killAtRename = 1;
      writeKey("POINTS", "P0", path, "2.0");
      ::_exit(0);
    }
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    // Each writer removed what the one killed before it left.
    ASSERT_EQ(temporariesOf(dir, "trim.db").size(), 1u) << "round " << round;
  }
  // Files of a writer that still runs, of another file and of no writer at
  // all are none of this write's business.
  const std::string live = ".trim.db.tmp" + std::to_string(::getpid()) + ".99";
  dir.write(live, "in progress");
  dir.write(".trim.db.tmpx.1", "not ours");
  dir.write(".other.db.tmp1.1", "not ours");
  ASSERT_TRUE(writeKey("POINTS", "P1", path, "3.0"));
  EXPECT_EQ(temporariesOf(dir, "trim.db"), (std::vector<std::string>{live, ".trim.db.tmpx.1"}));
  EXPECT_TRUE(std::filesystem::exists(dir.file(".other.db.tmp1.1")));
  EXPECT_EQ(readKey("POINTS", "P0", path), "1.0");
}

// Runs a write on a thread of its own; a write that blocks is reported and
// then released by unblock().
template <class Write, class Unblock>
bool writesWithoutBlocking(Write write, Unblock unblock, bool& result) {
  auto done = std::async(std::launch::async, write);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
    result = done.get();
    return true;
  }
  unblock();
  result = done.get();
  return false;
}

TEST(AtomicWrite, TargetsThatAreNoRegularFileGetThePlainTextAndNeverBlock) {
  TempDir dir;
  // A pipe named through /proc, as /dev/stdout names one.
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const std::string pipePath = "/proc/self/fd/" + std::to_string(pipeEnds[1]);
  bool ok = false;
  EXPECT_TRUE(writesWithoutBlocking([&] { return writeKey("CONFIG_VARIABLES", "damping", pipePath, "0.5"); },
                                    [&] { ::close(pipeEnds[1]); pipeEnds[1] = -1; }, ok));
  EXPECT_TRUE(ok);
  if (pipeEnds[1] >= 0) ::close(pipeEnds[1]);
  std::string got(256, '\0');
  ssize_t n = ::read(pipeEnds[0], got.data(), got.size());
  got.resize(n > 0 ? static_cast<size_t>(n) : 0);
  ::close(pipeEnds[0]);
  EXPECT_EQ(got, "[CONFIG_VARIABLES]\ndamping=0.5\n");

  // A FIFO that nobody reads refuses at once.
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(writesWithoutBlocking([&] { return writeKey("S", "K", fifo, "v"); },
                                    [&] {
                                      int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                                      int r = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
                                      if (w >= 0) ::close(w);
                                      if (r >= 0) ::close(r);
                                    },
                                    ok));
  EXPECT_FALSE(ok);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));

  EXPECT_FALSE(writeKey("S", "K", dir.path(), "v"));
  EXPECT_TRUE(temporariesOf(dir, "fifo").empty());
}

}  // namespace
}  // namespace tavrin::platform
