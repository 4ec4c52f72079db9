#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <type_traits>

#include "app/links.h"
#include "app/serial_settings.h"
#include "app/status_texts.h"
#include "kelvane.h"
#include "ui/user_interface.h"

namespace tavrin::app {
namespace {

using namespace std::chrono_literals;

constexpr uint8_t kNegativeReply = 9;
constexpr uint8_t kPortFailure = 103;
constexpr int32_t kPresenceTimeoutMs = 120;

// Room for whatever the driver hands back, whatever the caller's buffer.
using ReplyBuffer = std::array<uint8_t, 256>;
static_assert(KELVANE_MAX_REPLY_DATA <= 255);

}  // namespace

ProfibusLink::~ProfibusLink() { unbind(); }

bool ProfibusLink::bind() {
  // The types here must be the driver's own.
  static_assert(std::is_same_v<OpenComPortFn, decltype(&::OpenComPort)>);
  static_assert(std::is_same_v<GetCommPortNumberFn, decltype(&::GetCommPortNumber)>);
  static_assert(std::is_same_v<GetSlaveStatusFn, decltype(&::GetSlaveStatus)>);
  static_assert(std::is_same_v<ModifySlaveAddFn, decltype(&::ModifySlaveAdd)>);
  static_assert(std::is_same_v<C3ReadFn, decltype(&::C3Read)>);
  static_assert(std::is_same_v<C3WriteFn, decltype(&::C3Write)>);
  static_assert(std::is_same_v<CloseComPortFn, decltype(&::CloseComPort)>);
  static_assert(std::is_same_v<SetRespondOutTimeFn, decltype(&::SetRespondOutTime)>);
  static_assert(std::is_same_v<platform::FrameCallback, KelvaneFrameCallback>);

  if (isBound()) unbind();
  const std::string path = files_.driver("Kelvane");
  if (!std::filesystem::exists(path)) {
    ui_.errorBox("Error: Couldn't find PA communication library!");
    return false;
  }
  if (!library_.open(path)) {
    ui_.errorBox("Error: Initialize PA communication library failed!");
    return false;
  }
  getCommPortNumber_ = lookup<std::remove_pointer_t<GetCommPortNumberFn>>("GetCommPortNumber");
  openComPort_ = lookup<std::remove_pointer_t<OpenComPortFn>>("OpenComPort");
  getSlaveStatus_ = lookup<std::remove_pointer_t<GetSlaveStatusFn>>("GetSlaveStatus");
  modifySlaveAdd_ = lookup<std::remove_pointer_t<ModifySlaveAddFn>>("ModifySlaveAdd");
  c3Read_ = lookup<std::remove_pointer_t<C3ReadFn>>("C3Read");
  c3Write_ = lookup<std::remove_pointer_t<C3WriteFn>>("C3Write");
  closeComPort_ = lookup<std::remove_pointer_t<CloseComPortFn>>("CloseComPort");
  setRespondOutTime_ = lookup<std::remove_pointer_t<SetRespondOutTimeFn>>("SetRespondOutTime");
  bindFrameMonitor();
  return true;
}

void ProfibusLink::unbind() {
  close();
  unbindFrameMonitor();
  library_.close();
  getCommPortNumber_ = nullptr;
  openComPort_ = nullptr;
  getSlaveStatus_ = nullptr;
  modifySlaveAdd_ = nullptr;
  c3Read_ = nullptr;
  c3Write_ = nullptr;
  closeComPort_ = nullptr;
  setRespondOutTime_ = nullptr;
}

void ProfibusLink::close() {
  const bool wasOpen = open_;
  open_ = false;
  port_ = 0;
  if (!isBound()) return;
  if (closeComPort_)
    closeComPort_();
  else if (wasOpen)
    require(false, "CloseComPort");
  // The adapter needs a moment before the port is opened again.
  pause(200ms);
}

bool ProfibusLink::open() {
  const SerialSettings settings = loadSerialSettings(files_.comIni(), ui_);
  if (open_ && port_ == settings.port) return true;
  close();
  if (!require(openComPort_ != nullptr, "OpenComPort")) return false;
  if (openComPort_(settings.port, 0, 0, 0, 0, 0, responseTimeoutMs_) == 0) {
    open_ = false;
    char text[64];
    std::snprintf(text, sizeof text, "Error: Open COM%d failed!", settings.port);
    ui_.message({"", text, ui::Icon::None, ui::Buttons::Ok});
    return false;
  }
  open_ = true;
  port_ = settings.port;
  return true;
}

bool ProfibusLink::devicePresent(uint8_t address) {
  if (!require(setRespondOutTime_ != nullptr, "SetRespondOutTime") ||
      !require(getSlaveStatus_ != nullptr, "GetSlaveStatus"))
    return false;
  setRespondOutTime_(kPresenceTimeoutMs);
  const uint8_t status = getSlaveStatus_(address);
  setRespondOutTime_(responseTimeoutMs_);
  return status == 0;
}

std::string ProfibusLink::negativeReply(std::span<const uint8_t> errorBytes, bool anotherAttemptFollows) {
  std::array<uint8_t, 3> bytes{};
  std::copy_n(errorBytes.begin(), std::min(errorBytes.size(), bytes.size()), bytes.begin());
  const Dpv1Error error = decodeDpv1Error(bytes[0], bytes[1], bytes[2]);
  if (error.code1 == kDpv1ResourceBusy) {
    pause(500ms);
    if (anotherAttemptFollows) pause(3000ms);
  }
  return error.text();
}

bool ProfibusLink::quietRead(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer,
                             size_t& received, uint8_t& status) {
  received = 0;
  status = kRefusedLocally;
  if (!require(c3Read_ != nullptr, "C3Read")) return false;
  ReplyBuffer reply{};
  for (int attempt = 1; attempt <= attempts_; ++attempt) {
    uint8_t replyLength = 0;
    status = c3Read_(busAddress_, slot, index, length, reply.data(), &replyLength);
    if (status == 0) {
      received = std::min<size_t>(replyLength, buffer.size());
      std::copy_n(reply.begin(), received, buffer.begin());
      return true;
    }
    if (status == kNegativeReply) negativeReply({reply.data(), replyLength}, attempt < attempts_);
  }
  return false;
}

bool ProfibusLink::quietWrite(uint8_t slot, uint8_t index, std::span<const uint8_t> data, uint8_t& status,
                              std::string* errorText) {
  status = kRefusedLocally;
  if (!require(c3Write_ != nullptr, "C3Write")) return false;
  // The driver takes a one-byte length: more would be cut short silently.
  if (data.size() > 255) return false;
  ReplyBuffer error{};
  for (int attempt = 1; attempt <= attempts_; ++attempt) {
    uint8_t errorLength = 0;
    status = c3Write_(busAddress_, slot, index, data.data(), static_cast<uint8_t>(data.size()), error.data(),
                      &errorLength);
    if (status == 0) return true;
    if (status == kNegativeReply) {
      std::string text = negativeReply({error.data(), errorLength}, attempt < attempts_);
      if (errorText) *errorText = std::move(text);
    }
  }
  return false;
}

template <class Quiet>
bool ProfibusLink::withMessages(uint8_t slot, uint8_t index, Quiet quiet) {
  if (!open_ && !open()) return false;
  for (;;) {
    uint8_t status = 0;
    if (quiet(status)) return true;
    if (status != kPortFailure) {
      ui_.errorBox(profibusFailureText(slot, index, status));
      return false;
    }
    open_ = false;
    if (!ui_.question("Error", kResendQuestion, ui::Icon::Error)) return false;
    if (!open()) return false;
  }
}

bool ProfibusLink::read(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer, size_t& received) {
  received = 0;
  if (!require(c3Read_ != nullptr, "C3Read")) return false;
  return withMessages(slot, index, [&](uint8_t& status) {
    return quietRead(slot, index, length, buffer, received, status);
  });
}

bool ProfibusLink::write(uint8_t slot, uint8_t index, std::span<const uint8_t> data) {
  if (!require(c3Write_ != nullptr, "C3Write")) return false;
  return withMessages(slot, index, [&](uint8_t& status) { return quietWrite(slot, index, data, status); });
}

}  // namespace tavrin::app
