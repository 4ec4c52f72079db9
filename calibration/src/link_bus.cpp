#include "app/links.h"
#include "app/status_texts.h"
#include "calibration/transmitter_bus.h"

namespace tavrin::calibration {

namespace {
constexpr uint8_t kNegativeReply = 9;
}

bool LinkBus::open() { return links_.profibus().isOpen() || links_.profibus().open(); }

uint8_t LinkBus::address() const { return links_.busAddress(); }

void LinkBus::setAddress(uint8_t address) { links_.setBusAddress(address); }

bool LinkBus::present(uint8_t address) { return links_.profibus().devicePresent(address); }

bool LinkBus::read(uint8_t slot, uint8_t index, std::span<uint8_t> data, size_t& received) {
  uint8_t status = 0;
  const uint8_t length = static_cast<uint8_t>(std::min<size_t>(data.size(), 255));
  return links_.profibus().quietRead(slot, index, length, data, received, status);
}

bool LinkBus::write(uint8_t slot, uint8_t index, std::span<const uint8_t> data, std::string& cause) {
  uint8_t status = 0;
  std::string decoded;
  if (links_.profibus().quietWrite(slot, index, data, status, &decoded)) return true;
  // Only a negative reply has a decoded text; every other failure (no
  // reply, a broken frame) is named by its status, never left empty.
  cause = status == kNegativeReply && !decoded.empty() ? decoded : app::profibusStatusText(status);
  return false;
}

}  // namespace tavrin::calibration
