// A raw pseudo-terminal for serial tests: the test plays the device on the
// master side and hands the slave path to the code under test. The pair keeps
// a slave descriptor of its own open, so the master never sees a hang-up
// while the code under test closes and reopens the port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::testing {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

  // Writes all bytes to the master side.
  void send(const std::vector<uint8_t>& bytes) const;
  // Reads from the master what arrives within timeoutMs of the last byte,
  // up to max bytes; stops early once max bytes arrived.
  std::vector<uint8_t> receive(int timeoutMs, size_t max = 4096) const;
  // Closes the master side: the slave sees a hang-up.
  void closeMaster();
  // Closes the pair's own slave descriptor.
  void releaseSlave();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

// Hex text "01 03 00" of bytes, for readable assertions.
std::string hex(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> unhex(const std::string& text);

}  // namespace tavrin::testing
