// A peer program started by a test: it prints "ready" on its standard
// output once it serves, and is ended by its process id.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavrin::ostrelle::testing {

class PeerProcess {
 public:
  explicit PeerProcess(const std::vector<std::string>& argv);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Waits for the "ready" line; false when the peer ended or said nothing
  // in time (what it printed is in output()).
  bool waitReady(int timeoutMs);
  const std::string& output() const { return output_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

// Path of the Debian Python with its packages (another python3 may come
// first on PATH).
inline constexpr const char* kSystemPython = "/usr/bin/python3";

}  // namespace tavrin::ostrelle::testing
