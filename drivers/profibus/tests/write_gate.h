// Holds back or fails the writes to one device, to play a line that does not
// take data or a port whose write fails. The test executable defines write()
// itself, so the driver's writes pass through the gate; every other write
// goes straight on.
#pragma once

#include <string>

namespace tavrin::kelvane::testing {

class WriteGate {
 public:
  enum class Mode { Hold, Fail };
  // Closes the gate for writes to the device at path.
  WriteGate(const std::string& path, Mode mode, int error = 0);
  // Opens it again; a held write goes on.
  ~WriteGate();
  WriteGate(const WriteGate&) = delete;
  WriteGate& operator=(const WriteGate&) = delete;

  // Waits until a write reached the gate; false after limitMs.
  bool waitForWrite(int limitMs) const;
  void open();
};

}  // namespace tavrin::kelvane::testing
