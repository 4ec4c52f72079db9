// The PA adapter protocol on top of the port: one transaction per service
// (write the telegram, wait for its completion, then look for the reply in
// each reception until the response time-out), the service checks, the
// statuses and the counters.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "kelvane/async_serial_port.h"
#include "kelvane/telegram.h"

namespace tavrin::kelvane {

enum Counter : size_t {
  kRequestsWritten = 0,
  kWritesLate = 1,
  kTransactionsOk = 2,
  kReplyWaitsTimedOut = 3,
  kUnused = 4,
  kTransactionsFailed = 5,
  kCounterCount = 6,
};

class PaAdapter {
 public:
  // The adapter link's fixed line.
  static constexpr int kBaud = 38400;
  static constexpr int kParityNone = 2;
  static constexpr int kDataBits = 8;
  static constexpr int kOneStopBit = 0;
  static constexpr int kAttempts = 1;
  // Response time-outs below the minimum mean the default; above the
  // maximum, the maximum.
  static constexpr std::chrono::milliseconds kMinResponseTimeout{100};
  static constexpr std::chrono::milliseconds kDefaultResponseTimeout{1000};
  static constexpr std::chrono::milliseconds kMaxResponseTimeout{3000};

  PaAdapter() = default;

  // Opens COM<port> of programFolder at the fixed line settings.
  bool open(const std::string& programFolder, int port, int flowIndex, int responseTimeoutMs);
  void close();

  // Returns the time-out now in effect.
  std::chrono::milliseconds setResponseTimeout(int milliseconds);
  std::chrono::milliseconds responseTimeout() const { return responseTimeout_; }

  std::array<uint32_t, kCounterCount> counters() const { return counters_; }
  void clearCounters() { counters_.fill(0); }

  Status stationStatus(uint8_t address);
  Status slaveDiagnosis(uint8_t address, Payload& data);
  Status modifySlaveAddress(uint8_t oldAddress, uint8_t newAddress);
  Status read(uint8_t address, uint8_t slot, uint8_t index, uint8_t length, Payload& data);
  Status write(uint8_t address, uint8_t slot, uint8_t index, std::span<const uint8_t> data, Payload& error);

  CAsyncSerialPort& port() { return port_; }

 private:
  // Whether a reply answers the request: Ok or NegativeReply when it does,
  // BadReply when it does not (another station, service, slot or index).
  using Answers = std::function<Status(std::span<const uint8_t> reply)>;

  // Sends request (the CRC is appended here) and leaves the reply that
  // answers it in reply_.
  Status transaction(std::vector<uint8_t> request, const Answers& answers);
  // Of the replies in one reception, the one that answers: replies that do
  // not answer are passed over (NoAnswer when there is no other); two that
  // answer but differ leave it open which one is ours (Conflict).
  enum class Recognised { Reply, TimedOut, Unrecognised, NoAnswer, Conflict, PortLost };
  Recognised recogniseReply(const Answers& answers);

  CAsyncSerialPort port_;
  std::chrono::milliseconds responseTimeout_ = kDefaultResponseTimeout;
  std::array<uint32_t, kCounterCount> counters_{};
  std::vector<uint8_t> received_;
  std::array<uint8_t, kReplyBufferSize> reply_{};
  size_t replyLength_ = 0;

  std::span<const uint8_t> reply() const { return {reply_.data(), replyLength_}; }
};

}  // namespace tavrin::kelvane
