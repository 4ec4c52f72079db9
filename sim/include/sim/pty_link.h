// The simulator's end of the serial line: a pseudo-terminal whose slave
// side a symbolic link names, so that a driver opens the link path as its
// port. The simulator keeps a slave descriptor of its own open, so a driver
// may close and reopen the port at will without the master seeing a
// hang-up.
//
// Replies go out at once, or with pacing at the character time of the line
// settings the driver configured (read back through the master): a reply
// then begins as the request would have finished arriving on a real line,
// plus three and a half characters of silence, and its bytes follow one
// character time apart.
#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>

#include "platform/event_signal.h"
#include "sim/simulator.h"

namespace tavrin::sim {

struct LinkOptions {
  std::string path;
  bool pace = false;
  int bitsPerCharacter = 0;  // 0: from the line settings
  std::string tracePath;
};

// Bits on the line per character for these termios settings: start bit,
// data bits, parity bit and stop bits. A pseudo-terminal forgets the parity
// enable flag but keeps the odd flag, so odd (or mark) parity still counts.
int bitsPerCharacter(unsigned cflag);

class PtyLink : public TraceSink {
 public:
  explicit PtyLink(LinkOptions options);
  ~PtyLink() override;
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  // Creates the pseudo-terminal and then the link: once the link path
  // exists, the simulator serves.
  bool open(std::string* error);
  // Serves until stop is signalled. False when the line itself failed.
  bool run(Simulator& simulator, platform::EventSignal& stop, std::string* error);
  // Removes the link (if it still names this simulator's terminal).
  void close();

  void record(std::string_view what, ByteView bytes) override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Pending {
    Clock::time_point due;  // the first byte
    Bytes bytes;
    size_t sent = 0;
    bool hangupAfter = false;
    bool traced = false;
  };

  bool createTerminal(int* master, int* slave, std::string* name, std::string* error);
  bool pointLinkAt(const std::string& target, std::string* error);
  void schedule(const Transmission& t, Clock::time_point now);
  // Writes what is due; false when the line failed.
  bool pump(Clock::time_point now, bool* blocked);
  // A hang-up waits until the master has read what was sent before it (or a
  // short while has passed): closing the terminal discards unread input.
  bool hangUpDue(Clock::time_point now) const;
  void hangUp(Simulator& simulator);
  double characterSeconds() const;
  Clock::duration characterTime() const;
  double seconds(Clock::time_point t) const { return std::chrono::duration<double>(t - start_).count(); }

  LinkOptions options_;
  int master_ = -1;
  int slave_ = -1;
  std::string terminal_;
  bool linked_ = false;
  FILE* trace_ = nullptr;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastInput_{};
  Clock::time_point lineFree_{};
  std::optional<Clock::time_point> hangupFrom_;
  std::deque<Pending> queue_;
};

}  // namespace tavrin::sim
