// The PA adapter side of a pseudo-terminal for the driver's tests: a thread
// that reads whole telegrams from the master, records them, and answers each
// as the test's responder says (bytes, optionally in pieces with pauses).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_signal.h"

namespace tavrin::kelvane::testing {

// Hex text plus its CRC-16, low byte first.
std::vector<uint8_t> framed(const std::string& hex);

struct Piece {
  std::vector<uint8_t> bytes;
  std::chrono::milliseconds pauseBefore{0};
};
using Answer = std::vector<Piece>;
using Responder = std::function<Answer(const std::vector<uint8_t>& request)>;

// Answers with bytes at once, or stays silent for an empty vector.
Answer say(std::vector<uint8_t> bytes);

class AdapterPeer {
 public:
  AdapterPeer(int master, Responder responder);
  ~AdapterPeer();
  AdapterPeer(const AdapterPeer&) = delete;
  AdapterPeer& operator=(const AdapterPeer&) = delete;

  // Telegrams received so far, each with its CRC.
  std::vector<std::vector<uint8_t>> requests() const;
  // Waits until count telegrams arrived; false after limit.
  bool waitForRequests(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

 private:
  void run();
  // Sleeps for pause unless told to stop; false when stopped.
  bool pause(std::chrono::milliseconds pause);

  int master_;
  Responder responder_;
  platform::EventSignal stop_;
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<std::vector<uint8_t>> requests_;
  std::thread thread_;
};

}  // namespace tavrin::kelvane::testing
