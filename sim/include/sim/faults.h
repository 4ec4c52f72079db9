// Faults the simulator puts on the line on purpose, each on a target.
//
// Text of a fault (command line --fault, or a value in the profile's
// [FAULTS] section):
//   KIND[=VALUE][,NAME=VALUE]...
// Kinds:
//   no-reply             the request is lost: no reply, nothing carried out
//   late=MS              the reply starts MS milliseconds late
//   noise[=HEX]          bytes before the reply (FF FE FD when not given)
//   bad-crc              both CRC bytes of the reply inverted
//   split=MS             a pause of MS milliseconds inside the reply
//                        (after at=N bytes; half the reply by default)
//   other-station=ADDR   the reply carries station ADDR as its sender
//   exception=CODE       Modbus: an exception reply instead, nothing done
//   negative=HEX         Profibus read/write: a negative DPV1 reply with the
//                        error bytes instead (one byte: error code 1, with
//                        decode 80 and code 2 00; or all three), nothing done
//   hangup               the port closes after at=N bytes of the reply (half
//                        by default); the request has been carried out
// Targets (all that are given must hold):
//   device=A             requests to station A
//   function=F           Modbus function code F
//   register=R           Modbus requests whose address range covers R
//   slot=S, index=I      Profibus reads and writes of that slot / index
//   service=NAME         Profibus: status, diagnosis, address, read, write
//   after=K              passes over the first K requests it targets
//   count=N              then acts on N requests (all that follow if left out)
// Only requests a simulated device answers count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/bytes.h"

namespace tavrin::sim {

enum class Bus { Modbus, Profibus };

enum class Service { Modbus, Status, Diagnosis, SetAddress, Read, Write };

// What the line layer tells about a request for faults to match.
struct RequestInfo {
  bool answered = false;  // a simulated device answers it
  uint8_t device = 0;
  Service service = Service::Modbus;
  uint8_t function = 0;
  uint32_t first = 0;  // Modbus: first address and count touched
  uint32_t count = 0;
  uint8_t slot = 0;
  uint8_t index = 0;
};

enum class FaultKind { NoReply, Late, Noise, BadCrc, Split, OtherStation, Exception, Negative, Hangup };

struct FaultSpec {
  FaultKind kind = FaultKind::NoReply;
  std::string text;
  int milliseconds = 0;
  std::optional<size_t> at;  // split and hangup position in the reply
  Bytes bytes;               // noise, or the three negative reply bytes
  uint8_t value = 0;         // other station, exception code

  std::optional<uint8_t> device, function, slot, index;
  std::optional<uint16_t> reg;
  std::optional<Service> service;
  uint64_t after = 0;
  std::optional<uint64_t> count;

  bool targets(const RequestInfo& request) const;
};

std::optional<FaultSpec> parseFault(std::string_view text, Bus bus, std::string* error);

class FaultSet {
 public:
  FaultSet() = default;
  explicit FaultSet(std::vector<FaultSpec> faults) : faults_(std::move(faults)), seen_(faults_.size(), 0) {}

  void add(FaultSpec fault) {
    faults_.push_back(std::move(fault));
    seen_.push_back(0);
  }
  // The faults that act on this request, in the order they were given;
  // counts the request for every fault that targets it.
  std::vector<const FaultSpec*> select(const RequestInfo& request);
  bool empty() const { return faults_.empty(); }

 private:
  std::vector<FaultSpec> faults_;
  std::vector<uint64_t> seen_;
};

}  // namespace tavrin::sim
