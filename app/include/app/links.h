// The Profibus link and the Modbus link: the program's only way to the bus.
//
// Each link loads its driver library from <program folder>/Driver/ and binds
// the driver's functions by name. A function the library does not export is
// never called: the operation that needs it fails with "Error: The driver
// library has no function <name>!" (also in the quiet forms, which otherwise
// show nothing, so that a broken installation is never mistaken for a
// silent device).
//
// The links open their port on demand with the serial settings of com.ini,
// retry failed transfers, and turn a failure status into the program's
// message. Every transfer addresses the session's one bus address, which
// DeviceLinks owns and both links read.
//
// Not thread-safe: one thread at a time, as the drivers require.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "app/configuration.h"
#include "model/communication.h"
#include "platform/dynamic_library.h"
#include "platform/frame_tap.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::app {

// How a link waits (between attempts, after closing). Tests replace it to
// record the pauses instead of sleeping through them.
using Pause = std::function<void(std::chrono::milliseconds)>;

// What the two links share: the library, the open state, the messages.
class DriverLink {
 public:
  DriverLink(const ProgramFiles& files, ui::UserInterface& ui, const uint8_t& busAddress);
  virtual ~DriverLink() = default;
  DriverLink(const DriverLink&) = delete;
  DriverLink& operator=(const DriverLink&) = delete;

  bool isBound() const { return library_.isOpen(); }
  bool isOpen() const { return open_; }
  // Port number of the open port, 0 when closed.
  int openPort() const { return open_ ? port_ : 0; }
  int attempts() const { return attempts_; }
  void setAttempts(int attempts) { attempts_ = attempts < 1 ? 1 : attempts; }
  void setPause(Pause pause);

  // The frame monitor: the driver's SetFrameMonitor, which a library of the
  // original export list lacks (everything else works without it). The
  // callback is kept and registered whenever the library is bound, and
  // taken back before the library is released; nullptr takes it back now.
  // False when the bound library has no frame monitor.
  bool setFrameMonitor(platform::FrameCallback callback, void* context);
  bool hasFrameMonitor() const { return setFrameMonitor_ != nullptr; }

 protected:
  // After the library's functions are bound, before it is released.
  void bindFrameMonitor();
  void unbindFrameMonitor();
  // Binds name, or leaves nullptr; library_ must be loaded.
  template <class Function>
  Function* lookup(const char* name) const {
    return library_.function<Function>(name);
  }
  // True when the function is bound; otherwise shows the missing-function
  // message naming it.
  bool require(bool bound, const char* name);
  void pause(std::chrono::milliseconds duration) const;

  ProgramFiles files_;
  ui::UserInterface& ui_;
  const uint8_t& busAddress_;
  platform::DynamicLibrary library_;
  bool open_ = false;
  int port_ = 0;
  int attempts_ = 3;

 private:
  using SetFrameMonitorFn = int32_t (*)(platform::FrameCallback, void*);

  Pause pause_;
  SetFrameMonitorFn setFrameMonitor_ = nullptr;
  platform::FrameCallback frameCallback_ = nullptr;
  void* frameContext_ = nullptr;
};

// Asked (title "Error", Yes/No) after a port failure of a Profibus read or
// write; Yes opens the port again and repeats the transfer.
inline constexpr const char* kResendQuestion = "Error: Access serial port failed, resend?";

class ProfibusLink : public DriverLink {
 public:
  static constexpr int kDefaultResponseTimeoutMs = 800;
  // Status the quiet forms report when they refused a request without
  // calling the driver (a missing function, too much data).
  static constexpr uint8_t kRefusedLocally = 27;

  using DriverLink::DriverLink;
  ~ProfibusLink() override;

  // Loads Driver/Kelvane.so; shows why when it cannot.
  bool bind();
  // Closes the port and releases the library.
  void unbind();
  // Opens the port of the serial settings (only the port matters: the
  // adapter's line is fixed). An open link on the same port stays as it is.
  bool open();
  void close();

  // True when the station at address answers a status request (asked with
  // a short 120 ms time-out).
  bool devicePresent(uint8_t address);

  // DPV1 read of length bytes at slot/index. At most buffer.size() bytes are
  // copied; received tells how many. On failure the message has been shown
  // (after a port failure the person was asked whether to try again).
  bool read(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer, size_t& received);
  // The same with retries but without any message; status is the last
  // driver status.
  bool quietRead(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer, size_t& received,
                 uint8_t& status);
  bool write(uint8_t slot, uint8_t index, std::span<const uint8_t> data);
  // errorText (optional) receives the decoded text of the last negative
  // reply, if there was one.
  bool quietWrite(uint8_t slot, uint8_t index, std::span<const uint8_t> data, uint8_t& status,
                  std::string* errorText = nullptr);

  int responseTimeout() const { return responseTimeoutMs_; }
  void setResponseTimeout(int milliseconds) { responseTimeoutMs_ = milliseconds; }

 private:
  using OpenComPortFn = int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
  using GetCommPortNumberFn = int32_t (*)(const char*, const char*);
  using GetSlaveStatusFn = uint8_t (*)(uint8_t);
  using ModifySlaveAddFn = uint8_t (*)(uint8_t, uint8_t);
  using C3ReadFn = uint8_t (*)(uint8_t, uint8_t, uint8_t, uint8_t, uint8_t*, uint8_t*);
  using C3WriteFn = uint8_t (*)(uint8_t, uint8_t, uint8_t, const uint8_t*, uint8_t, uint8_t*, uint8_t*);
  using CloseComPortFn = void (*)();
  using SetRespondOutTimeFn = int32_t (*)(int32_t);

  // After a negative reply: decodes it and waits as the device asked.
  std::string negativeReply(std::span<const uint8_t> errorBytes, bool anotherAttemptFollows);
  // Runs a quiet form, asking about port failures, and shows the failure.
  template <class Quiet>
  bool withMessages(uint8_t slot, uint8_t index, Quiet quiet);

  GetCommPortNumberFn getCommPortNumber_ = nullptr;
  OpenComPortFn openComPort_ = nullptr;
  GetSlaveStatusFn getSlaveStatus_ = nullptr;
  ModifySlaveAddFn modifySlaveAdd_ = nullptr;
  C3ReadFn c3Read_ = nullptr;
  C3WriteFn c3Write_ = nullptr;
  CloseComPortFn closeComPort_ = nullptr;
  SetRespondOutTimeFn setRespondOutTime_ = nullptr;
  int responseTimeoutMs_ = kDefaultResponseTimeoutMs;
};

class ModbusLink : public DriverLink {
 public:
  // The status the quiet forms report for a request refused without calling
  // the driver; its text is "Error: Communication error!".
  static constexpr uint8_t kRefusedLocally = 24;
  static constexpr size_t kIdentitySize = 8;

  using DriverLink::DriverLink;
  ~ModbusLink() override;

  // Loads Driver/Ostrelle.so; also insists on com.ini.
  bool bind();
  void unbind();
  // Opens the port with the serial settings. An open link on the same port
  // stays as it is, keeping its old line settings.
  bool open();
  void close();

  // Read with function code 1 to 4 of byteCount data bytes; the status text
  // of the read table on failure.
  bool read(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer, size_t& received);
  bool quietRead(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer,
                 size_t& received, uint8_t& status);
  // Write with function code 6 or 16; the write table's texts on failure.
  bool write(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data);
  bool quietWrite(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data, uint8_t& status);

  // One quiet try of the identification registers (function 4, 0x8000,
  // 8 bytes), as polling asks every address.
  bool identityProbe(std::span<uint8_t, kIdentitySize> identity);

 private:
  using OpenComPortFn = int32_t (*)(int32_t, int32_t, uint8_t, uint8_t, uint8_t, uint8_t, int32_t);
  using MbReadFn = uint8_t (*)(uint8_t, uint8_t, uint16_t, uint16_t, uint8_t*, uint8_t*);
  using MbWriteFn = uint8_t (*)(uint8_t, uint8_t, uint16_t, const uint8_t*, uint8_t);
  using CloseComPortFn = int32_t (*)();
  using SetRespondOutTimeFn = int32_t (*)(int32_t);

  OpenComPortFn openComPort_ = nullptr;
  MbReadFn mbRead_ = nullptr;
  MbWriteFn mbWrite_ = nullptr;
  CloseComPortFn closeComPort_ = nullptr;
  SetRespondOutTimeFn setRespondOutTime_ = nullptr;
};

// Both links and the session's bus address. It is the communication layer
// that variable transfer reads and writes through.
class DeviceLinks final : public model::Communication {
 public:
  DeviceLinks(const ProgramFiles& files, ui::UserInterface& ui);
  // Unbinds both links.
  ~DeviceLinks() override;
  DeviceLinks(const DeviceLinks&) = delete;
  DeviceLinks& operator=(const DeviceLinks&) = delete;

  ProfibusLink& profibus() { return profibus_; }
  ModbusLink& modbus() { return modbus_; }
  const ProfibusLink& profibus() const { return profibus_; }
  const ModbusLink& modbus() const { return modbus_; }

  uint8_t busAddress() const { return busAddress_; }
  void setBusAddress(uint8_t address) { busAddress_ = address; }

  // The start-up order: Modbus, then Profibus. Each shows its own failure.
  void bind();
  // The shutdown order: the Modbus port, then the Profibus port.
  void closePorts();
  void unbind();
  void setPause(const Pause& pause);

  // Opens or closes the link of a type; None fails.
  bool open(CommunicationType type);
  void close(CommunicationType type);
  // The port the link of a type holds open, 0 for none.
  int heldPort(CommunicationType type) const;

  bool profibusRead(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer,
                    size_t& received) override;
  bool profibusWrite(uint8_t slot, uint8_t index, std::span<const uint8_t> data) override;
  bool modbusRead(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer,
                  size_t& received) override;
  bool modbusWrite(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data) override;

 private:
  uint8_t busAddress_ = 0;  // before the links, which refer to it
  ModbusLink modbus_;
  ProfibusLink profibus_;
};

}  // namespace tavrin::app
