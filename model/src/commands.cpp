#include "model/commands.h"

#include <algorithm>
#include <bit>

#include "edd/tags.h"
#include "messages.h"
#include "methods/engine.h"
#include "model/attributes.h"
#include "model/description.h"
#include "model/menus.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;
using methods::Entry;
using methods::TypeCode;

namespace {

// Block, slot, index and operation share their missing and wrong-node texts.
constexpr SpecifierTexts kBlockTexts{msg::OperationNull, msg::OperationTag, msg::BlockSelection};
constexpr SpecifierTexts kSlotTexts{msg::OperationNull, msg::OperationTag, msg::SlotSelection};
constexpr SpecifierTexts kIndexTexts{msg::OperationNull, msg::OperationTag, msg::IndexSelection};
constexpr SpecifierTexts kOperationTexts{msg::OperationNull, msg::OperationTag, msg::OperationSelection};

// An integer or float constant as an integer; nothing for anything else.
std::optional<int32_t> plainNumber(const EddNode* value) {
  if (!value) return std::nullopt;
  if (value->tag == +Tag::IntegerConstant) return static_cast<int32_t>(value->value);
  if (value->tag == +Tag::FloatConstant) {
    Entry e = Entry::ofFloat(std::bit_cast<float>(value->value));
    methods::convert(e, +TypeCode::Int);
    return static_cast<int32_t>(e.asInt64());
  }
  return std::nullopt;
}

}  // namespace

Commands::Commands(Attributes& attributes, Menus& menus, BlockDirectory& directory)
    : attributes_(attributes), menus_(menus), directory_(directory) {}

std::optional<int32_t> Commands::popInteger() {
  Entry v = attributes_.engine().stack().pop();
  if (v.kind != methods::kind::Value || !methods::convert(v, +TypeCode::Int)) return std::nullopt;
  return static_cast<int32_t>(v.asInt64());
}

int32_t Commands::operation(const EddNode& command) {
  ui::UserInterface& ui = attributes_.ui();
  int32_t result = 0;
  if (const EddNode* direct =
          attributes_.chooseDirect(content(attribute(&command, +Tag::Operation)), kOperationTexts)) {
    const uint16_t tag = direct->child ? direct->child->tag : 0;
    if (tag == operation::Read || tag == operation::Write || tag == operation::Command) {
      result = tag;
    } else {
      ui.errorBox(msg::UnknownOperation);
    }
  }
  if (result != operation::Read && result != operation::Write && result != operation::Command)
    ui.errorBox(msg::OperationResult);
  return result;
}

const EddNode* Commands::transaction(const EddNode& command, int32_t number) {
  if (number < 0) return nullptr;
  for (const EddNode* c = command.child; c; c = c->sibling) {
    if (c->tag == +Tag::Transaction && number-- == 0) return c;
  }
  return nullptr;
}

std::optional<DataList> Commands::dataList(const EddNode& command, uint16_t wantedPart, int32_t number) {
  ui::UserInterface& ui = attributes_.ui();
  const EddNode* t = transaction(command, number);
  if (!t) return std::nullopt;
  if (wantedPart == part::ResponseCodes) {
    ui.errorBox(msg::ResponseCodes);
    return std::nullopt;
  }
  if (wantedPart != part::Reply && wantedPart != part::Request) {
    ui.errorBox(msg::UndefinedField);
    return std::nullopt;
  }
  DataList list;
  // The transaction's first child is its number.
  const EddNode* items = t->child ? t->child->sibling : nullptr;
  while (items && items->tag != wantedPart) items = items->sibling;
  for (const EddNode* item = items ? items->child : nullptr; item; item = item->sibling) {
    DataItem d;
    d.tag = item->tag;
    switch (item->tag) {
      case +Tag::DataConstant:
        if (!item->child || item->child->tag != +Tag::IntegerConstant) {
          attributes_.engine().reportTagMismatch(item->child ? item->child->tag : 0, +Tag::IntegerConstant);
          list.complete = false;
          continue;
        }
        d.constant = static_cast<uint8_t>(item->child->value & 0xFF);
        break;
      case +Tag::DataReference:
      case +Tag::DataQualified:
      case +Tag::DataMasked:
      case +Tag::DataQualifiedMasked: {
        const auto object = attributes_.resolveObject(item->child);
        if (!object || !menus_.expand(*object, d.variables, ListKind::Fixed)) list.complete = false;
        break;
      }
      default:
        ui.errorBox(msg::DataItem);
        list.complete = false;
        continue;
    }
    list.items.push_back(std::move(d));
  }
  return list;
}

// --- Profibus addressing -------------------------------------------------------

std::optional<BlockPlace> Commands::slotAndOffset(const EddNode& command) {
  ui::UserInterface& ui = attributes_.ui();
  if (const EddNode* slot = attribute(&command, +Tag::Slot)) {
    const EddNode* direct = attributes_.chooseDirect(content(slot), kSlotTexts);
    if (!direct) return std::nullopt;
    const auto value = plainNumber(direct->child);
    if (!value) {
      ui.errorBox(msg::SlotTag);
      return std::nullopt;
    }
    return BlockPlace{static_cast<uint8_t>(*value & 0xFF), 0};
  }
  const EddNode* direct = attributes_.chooseDirect(content(attribute(&command, +Tag::Block)), kBlockTexts);
  if (!direct) return std::nullopt;
  const EddNode* name = direct->child;
  if (!name || name->tag != +Tag::Identifier) {
    attributes_.engine().reportTagMismatch(name ? name->tag : 0, +Tag::Identifier);
    return std::nullopt;
  }
  const EddNode* block = attributes_.description().objectById(static_cast<int32_t>(name->value));
  if (!block) return std::nullopt;
  if (block->tag != +Tag::Block) {
    attributes_.engine().reportTagMismatch(block->tag, +Tag::Block);
    return std::nullopt;
  }
  const EddNode* kind = content(attribute(block, +Tag::Type));
  const uint16_t kindTag = kind ? kind->tag : 0;
  if (kindTag != +Tag::PhysicalBlock && kindTag != +Tag::TransducerBlock && kindTag != +Tag::FunctionBlock) {
    ui.errorBox(msg::BlockKind);
    return std::nullopt;
  }
  const EddNode* numberValue = attributes_.chooseDirect(content(attribute(block, +Tag::BlockNumber)), kBlockTexts);
  if (!numberValue) return std::nullopt;
  std::optional<int32_t> number = plainNumber(numberValue->child);
  if (!number && numberValue->child && numberValue->child->tag == +Tag::Expression &&
      attributes_.engine().evaluateExpression(numberValue->child)) {
    number = popInteger();
  }
  if (!number) {
    ui.errorBox(msg::BlockKind);
    return std::nullopt;
  }
  // A zeroed or foreign directory may point anywhere: never outside it.
  const auto place = directory_.locate(static_cast<BlockKind>(kindTag), *number);
  if (!place) ui.errorBox(msg::BlockKind);
  return place;
}

std::optional<uint8_t> Commands::index(const EddNode& command) {
  const EddNode* direct = attributes_.chooseDirect(content(attribute(&command, +Tag::Index)), kIndexTexts);
  if (!direct) return std::nullopt;
  const auto value = plainNumber(direct->child);
  if (!value) {
    attributes_.ui().errorBox(msg::IndexTag);
    attributes_.ui().errorBox(msg::IndexValue);
    return std::nullopt;
  }
  return static_cast<uint8_t>(*value & 0xFF);
}

std::optional<ProfibusAddress> Commands::profibusAddress(const EddNode& command) {
  const auto place = slotAndOffset(command);
  if (!place) return std::nullopt;
  const auto i = index(command);
  if (!i) return std::nullopt;
  return ProfibusAddress{place->slot, static_cast<uint8_t>((*i + place->indexOffset) % 256)};
}

// --- Modbus addressing -----------------------------------------------------------

namespace {

struct ModbusTexts {
  const char* missing;
  const char* tag;
  const char* items;
  const char* value;
  int64_t maximum;  // a bigger value would be cut to another register or code
};

constexpr ModbusTexts kFunctionCodeTexts{msg::FunctionCodeNull, msg::FunctionCodeTag, msg::FunctionCodeItems,
                                         msg::FunctionCodeValue, 0xFF};
constexpr ModbusTexts kAddressTexts{msg::AddressNull, msg::AddressTag, msg::AddressItems, msg::AddressValue, 0xFFFF};

std::optional<int32_t> modbusValue(Attributes& attributes, const EddNode& command, uint16_t tag,
                                   const ModbusTexts& texts) {
  ui::UserInterface& ui = attributes.ui();
  const EddNode* node = content(attribute(&command, tag));
  if (!node) {
    ui.errorBox(texts.missing);
    return std::nullopt;
  }
  if (node->tag != +Tag::Direct) {
    ui.errorBox(texts.tag);
    return std::nullopt;
  }
  const EddNode* expression = node->child;
  if (!expression || expression->tag != +Tag::Expression) {
    ui.errorBox(texts.items);
    return std::nullopt;
  }
  methods::MethodEngine& engine = attributes.engine();
  if (engine.evaluateExpression(expression)) {
    Entry v = engine.stack().pop();
    if (v.kind == methods::kind::Value && methods::convert(v, +TypeCode::Int) && v.asInt64() >= 0 &&
        v.asInt64() <= texts.maximum) {
      return static_cast<int32_t>(v.asInt64());
    }
  }
  ui.errorBox(texts.value);
  return std::nullopt;
}

}  // namespace

std::optional<uint8_t> Commands::functionCode(const EddNode& command) {
  const auto v = modbusValue(attributes_, command, +Tag::FunctionCode, kFunctionCodeTexts);
  return v ? std::optional<uint8_t>(static_cast<uint8_t>(*v)) : std::nullopt;
}

std::optional<uint16_t> Commands::registerAddress(const EddNode& command) {
  const auto v = modbusValue(attributes_, command, +Tag::RegisterAddress, kAddressTexts);
  return v ? std::optional<uint16_t>(static_cast<uint16_t>(*v)) : std::nullopt;
}

std::optional<ModbusAddress> Commands::modbusAddress(const EddNode& command) {
  const auto code = functionCode(command);
  if (!code) return std::nullopt;
  const auto address = registerAddress(command);
  if (!address) return std::nullopt;
  return ModbusAddress{*code, *address};
}

// --- the search ----------------------------------------------------------------------

bool Commands::contains(const EddNode& command, uint16_t wantedPart, int32_t number, int32_t variableId) {
  const auto list = dataList(command, wantedPart, number);
  if (!list) return false;
  return std::any_of(list->items.begin(), list->items.end(), [&](const DataItem& item) {
    return item.tag != +Tag::DataConstant &&
           std::find(item.variables.begin(), item.variables.end(), variableId) != item.variables.end();
  });
}

std::optional<CommandRef> Commands::find(int32_t variableId, int32_t wantedOperation, uint16_t wantedPart) {
  for (const EddElement& element : elements(attributes_.description(), 2)) {
    if (!element.root || element.root->tag != +Tag::Command) continue;
    if (operation(*element.root) != wantedOperation) continue;
    for (int32_t t = 0; transaction(*element.root, t); ++t) {
      if (contains(*element.root, wantedPart, t, variableId)) return CommandRef{element.root, t};
    }
  }
  return std::nullopt;
}

std::optional<CommandRef> Commands::findReadCommand(int32_t variableId) {
  return find(variableId, operation::Read, part::Reply);
}

std::optional<CommandRef> Commands::findWriteCommand(int32_t variableId) {
  return find(variableId, operation::Write, part::Request);
}

}  // namespace tavrin::model
