// The line engine: takes the bytes a master sends, finds the requests in
// them, lets the bus side and its devices answer, applies the faults and
// hands back what goes on the line, as transmissions the line layer times.
// It knows nothing of ports or clocks: time comes in as seconds.
#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "sim/bus_side.h"
#include "sim/faults.h"

namespace tavrin::sim {

// Finds requests in a byte stream that has no frame boundaries: the first
// position where a whole frame with a matching CRC stands wins, the bytes in
// front of it are noise.
class FrameScanner {
 public:
  explicit FrameScanner(const BusSide& side) : side_(side) {}

  void push(ByteView bytes);
  std::optional<Bytes> next(Bytes* skipped);
  // The line went quiet: what is left cannot become a request.
  Bytes flush();
  bool pending() const { return !buffer_.empty(); }

 private:
  const BusSide& side_;
  Bytes buffer_;
};

struct Segment {
  int pauseMs = 0;  // silence before these bytes
  Bytes bytes;
};

struct Transmission {
  size_t requestLength = 0;
  std::vector<Segment> segments;
  bool hangup = false;  // the port closes after the last segment
};

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void record(std::string_view what, ByteView bytes) = 0;
};

class Simulator {
 public:
  Simulator(BusSide& side, FaultSet faults, TraceSink* trace = nullptr)
      : side_(side), faults_(std::move(faults)), scanner_(side), trace_(trace) {}

  std::vector<Transmission> receive(ByteView bytes, double seconds);
  // Called when the line has been quiet for a while with bytes pending.
  void silence();
  bool pending() const { return scanner_.pending(); }
  // A new port: whatever was half received on the old one is gone.
  void resetLine() { scanner_.flush(); }

  BusSide& side() { return side_; }
  // Called after each request has been carried out (or refused), before
  // its reply goes out.
  void setAfterRequest(std::function<void()> hook) { afterRequest_ = std::move(hook); }

 private:
  std::optional<Transmission> handle(const Bytes& frame, double seconds);
  void note(std::string_view what, ByteView bytes) {
    if (trace_ && !bytes.empty()) trace_->record(what, bytes);
  }

  BusSide& side_;
  FaultSet faults_;
  FrameScanner scanner_;
  TraceSink* trace_;
  std::function<void()> afterRequest_;
};

}  // namespace tavrin::sim
