#include "kelvane/port_discovery.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/temp_dir.h"

namespace tavrin::kelvane {
namespace {

namespace fs = std::filesystem;
using tavrin::testing::TempDir;

// A fake /sys: class/tty/<name> links into devices/, as the kernel lays it
// out, with the USB device's ids two or three levels above the tty.
class FakeSysfs {
 public:
  FakeSysfs() { fs::create_directories(root.file("class/tty")); }

  void usbSerial(const std::string& tty, const std::string& usbDevice, const std::string& vendor,
                 const std::string& product, const std::string& release = "0600", bool acm = false) {
    const std::string device = root.file("devices/pci0000:00/usb1/" + usbDevice);
    fs::create_directories(device);
    root.write("devices/pci0000:00/usb1/" + usbDevice + "/idVendor", vendor + "\n");
    root.write("devices/pci0000:00/usb1/" + usbDevice + "/idProduct", product + "\n");
    if (!release.empty()) root.write("devices/pci0000:00/usb1/" + usbDevice + "/bcdDevice", release + "\n");
    // ttyUSB: the tty's device is the usb-serial port below the interface;
    // ttyACM: the interface itself.
    std::string portDevice = device + "/" + usbDevice + ":1.0" + (acm ? "" : "/" + tty);
    fs::create_directories(portDevice + "/tty/" + tty);
    fs::create_symlink(portDevice, portDevice + "/tty/" + tty + "/device");
    fs::create_directory_symlink(portDevice + "/tty/" + tty, root.file("class/tty/" + tty));
  }
  void plainTty(const std::string& tty) {
    const std::string device = root.file("devices/platform/serial8250/" + tty);
    fs::create_directories(device + "/tty/" + tty);
    fs::create_symlink(device, device + "/tty/" + tty + "/device");
    fs::create_directory_symlink(device + "/tty/" + tty, root.file("class/tty/" + tty));
  }
  void virtualTty(const std::string& tty) { fs::create_directories(root.file("class/tty/" + tty)); }

  TempDir root;
};

TEST(PortDiscoveryTest, FindsTheUsbSerialDeviceByBothParts) {
  FakeSysfs sys;
  TempDir program;
  sys.plainTty("ttyS0");
  sys.virtualTty("tty1");
  sys.usbSerial("ttyUSB0", "1-1", "1a86", "7523");
  sys.usbSerial("ttyUSB2", "1-2", "0403", "6001");
  sys.usbSerial("ttyACM1", "1-3", "0403", "6015", "", true);
  const auto root = sys.root.path();
  EXPECT_EQ(findUsbSerialPort(root, program.path(), "VID_0403", "PID_6001"), 35) << "ttyUSB2 is COM35";
  EXPECT_EQ(findUsbSerialPort(root, program.path(), "USB\\VID_0403&PID_6015", ""), 66) << "ttyACM1 is COM66";
  EXPECT_EQ(findUsbSerialPort(root, program.path(), "VID_1A86", "REV_0600"), 33) << "hex digits in upper case";
  EXPECT_EQ(findUsbSerialPort(root, program.path(), "vid_0403", "PID_6001"), -1) << "case-sensitive";
  EXPECT_EQ(findUsbSerialPort(root, program.path(), "VID_0403", "PID_9999"), -1) << "both parts must be there";
  EXPECT_EQ(findUsbSerialPort(root + "missing/", program.path(), "VID", "PID"), -1);
}

TEST(PortDiscoveryTest, APortsOverrideGivesItsOwnNumber) {
  FakeSysfs sys;
  TempDir program;
  sys.usbSerial("ttyUSB40", "2-1", "0403", "6001");
  EXPECT_EQ(findUsbSerialPort(sys.root.path(), program.path(), "VID_0403", "PID_6001"), -1)
      << "ttyUSB40 has no place in the default table";
  fs::create_directory(program.file("ports"));
  fs::create_symlink("/dev/ttyUSB40", program.file("ports/COM12"));
  EXPECT_EQ(findUsbSerialPort(sys.root.path(), program.path(), "VID_0403", "PID_6001"), 12);
}

}  // namespace
}  // namespace tavrin::kelvane
