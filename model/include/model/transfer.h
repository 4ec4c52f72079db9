// Variable transfer: moving device variables between value memory and the
// device through the commands that carry them.
//
// A variable never travels alone. Reading finds a read command whose reply
// carries it and reads that whole reply; writing finds a write command whose
// request carries it and sends that whole request. The data on the bus is
// the data list's variables' bytes as value memory holds them (device byte
// order), each at exactly its size, and each constant item as one byte, in
// item order. Every variable of a reply that was read, or of a request that
// was sent, is then Loaded.
//
// The communication layer addresses Profibus PA by slot and index and Modbus
// by function code and register address; which one is used follows the
// session's communication type. Transfers run on the calling thread: the
// user-interface thread, or the worker of an upload or download while that
// thread waits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "lirrand.h"
#include "model/commands.h"
#include "model/communication.h"

namespace tavrin::model {

class Attributes;
class Menus;
class SymbolTable;
class Variables;

class Transfer {
 public:
  static constexpr size_t kBufferSize = 256;
  // The data length travels in one byte.
  static constexpr size_t kMaxDataLength = 255;
  using Buffer = std::array<uint8_t, kBufferSize>;
  enum class Mode : int32_t { Pack = 1, Unpack = 2 };

  Transfer(Attributes& attributes, SymbolTable& symbols, Variables& variables, Commands& commands, Menus& menus);

  // The link every transfer goes through, and the bus it speaks. Without a
  // link, or with a type other than Profibus or Modbus, transfers are
  // refused ("Error: Communication type error!").
  void setCommunication(Communication* link, CommunicationType type);
  void setCommunicationType(CommunicationType type) { type_ = type; }
  CommunicationType communicationType() const { return type_; }

  // Packs the data list of a transaction part (110 reply, 111 request) from
  // value memory into buffer, or unpacks it from buffer into value memory,
  // marking its variables Loaded. The data length, or nothing (said) when
  // the list cannot be transferred as a whole: an unknown part, mode or
  // transaction, an item that did not compile, a qualified or masked item,
  // a variable outside the symbol table, or more than 255 bytes. Nothing is
  // changed then.
  std::optional<size_t> dataList(const EddNode& command, uint16_t part, Mode mode, int32_t transaction,
                                 std::span<uint8_t, kBufferSize> buffer);

  // 1 on success; 0 when the variable or its command is missing or the
  // transfer failed (said). Local variables succeed without bus traffic.
  // The variable's pre-actions run before, its post-actions after success.
  int readVariable(int32_t variableId);
  int writeVariable(int32_t variableId);

  // Reads the reply of a transaction and stores all of its variables; a
  // reply shorter than the list is a failed read. 1 on success.
  int readCommand(const EddNode& command, int32_t transaction);
  // Sends the request of a transaction; its variables are Loaded after.
  int writeCommand(const EddNode& command, int32_t transaction);

  // Transaction 0 of the COMMAND with this id.
  int readCommandByName(int32_t commandId);
  int writeCommandByName(int32_t commandId);

 private:
  struct Prepared;
  std::optional<Prepared> prepare(const EddNode& command, uint16_t part, Mode mode, int32_t transaction);
  void pack(const Prepared& p, std::span<uint8_t> buffer);
  void unpack(const Prepared& p, std::span<const uint8_t> data);
  int moveVariable(int32_t variableId, bool reading);
  bool busReady();
  std::string commandName(const EddNode& command) const;

  Attributes& attributes_;
  SymbolTable& symbols_;
  Variables& variables_;
  Commands& commands_;
  Menus& menus_;
  Communication* link_ = nullptr;
  CommunicationType type_ = CommunicationType::None;
};

}  // namespace tavrin::model
