#include "kelvane/port_discovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/port_names.h"

namespace tavrin::kelvane {
namespace fs = std::filesystem;

namespace {

// sysfs attributes are one short line; anything longer is not an id.
constexpr size_t kMaxAttributeLength = 64;

std::optional<std::string> readAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  if (line.empty() || line.size() > kMaxAttributeLength) return std::nullopt;
  return line;
}

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
  return out;
}

// The USB device above a tty's device folder: the nearest ancestor that
// names a vendor and a product.
std::optional<std::string> hardwareIdAbove(fs::path device, const fs::path& sysRoot) {
  std::error_code ec;
  device = fs::canonical(device, ec);
  if (ec) return std::nullopt;
  const fs::path root = fs::canonical(sysRoot, ec);
  if (ec) return std::nullopt;
  for (fs::path dir = device; dir != root && dir.has_relative_path(); dir = dir.parent_path()) {
    auto vendor = readAttribute(dir / "idVendor");
    auto product = readAttribute(dir / "idProduct");
    if (vendor && product) return usbHardwareId(*vendor, *product, readAttribute(dir / "bcdDevice").value_or(""));
  }
  return std::nullopt;
}

}  // namespace

std::string usbHardwareId(std::string_view vendor, std::string_view product, std::string_view release) {
  std::string id = "USB\\VID_" + upper(vendor) + "&PID_" + upper(product);
  if (!release.empty()) id += "&REV_" + upper(release);
  return id;
}

int findUsbSerialPort(const std::string& sysRoot, const std::string& programFolder, std::string_view part1,
                      std::string_view part2) {
  std::error_code ec;
  std::vector<std::string> ttys;
  for (fs::directory_iterator it(fs::path(sysRoot) / "class" / "tty", ec), end; !ec && it != end; it.increment(ec))
    ttys.push_back(it->path().filename().string());
  std::sort(ttys.begin(), ttys.end());
  for (const auto& tty : ttys) {
    const fs::path device = fs::path(sysRoot) / "class" / "tty" / tty / "device";
    if (!fs::exists(device, ec)) continue;
    auto id = hardwareIdAbove(device, sysRoot);
    if (!id || id->find(part1) == std::string::npos || id->find(part2) == std::string::npos) continue;
    int port = platform::portNumberOfDevice(programFolder, "/dev/" + tty);
    if (port > 0) return port;
  }
  return -1;
}

}  // namespace tavrin::kelvane
