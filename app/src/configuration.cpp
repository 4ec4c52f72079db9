#include "app/configuration.h"

#include <cctype>
#include <limits>

#include "platform/key_file.h"

namespace tavrin::app {
namespace {

constexpr std::string_view kCommunication = "COMMUNICATION";

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string upperTrimmed(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  size_t begin = 0;
  while (begin < text.size() && isSpace(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && isSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::string_view communicationTypeName(CommunicationType type) {
  switch (type) {
    case CommunicationType::Modbus: return "MODBUS";
    case CommunicationType::Profibus: return "PROFIBUS";
    case CommunicationType::None: break;
  }
  return {};
}

CommunicationType readCommunicationType(const std::string& comIni) {
  const std::string type = upperTrimmed(platform::readKey(kCommunication, "TYPE", comIni));
  if (type == "MODBUS") return CommunicationType::Modbus;
  if (type == "PROFIBUS") return CommunicationType::Profibus;
  return CommunicationType::None;
}

bool writeCommunicationType(const std::string& comIni, CommunicationType type) {
  const std::string_view name = communicationTypeName(type);
  if (name.empty()) return false;
  return platform::writeKey(kCommunication, "TYPE", comIni, name);
}

std::string_view addressSection(CommunicationType type) {
  switch (type) {
    case CommunicationType::Modbus: return "MODBUS_ADDR";
    case CommunicationType::Profibus: return "PROFIBUS_ADDR";
    case CommunicationType::None: break;
  }
  return {};
}

uint8_t readBusAddress(const std::string& comIni, CommunicationType type) {
  const std::string_view section = addressSection(type);
  if (section.empty()) return 0;
  return static_cast<uint8_t>(decimalValue(platform::readKey(section, "ADDRESS", comIni)));
}

bool storeBusAddress(const std::string& comIni, CommunicationType type, int address) {
  const std::string_view section = addressSection(type);
  if (section.empty()) return false;
  return platform::writeKey(section, "ADDRESS", comIni, std::to_string(address));
}

std::string readTitle(const std::string& comIni) { return platform::readKey("TITLE", "NAME", comIni); }

long long decimalValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr long long kLimit = std::numeric_limits<long long>::max() / 10 - 10;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace tavrin::app
