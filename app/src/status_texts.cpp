#include "app/status_texts.h"

#include <array>
#include <cstdio>

namespace tavrin::app {
namespace {

struct StatusText {
  uint8_t status;
  const char* text;
};

constexpr std::array<StatusText, 16> kProfibusTexts{{
    {1, "Negative response.The user layer of the slave is error"},
    {2, "Negative response.The resource of the slave is insufficient"},
    {3, "Negative response.The service of the slave is inactive"},
    {4, "The service is impossible in this status(from local)"},
    {6, "The response frame format is error"},
    {8, "Low priority positive response with response data"},
    {9, "Negative response with error code"},
    {10, "High priority positive response with response data"},
    {11, "Local abnormal and insufficient resource"},
    {12, "Low priority response without data"},
    {13, "High priority response without data"},
    {14, "Send failure"},
    {15, "No response from slave"},
    {27, "Invalid parameter in request(from local)"},
    {103, "The serial port resource is abnormal"},
    {229, "Short frame response"},
}};

struct ModbusText {
  uint8_t status;
  const char* read;
  const char* write;
};

constexpr std::array<ModbusText, 14> kModbusTexts{{
    {1, "Error: Operation code error!", "Comm Failure: Operation code error!"},
    {2, "Error: Register address error", "Comm Failure: Register address error!"},
    {3, "Error: Illegal value error!", "Comm Failure: Illegal value!"},
    {4, "Error: Slave device error!", "Comm Failure: Equipment failure!"},
    {5, "Error:The current request is being processed!", "Comm Failure: Processing...!"},
    {6, "Error: Slave device is busy!", "Comm Failure: Device busy!"},
    {7, "Error: Slave device cannot deal with the request!", "Comm Failure: Slave error!"},
    {8, "Error: Memory parity error!", "Comm Failure: Memory error!"},
    {20, "Error: CRC error!", "Comm Failure: CRC error!"},
    {21, "Error: The frame format error!", "Comm Failure: Frame format error!"},
    {22, "Error: Slave device address error!", "Comm Failure: Slave address error!"},
    {23, "Error: Serial port is abnormal!", "Comm Failure: Serial port error"},
    {24, "Error: Communication error!", "Comm Failure: Send command failed!"},
    {25, "Error: No response from slave device!", "Comm Failure: Slave no response!"},
}};

const ModbusText* findModbus(uint8_t status) {
  for (const auto& entry : kModbusTexts)
    if (entry.status == status) return &entry;
  return nullptr;
}

struct Dpv1Class {
  uint8_t number;
  const char* text;
  std::array<const char*, 11> codes;  // nullptr: no text for that code
};

constexpr std::array<Dpv1Class, 3> kDpv1Classes{{
    {10,
     "Application error",
     {"read error", "write error", "module error", nullptr, nullptr, nullptr, nullptr, "device busy",
      "version conflict", "Property does not support", nullptr}},
    {11,
     "Access error",
     {"Invalid index", "The Writing length error", "Invalid slot number", "type conflict", "Invalid area",
      "State conflict", "Access denied", "Invalid range", "Invalid parameter", "Invalid type", "backup"}},
    {12,
     "Resource error",
     {"Restricted to read", "Restricted to write", "Resource busy", "Resources can not provide", nullptr, nullptr,
      nullptr, nullptr, nullptr, nullptr, nullptr}},
}};

}  // namespace

std::string profibusStatusText(uint8_t status) {
  for (const auto& entry : kProfibusTexts)
    if (entry.status == status) return entry.text;
  char text[64];
  std::snprintf(text, sizeof text, "Undefined error status,Error code: 0X%02X", status);
  return text;
}

std::string profibusFailureText(uint8_t slot, uint8_t index, uint8_t status) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "Error: SLOT: 0x%02X, INDEX: 0x%02X; ", slot, index);
  return prefix + profibusStatusText(status);
}

std::string modbusReadStatusText(uint8_t status) {
  const ModbusText* entry = findModbus(status);
  return entry ? entry->read : "Error: Failed to send command!";
}

std::string modbusWriteStatusText(uint8_t status) {
  const ModbusText* entry = findModbus(status);
  return entry ? entry->write : "Comm Failure: Unknown error!";
}

Dpv1Error decodeDpv1Error(uint8_t /*errorDecode*/, uint8_t errorCode1, uint8_t /*errorCode2*/) {
  Dpv1Error error;
  error.code1 = errorCode1;
  const unsigned errorClass = errorCode1 >> 4;
  const unsigned code = errorCode1 & 0x0F;
  for (const auto& c : kDpv1Classes) {
    if (c.number != errorClass) continue;
    error.classText = c.text;
    if (code < c.codes.size() && c.codes[code]) error.codeText = c.codes[code];
  }
  return error;
}

}  // namespace tavrin::app
