// Plays a port that misbehaves: holds back or fails the writes to one
// device, or fails the waits (poll) that watch it. The test executable
// defines write() and poll() itself, so the driver's calls pass through the
// gate; every other call goes straight on.
#pragma once

#include <string>

namespace tavrin::kelvane::testing {

class PortGate {
 public:
  enum class Mode { HoldWrites, FailWrites, FailWaits };
  // Closes the gate for the device at path; the failing modes fail with
  // error.
  PortGate(const std::string& path, Mode mode, int error = 0);
  // Opens it again; a held write goes on.
  ~PortGate();
  PortGate(const PortGate&) = delete;
  PortGate& operator=(const PortGate&) = delete;

  // Waits until a call reached the closed gate; false after limitMs.
  bool waitForCall(int limitMs) const;
};

}  // namespace tavrin::kelvane::testing
