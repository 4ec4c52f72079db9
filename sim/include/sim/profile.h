// Profiles: the devices a simulator plays, as a key file (see README.md).
//
//   [SIMULATOR]            optional; BUS = MODBUS or PROFIBUS
//   [DEVICE <name>]        one section per device
//   [FAULTS]               any keys; each value a fault (faults.h)
//
// A device section holds the bus address, the identification, the memory
// entries (values.h), the read-only list, dynamic values (dynamics.h) and
// limits on written values. Unknown sections and keys are errors, so a typo
// never goes unnoticed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/key_file.h"
#include "sim/faults.h"
#include "sim/modbus_slave.h"
#include "sim/pa_transmitter.h"

namespace tavrin::sim {

enum class Area { Coil, Discrete, Holding, Input, Slot };

// "coil.N", "discrete.N", "holding.N", "input.N" (Modbus) or "slot.S.I"
// (Profibus); numbers decimal or 0x hex.
struct EntryRef {
  Area area = Area::Holding;
  uint8_t slot = 0;
  uint16_t number = 0;  // data address, or index
};

std::optional<EntryRef> parseEntryRef(std::string_view text, Bus bus);

struct Setup {
  Bus bus = Bus::Modbus;
  std::vector<ModbusSlave> modbus;
  std::vector<PaTransmitter> profibus;
  std::vector<FaultSpec> faults;
};

struct Profile {
  // Where each device's memory came from, so it can be written back.
  struct Block {
    std::string key;  // empty for entries the identification keys made
    EntryRef ref;
    size_t units = 0;  // registers or bits (Modbus)
    Bytes initial;
  };
  struct Origin {
    std::string section;
    uint8_t address = 0;
    std::vector<Block> blocks;
  };

  platform::KeyFile file;
  Setup setup;
  std::vector<Origin> origins;  // one per device, in the order of the setup
};

std::optional<Profile> parseProfile(std::string_view text, Bus bus, std::string* error);
std::optional<Profile> loadProfile(const std::string& path, Bus bus, std::string* error);

// The profile text with the devices' memory and addresses as they are now:
// changed entries rewritten, everything else kept as it stands.
std::string savedProfileText(const Profile& profile);
bool saveProfile(const Profile& profile, const std::string& path);

}  // namespace tavrin::sim
