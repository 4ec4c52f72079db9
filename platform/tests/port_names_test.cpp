#include "platform/port_names.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/pty_pair.h"
#include "testing/temp_dir.h"

namespace tavrin::platform {
namespace {

using testing::TempDir;

TEST(PortNames, DefaultTableCoversThreeKindsOfDevice) {
  TempDir folder;
  EXPECT_EQ(serialDevicePath(folder.path(), 1), "/dev/ttyS0");
  EXPECT_EQ(serialDevicePath(folder.path(), 32), "/dev/ttyS31");
  EXPECT_EQ(serialDevicePath(folder.path(), 33), "/dev/ttyUSB0");
  EXPECT_EQ(serialDevicePath(folder.path(), 64), "/dev/ttyUSB31");
  EXPECT_EQ(serialDevicePath(folder.path(), 65), "/dev/ttyACM0");
  EXPECT_EQ(serialDevicePath(folder.path(), 96), "/dev/ttyACM31");
  EXPECT_FALSE(serialDevicePath(folder.path(), 97));
  EXPECT_FALSE(serialDevicePath(folder.path(), 254));
  EXPECT_FALSE(serialDevicePath(folder.path(), 0));
  EXPECT_FALSE(serialDevicePath(folder.path(), -3));
}

TEST(PortNames, OverrideInThePortsFolderWinsAndNeverFallsBack) {
  TempDir folder;
  std::filesystem::create_directory(folder.file("ports"));
  testing::PtyPair pty;
  std::filesystem::create_symlink(pty.slavePath(), folder.file("ports/COM5"));
  std::filesystem::create_symlink("/nonexistent/tty", folder.file("ports/COM2"));
  std::filesystem::create_symlink(pty.slavePath(), folder.file("ports/COM120"));

  EXPECT_EQ(serialDevicePath(folder.path(), 5), folder.file("ports/COM5"));
  EXPECT_EQ(serialDevicePath(folder.path(), 2), folder.file("ports/COM2")) << "a dangling link is still the port";
  EXPECT_EQ(serialDevicePath(folder.path(), 120), folder.file("ports/COM120")) << "overrides reach beyond the table";
  EXPECT_TRUE(canOpenSerialDevice(*serialDevicePath(folder.path(), 5)));
  EXPECT_FALSE(canOpenSerialDevice(*serialDevicePath(folder.path(), 2)));

  auto ports = openablePorts(folder.path());
  EXPECT_TRUE(std::find(ports.begin(), ports.end(), 5) != ports.end());
  EXPECT_TRUE(std::find(ports.begin(), ports.end(), 120) != ports.end());
  EXPECT_TRUE(std::find(ports.begin(), ports.end(), 2) == ports.end());
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
}

TEST(PortNames, DevicePathsMapBackToPortNumbers) {
  TempDir folder;
  EXPECT_EQ(portNumberOfDevice(folder.path(), "/dev/ttyS0"), 1);
  EXPECT_EQ(portNumberOfDevice(folder.path(), "/dev/ttyUSB2"), 35);
  EXPECT_EQ(portNumberOfDevice(folder.path(), "/dev/ttyACM31"), 96);
  EXPECT_EQ(portNumberOfDevice(folder.path(), "/dev/ttyACM32"), 0);
  EXPECT_EQ(portNumberOfDevice(folder.path(), "/dev/ttyUSB02"), 0);
  EXPECT_EQ(portNumberOfDevice(folder.path(), "/dev/ttyUSBx"), 0);
  std::filesystem::create_directory(folder.file("ports"));
  std::filesystem::create_symlink("/dev/ttyUSB2", folder.file("ports/COM7"));
  EXPECT_EQ(portNumberOfDevice(folder.path(), "/dev/ttyUSB2"), 7);
}

}  // namespace
}  // namespace tavrin::platform
