#include "app/device_lookup.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "app/links.h"
#include "platform/key_file.h"
#include "ui/user_interface.h"

namespace tavrin::app {
namespace {

constexpr size_t kRevisionTextSize = 16;
constexpr size_t kShortestIdentifyingRevision = 7;

template <class... Args>
std::string format(const char* pattern, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

bool exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

uint16_t bigEndian(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]); }

// A quiet Profibus read that must deliver every byte asked for: a shorter
// reply would leave part of an identification unknown.
bool readExactly(ProfibusLink& link, uint8_t slot, uint8_t index, std::span<uint8_t> out) {
  size_t received = 0;
  uint8_t status = 0;
  return link.quietRead(slot, index, static_cast<uint8_t>(out.size()), out, received, status) &&
         received == out.size();
}

// A big-endian 16-bit value of slot 0, or 0 when the read fails.
uint16_t readCode(ProfibusLink& link, uint8_t index) {
  std::array<uint8_t, 2> bytes{};
  return readExactly(link, 0, index, bytes) ? bigEndian(bytes.data()) : 0;
}

}  // namespace

std::string profibusFileName(const Identification& id, int revision) {
  return format("%04X%04X%02X%02X%04X.bin", id.manufacturer, id.deviceType, id.revision[0], id.revision[1],
                revision);
}

std::string modbusFileName(const std::array<uint8_t, 8>& b, int revision) {
  return format("%02X%02X%02X%02X%02X%02X%04X.bin", b[0], b[1], b[2], b[3], b[6], b[7], revision);
}

LookupResult modbusLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui) {
  std::array<uint8_t, 8> id{};
  size_t received = 0;
  uint8_t status = 0;
  if (!links.modbus().quietRead(4, 0x8000, id.size(), id, received, status) || received != id.size()) {
    ui.errorBox(
        "Error: connecting to the transmitter failed. Pls check the following items: \n1. The COM port\n2. The COM "
        "baud rate\n3. The communication address\n4. Hardware connection");
    return {};
  }
  for (int revision = kHighestModbusRevision; revision >= 0; --revision) {
    std::string path = files.modbusLibrary() + modbusFileName(id, revision);
    if (exists(path)) return {path, std::nullopt, std::nullopt};
  }
  ui.errorBox(format("Error: Cannot find Manufacture Code:0x%02X%02X, device type:0x%02X%02X, device "
                     "version:0x%02X%02X file!\nPlease update the software!",
                     id[0], id[1], id[2], id[3], id[6], id[7]));
  return {};
}

LookupResult profibusLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui) {
  std::array<uint8_t, kRevisionTextSize + 1> revision{};  // with room for the terminating zero
  size_t received = 0;
  uint8_t status = 0;
  if (!links.profibus().quietRead(0, 24, kRevisionTextSize, std::span(revision).first(kRevisionTextSize), received,
                                  status)) {
    ui.errorBox("Error: Cannot find PA transmitter!");
    return {};
  }
  std::string text(reinterpret_cast<const char*>(revision.data()));
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  size_t first = 0;
  while (first < text.size() && blank(text[first])) ++first;
  if ((text.size() - first) % 256 < kShortestIdentifyingRevision) return deviceTableLookup(links, files, ui);
  return identificationLookup(links, files, ui);
}

LookupResult identificationLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui) {
  std::array<uint8_t, 8> bytes{};
  if (!readExactly(links.profibus(), 0, 79, bytes)) {
    ui.errorBox("Error: Cannot find the PA transmitter!");
    return {};
  }
  Identification id{bigEndian(&bytes[0]), bigEndian(&bytes[2]), {bytes[6], bytes[7]}};
  LookupResult result{{}, id, std::nullopt};
  for (int revision = kHighestProfibusRevision; revision >= 0; --revision) {
    std::string path = files.profibusLibrary() + profibusFileName(id, revision);
    if (exists(path)) {
      result.path = std::move(path);
      return result;
    }
  }
  ui.errorBox(format("Error: Cannot find the file [%04X%04X%02X%02X], please update software!", id.manufacturer,
                     id.deviceType, id.revision[0], id.revision[1]));
  return result;
}

LookupResult deviceTableLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui) {
  Identification id;
  id.manufacturer = readCode(links.profibus(), 26);
  if (id.manufacturer != 0) id.deviceType = readCode(links.profibus(), 56);
  if (id.manufacturer == 0 || id.deviceType == 0) {
    ui.errorBox("Error: Connect the transmitter failure!");
    return {};
  }
  LookupResult result{{}, id, std::nullopt};
  BlockDirectory directory{};
  size_t received = 0;
  if (!links.profibusRead(1, 1, kBlockDirectorySize, directory, received) || received != kBlockDirectorySize) {
    ui.errorBox("Error: Transmitter table read failure!");
    return result;
  }
  result.blockDirectory = directory;
  const std::string name = platform::readKey(format("MANUFACTURER_0x%04X", id.manufacturer),
                                             format("DEVICE_TYPE_0x%04X", id.deviceType), files.deviceTable());
  if (name.empty()) {
    ui.errorBox(format("Cannot find the information of transmitter[MANU=0X%04X,DEV=0X%04X] in %sDevice.cfg file!",
                       id.manufacturer, id.deviceType, files.folder.c_str()));
    return result;
  }
  std::string path = files.profibusLibrary() + name;
  if (!exists(path)) {
    ui.errorBox(path + " file does not exist!");
    return result;
  }
  result.path = std::move(path);
  return result;
}

}  // namespace tavrin::app
