#include "model/transfer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "edd/tags.h"
#include "messages.h"
#include "methods/engine.h"
#include "model/attributes.h"
#include "model/description.h"
#include "model/menus.h"
#include "model/symbol_table.h"
#include "model/variables.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;

// A data list checked for transfer: each piece a constant byte or a
// variable's entry, and the total length.
struct Transfer::Prepared {
  struct Piece {
    SymbolEntry* entry = nullptr;  // nullptr: the constant
    uint8_t constant = 0;
  };
  std::vector<Piece> pieces;
  size_t length = 0;
};

Transfer::Transfer(Attributes& attributes, SymbolTable& symbols, Variables& variables, Commands& commands, Menus& menus)
    : attributes_(attributes), symbols_(symbols), variables_(variables), commands_(commands), menus_(menus) {}

void Transfer::setCommunication(Communication* link, CommunicationType type) {
  link_ = link;
  type_ = type;
}

std::string Transfer::commandName(const EddNode& command) const {
  const EddNode* identifier = attribute(&command, +Tag::Identifier);
  return identifier ? std::string(attributes_.description().text(identifier->value)) : std::string();
}

std::optional<Transfer::Prepared> Transfer::prepare(const EddNode& command, uint16_t wantedPart, Mode mode,
                                                    int32_t transaction) {
  ui::UserInterface& ui = attributes_.ui();
  if (wantedPart != part::Reply && wantedPart != part::Request) {
    ui.errorBox(msg::RequestPart);
    return std::nullopt;
  }
  if (mode != Mode::Pack && mode != Mode::Unpack) {
    ui.errorBox(msg::TransactionMode);
    return std::nullopt;
  }
  const auto list = commands_.dataList(command, wantedPart, transaction);
  if (!list) {
    ui.errorBox(msg::SearchingCommand);
    return std::nullopt;
  }
  // Whatever was left out would shift every later byte.
  if (!list->complete) return std::nullopt;
  Prepared p;
  for (const DataItem& item : list->items) {
    if (item.tag == +Tag::DataConstant) {
      p.pieces.push_back({nullptr, item.constant});
      p.length += 1;
    } else if (item.tag == +Tag::DataReference) {
      for (const int32_t id : item.variables) {
        SymbolEntry* e = variables_.entry(id);
        if (!e) return std::nullopt;
        p.pieces.push_back({e, 0});
        p.length += e->size;
      }
    } else {
      // Qualified and masked items have no defined place in the data.
      ui.errorBox(msg::CommandElement);
      return std::nullopt;
    }
  }
  if (p.length > kMaxDataLength) {
    ui.errorBox(msg::withText(msg::DataTooLong, commandName(command)));
    return std::nullopt;
  }
  return p;
}

void Transfer::pack(const Prepared& p, std::span<uint8_t> buffer) {
  size_t at = 0;
  for (const Prepared::Piece& piece : p.pieces) {
    if (!piece.entry) {
      buffer[at++] = piece.constant;
      continue;
    }
    for (const std::byte b : symbols_.bytes(*piece.entry)) buffer[at++] = static_cast<uint8_t>(b);
  }
}

void Transfer::unpack(const Prepared& p, std::span<const uint8_t> data) {
  size_t at = 0;
  for (const Prepared::Piece& piece : p.pieces) {
    if (!piece.entry) {
      ++at;
      continue;
    }
    for (std::byte& b : symbols_.bytes(*piece.entry)) b = static_cast<std::byte>(data[at++]);
    piece.entry->state = ValueState::Loaded;
  }
}

std::optional<size_t> Transfer::dataList(const EddNode& command, uint16_t wantedPart, Mode mode, int32_t transaction,
                                         std::span<uint8_t, kBufferSize> buffer) {
  const auto p = prepare(command, wantedPart, mode, transaction);
  if (!p) return std::nullopt;
  if (mode == Mode::Pack) {
    pack(*p, buffer);
  } else {
    unpack(*p, buffer);
  }
  return p->length;
}

bool Transfer::busReady() {
  if (link_ && (type_ == CommunicationType::Profibus || type_ == CommunicationType::Modbus)) return true;
  attributes_.ui().errorBox(msg::CommunicationType);
  return false;
}

int Transfer::readCommand(const EddNode& command, int32_t transaction) {
  const auto p = prepare(command, part::Reply, Mode::Pack, transaction);
  if (!p) return 0;
  Buffer buffer{};
  pack(*p, buffer);
  if (!busReady()) return 0;
  const auto length = static_cast<uint8_t>(p->length);
  size_t received = 0;
  bool ok = false;
  if (type_ == CommunicationType::Profibus) {
    // An address that could not be worked out is never guessed at.
    const auto address = commands_.profibusAddress(command);
    if (!address) return 0;
    ok = link_->profibusRead(address->slot, address->index, length, buffer, received);
  } else {
    const auto address = commands_.modbusAddress(command);
    if (!address) return 0;
    ok = link_->modbusRead(address->functionCode, address->registerAddress, length, buffer, received);
  }
  if (!ok) return 0;
  if (received < p->length) {
    attributes_.ui().errorBox(
        msg::withTexts(msg::ShortReply, {commandName(command), std::to_string(received), std::to_string(p->length)}));
    return 0;
  }
  unpack(*p, buffer);
  return 1;
}

int Transfer::writeCommand(const EddNode& command, int32_t transaction) {
  const auto p = prepare(command, part::Request, Mode::Pack, transaction);
  if (!p) return 0;
  Buffer buffer{};
  pack(*p, buffer);
  if (!busReady()) return 0;
  const std::span<const uint8_t> data(buffer.data(), p->length);
  bool ok = false;
  if (type_ == CommunicationType::Profibus) {
    const auto address = commands_.profibusAddress(command);
    if (!address) return 0;
    ok = link_->profibusWrite(address->slot, address->index, data);
  } else {
    const auto address = commands_.modbusAddress(command);
    if (!address) return 0;
    ok = link_->modbusWrite(address->functionCode, address->registerAddress, data);
  }
  if (!ok) return 0;
  unpack(*p, data);
  return 1;
}

int Transfer::readVariable(int32_t variableId) { return moveVariable(variableId, true); }

int Transfer::writeVariable(int32_t variableId) { return moveVariable(variableId, false); }

int Transfer::moveVariable(int32_t variableId, bool reading) {
  const SymbolEntry* e = variables_.entry(variableId);
  if (!e) return 0;
  const EddNode& root = *e->root;
  if (variables_.classFlags(&root) & kClassLocal) return 1;
  const auto found = reading ? commands_.findReadCommand(variableId) : commands_.findWriteCommand(variableId);
  if (!found) {
    attributes_.ui().errorBox(
        msg::withText(reading ? msg::NoReadCommand : msg::NoWriteCommand, variables_.label(&root)));
    return 0;
  }
  menus_.runActions(root, reading ? +Tag::PreReadActions : +Tag::PreWriteActions);
  const int result =
      reading ? readCommand(*found->command, found->transaction) : writeCommand(*found->command, found->transaction);
  if (result == 1) {
    menus_.runActions(root, reading ? +Tag::PostReadActions : +Tag::PostWriteActions);
  } else if (reading) {
    // A failed write has been said by the link.
    attributes_.ui().errorBox(msg::withText(msg::ReadFailed, variables_.label(&root)));
  }
  return result;
}

int Transfer::readCommandByName(int32_t commandId) {
  const EddNode* root = attributes_.description().objectById(commandId);
  if (!root) return 0;
  if (root->tag != +Tag::Command) {
    attributes_.engine().reportTagMismatch(root->tag, +Tag::Command);
    return 0;
  }
  return readCommand(*root, 0);
}

int Transfer::writeCommandByName(int32_t commandId) {
  const EddNode* root = attributes_.description().findObject(commandId);
  if (!root) {
    attributes_.ui().errorBox(msg::withText(msg::CommandNotFound, attributes_.description().nameById(commandId)));
    return 0;
  }
  if (root->tag != +Tag::Command) {
    attributes_.engine().reportTagMismatch(root->tag, +Tag::Command);
    return 0;
  }
  return writeCommand(*root, 0);
}

}  // namespace tavrin::model
