// The device side of one bus as the line sees it: where frames begin and
// end, which device a request is for, the reply the devices give, and the
// replies faults put in their place. The devices themselves (memory,
// behaviour) live in the device models; a bus side only frames.
#pragma once

#include <cstddef>

#include "sim/bytes.h"
#include "sim/faults.h"

namespace tavrin::sim {

struct FrameLength {
  enum class Kind {
    None,     // these bytes cannot begin a request
    More,     // more bytes are needed to tell
    Known,    // the request is length bytes long, CRC included
    Unknown,  // a request whose length only its end tells (the CRC)
  };
  Kind kind = Kind::None;
  size_t length = 0;
};

class BusSide {
 public:
  virtual ~BusSide() = default;

  virtual Bus bus() const = 0;
  virtual FrameLength frameLength(ByteView from) const = 0;
  // For a frame that passed its CRC check.
  virtual RequestInfo classify(ByteView frame) const = 0;
  // Carries the request out; the reply frame, or nothing when no reply is due.
  virtual Bytes serve(ByteView frame, double seconds) = 0;
  // The reply a refusing fault (exception, negative reply) sends instead.
  virtual Bytes refuse(ByteView frame, const FaultSpec& fault) const = 0;
  // The reply as station would have sent it (CRC made to match).
  virtual Bytes restation(Bytes reply, uint8_t station) const = 0;
};

}  // namespace tavrin::sim
