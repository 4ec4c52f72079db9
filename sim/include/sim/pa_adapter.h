// The serial PA adapter: Profibus telegrams between the serial line and the
// PA transmitters behind it, each telegram followed by a CRC-16 in place of
// the frame check sequence and end delimiter.
//
// Requests understood (DA: station address; SAPs with the extension bit):
//   10 DA SA 49                        station status -> 10 SA DA 00
//   68 05 05 68 DA|80 SA 4D 3C 3E      slave diagnosis -> SD2 from SAP 3C
//   68 09 09 68 DA|80 SA 4D 37 3E NEW IDH IDL LOCK   set slave address -> E5
//   68 09 09 68 DA|80 SA FC 00 00 5E SLOT INDEX LEN  DPV1 read
//   68 LE LE 68 DA|80 SA FC 00 00 5F SLOT INDEX N DATA...   DPV1 write
// Replies to reads and writes echo 5E/5F with slot, index and length; a
// negative reply carries DE/DF and the three error bytes.
#pragma once

#include <vector>

#include "sim/bus_side.h"
#include "sim/pa_transmitter.h"

namespace tavrin::sim {

class PaAdapter : public BusSide {
 public:
  explicit PaAdapter(std::vector<PaTransmitter>& devices) : devices_(devices) {}

  Bus bus() const override { return Bus::Profibus; }
  FrameLength frameLength(ByteView from) const override;
  RequestInfo classify(ByteView frame) const override;
  Bytes serve(ByteView frame, double seconds) override;
  Bytes refuse(ByteView frame, const FaultSpec& fault) const override;
  Bytes restation(Bytes reply, uint8_t station) const override;

 private:
  PaTransmitter* find(uint8_t address) const;

  std::vector<PaTransmitter>& devices_;
};

}  // namespace tavrin::sim
