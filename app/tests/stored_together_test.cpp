// Keys that belong together survive a writer killed between them: the serial
// settings and the polling range are stored whole or not at all, and what a
// killed writer left behind goes with the next write.
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include "app/polling.h"
#include "app/serial_settings.h"
#include "program_folder.h"

namespace {
// The process kills itself at the rename this counts down to, before the
// rename: a writer killed with its new file written but not in place.
std::atomic<int> killAtRename{0};
}  // namespace

extern "C" int rename(const char* from, const char* to) {
  if (killAtRename > 0 && --killAtRename == 0) ::raise(SIGKILL);
  using Rename = int (*)(const char*, const char*);
  static const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
  return real(from, to);
}

namespace tavrin::app {
namespace {

using testing::TestProgramFolder;

// Runs store in a child that is killed at its n-th rename; true when it was.
bool killedAtRename(int n, const std::function<void()>& store) {
  pid_t child = ::fork();
  if (child == 0) {
    killAtRename = n;
    store();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status);
}

size_t temporaries(const TestProgramFolder& folder) {
  size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder.path()))
    if (e.path().filename().string().starts_with(".com.ini.tmp")) ++n;
  return n;
}

TEST(StoredTogether, AKillBetweenTheSerialSettingsKeysLeavesTheOldOrTheNewSettings) {
  const SerialSettings old{1, 9600, 0, 8, 0, 0};
  const SerialSettings fresh{7, 19200, 2, 7, 2, 1};
  for (int n = 1; n <= 6; ++n) {
    TestProgramFolder folder;
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=MODBUS\n");
    ASSERT_TRUE(storeSerialSettings(folder.comIni(), old));
    const bool killed = killedAtRename(n, [&] { storeSerialSettings(folder.comIni(), fresh); });
    const StoredSerialSettings s = readStoredSerialSettings(folder.comIni());
    const SerialSettings now{static_cast<int32_t>(s.port),      static_cast<uint32_t>(s.baudRate),
                             static_cast<uint8_t>(s.parity),    static_cast<uint8_t>(s.dataBits),
                             static_cast<uint8_t>(s.stopBits),  static_cast<uint8_t>(s.flowControl)};
    EXPECT_EQ(now, killed ? old : fresh) << "killed at rename " << n << ": PORT=" << s.port
                                         << " BANDRATE=" << s.baudRate << " PARITY=" << s.parity;
    EXPECT_EQ(temporaries(folder), killed ? 1u : 0u) << "rename " << n;
    // The next store puts the new settings in place and the leftover goes.
    ASSERT_TRUE(storeSerialSettings(folder.comIni(), fresh));
    EXPECT_EQ(temporaries(folder), 0u) << "rename " << n;
    EXPECT_NE(folder.read("com.ini").find("TYPE=MODBUS"), std::string::npos);
  }
}

TEST(StoredTogether, AKillBetweenTheEndsOfThePollingRangeLeavesTheOldOrTheNewRange) {
  for (int n = 1; n <= 2; ++n) {
    TestProgramFolder folder;
    ASSERT_TRUE(storePollRange(folder.comIni(), {"1", "20"}));
    const bool killed = killedAtRename(n, [&] { storePollRange(folder.comIni(), {"5", "9"}); });
    const PollRange range = readPollRange(folder.comIni());
    EXPECT_EQ(range.start + "-" + range.end, killed ? "1-20" : "5-9") << "killed at rename " << n;
  }
}

}  // namespace
}  // namespace tavrin::app
