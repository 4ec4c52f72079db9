#include "platform/port_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>

namespace tavrin::platform {
namespace {

struct DefaultRange {
  int first;
  const char* prefix;
};
constexpr std::array<DefaultRange, 3> kDefaultRanges{{{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}}};
constexpr int kRangeSize = 32;

std::string overridePath(const std::string& programFolder, int port) {
  return programFolder + "ports/COM" + std::to_string(port);
}

}  // namespace

std::optional<std::string> serialDevicePath(const std::string& programFolder, int port) {
  if (port < 1) return std::nullopt;
  std::string link = overridePath(programFolder, port);
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) return link;
  for (const auto& range : kDefaultRanges) {
    if (port >= range.first && port < range.first + kRangeSize)
      return std::string(range.prefix) + std::to_string(port - range.first);
  }
  return std::nullopt;
}

int portNumberOfDevice(const std::string& programFolder, const std::string& devicePath) {
  for (int port = 1; port <= kHighestListedPort; ++port) {
    std::string link = overridePath(programFolder, port);
    std::array<char, PATH_MAX> target{};
    ssize_t n = ::readlink(link.c_str(), target.data(), target.size() - 1);
    if (n > 0 && devicePath == std::string(target.data(), static_cast<size_t>(n))) return port;
  }
  for (const auto& range : kDefaultRanges) {
    size_t len = std::strlen(range.prefix);
    if (devicePath.compare(0, len, range.prefix) != 0) continue;
    std::string digits = devicePath.substr(len);
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    if (digits.size() == 2 && digits[0] == '0') continue;
    int index = std::stoi(digits);
    if (index < kRangeSize) return range.first + index;
  }
  return 0;
}

bool canOpenSerialDevice(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::vector<int> openablePorts(const std::string& programFolder) {
  std::vector<int> ports;
  for (int port = 1; port <= kHighestListedPort; ++port) {
    auto path = serialDevicePath(programFolder, port);
    if (path && canOpenSerialDevice(*path)) ports.push_back(port);
  }
  return ports;
}

}  // namespace tavrin::platform
