// Two pseudo-terminals joined back to back, so that two programs can each
// open a serial device path and talk as over a null-modem cable. With a
// character time, every byte is delivered only after its time on a real
// line, which a pseudo-terminal alone never imposes.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/event_signal.h"
#include "testing/pty_pair.h"

namespace tavrin::ostrelle::testing {

class PtyBridge {
 public:
  // realTime: the relay threads run at a real-time priority where the
  // system allows it, so that like a real line they keep their timing
  // whatever else the machine runs.
  explicit PtyBridge(std::chrono::nanoseconds characterTime = std::chrono::nanoseconds(0), bool realTime = false);
  ~PtyBridge();
  PtyBridge(const PtyBridge&) = delete;
  PtyBridge& operator=(const PtyBridge&) = delete;

  // The two device paths.
  const std::string& left() const { return a_.slavePath(); }
  const std::string& right() const { return b_.slavePath(); }
  // Ends both ends: programs holding them see the device vanish.
  void cut();

 private:
  void relay(int from, int to);

  tavrin::testing::PtyPair a_;
  tavrin::testing::PtyPair b_;
  std::chrono::nanoseconds characterTime_;
  bool realTime_;
  platform::EventSignal stop_;
  std::thread ab_;
  std::thread ba_;
};

}  // namespace tavrin::ostrelle::testing
