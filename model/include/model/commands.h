// COMMAND objects: where a group of variables lives on the bus and which
// variables, in which order, make up each transaction's request and reply.
//
// A COMMAND (root 4, object list 2) has conditional attributes: block 1 (a
// BLOCK's identifier) or slot 96, index 38 and operation 98 (394 read, 395
// write, 4 a command run only by name); for Modbus, function code 492 and
// register address 493, each a direct value holding an expression. Its
// transactions (109, counted from 0 in order) begin with their number, then
// hold a request 111 and a reply 110 of data items: 112 a constant byte, 113
// a reference to a variable, collection or array, and 114 to 116 references
// with qualifiers or masks, which the command search accepts but transfers
// refuse.
//
// A BLOCK (root 1) names its group in its type (359 physical, 360
// transducer, 361 function) and its number within the group in attribute 97;
// the block directory turns the two into a slot and an index offset.
//
// Nothing is cached: every call compiles from the trees as they are now, so
// conditional attributes follow the variables they depend on.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "lirrand.h"
#include "model/block_directory.h"

namespace tavrin::model {

class Attributes;
class Menus;

// Operations of a command.
namespace operation {
inline constexpr int32_t Command = 4;
inline constexpr int32_t Read = 394;
inline constexpr int32_t Write = 395;
}  // namespace operation

// Transaction parts.
namespace part {
inline constexpr uint16_t Reply = 110;
inline constexpr uint16_t Request = 111;
inline constexpr uint16_t ResponseCodes = 299;
}  // namespace part

struct DataItem {
  uint16_t tag = 0;                // 112 constant, 113 reference, 114 to 116 qualified or masked reference
  uint8_t constant = 0;            // 112: the constant's low byte
  std::vector<int32_t> variables;  // 113 to 116: what the reference stands for, in order
};

struct DataList {
  std::vector<DataItem> items;
  // False when an item could not be compiled (said). Such a list is still
  // searched, but never transferred: its bytes would not be where the
  // device expects them.
  bool complete = true;
};

struct CommandRef {
  const EddNode* command = nullptr;
  int32_t transaction = 0;
};

struct ProfibusAddress {
  uint8_t slot = 0;
  uint8_t index = 0;
};

struct ModbusAddress {
  uint8_t functionCode = 0;
  uint16_t registerAddress = 0;
};

class Commands {
 public:
  Commands(Attributes& attributes, Menus& menus, BlockDirectory& directory);

  // 394, 395 or 4; anything else has been said and is returned as it is (0
  // when there was no value at all).
  int32_t operation(const EddNode& command);

  // Transaction `number` (the number-th child 109), or nullptr.
  static const EddNode* transaction(const EddNode& command, int32_t number);

  // The data items of part 110 or 111 of a transaction. Nothing when the
  // command has no such transaction, or for a part that is not a data list
  // (said). A transaction without the part has an empty list.
  std::optional<DataList> dataList(const EddNode& command, uint16_t part, int32_t transaction);

  // --- Profibus addressing; nothing when it cannot be worked out (said) ---
  // The slot attribute's low byte with offset 0, else the block's place.
  std::optional<BlockPlace> slotAndOffset(const EddNode& command);
  // The index attribute's low byte.
  std::optional<uint8_t> index(const EddNode& command);
  // Slot, and (index + offset) modulo 256.
  std::optional<ProfibusAddress> profibusAddress(const EddNode& command);

  // --- Modbus addressing; nothing when it cannot be worked out (said) ---
  std::optional<uint8_t> functionCode(const EddNode& command);
  std::optional<uint16_t> registerAddress(const EddNode& command);
  std::optional<ModbusAddress> modbusAddress(const EddNode& command);

  // --- the search, over object list 2 in order ---
  // The first read command (394) whose reply carries the variable, with the
  // first such transaction; the same for write commands (395) and requests.
  std::optional<CommandRef> findReadCommand(int32_t variableId);
  std::optional<CommandRef> findWriteCommand(int32_t variableId);
  // Whether a reference item of the part stands for a list holding the variable.
  bool contains(const EddNode& command, uint16_t part, int32_t transaction, int32_t variableId);

 private:
  std::optional<CommandRef> find(int32_t variableId, int32_t wantedOperation, uint16_t part);
  std::optional<int32_t> popInteger();

  Attributes& attributes_;
  Menus& menus_;
  BlockDirectory& directory_;
};

}  // namespace tavrin::model
