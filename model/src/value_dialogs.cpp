#include "model/value_dialogs.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "edd/tags.h"
#include "messages.h"
#include "model/variables.h"
#include "platform/text.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;

namespace {

bool fitsType(double x, int32_t typeTag, uint32_t size) {
  if (!std::isfinite(x)) return false;
  switch (typeTag) {
    case +Tag::Integer:
    case +Tag::UnsignedInteger: {
      if (size < 1 || size > 4) return false;
      const double span = std::ldexp(1.0, static_cast<int>(8 * size));
      // Integers are stored by truncation, so the limits apply to the whole part.
      const double whole = std::trunc(x);
      if (typeTag == +Tag::UnsignedInteger) return whole >= 0 && whole < span;
      return whole >= -span / 2 && whole < span / 2;
    }
    case +Tag::Float:
      return std::fabs(x) <= std::numeric_limits<float>::max();
    default:
      return true;
  }
}

}  // namespace

ValueDialogs::ValueDialogs(ui::UserInterface& ui, Variables& variables) : ui_(ui), variables_(variables) {}

bool ValueDialogs::edit(int32_t variableId, std::string_view prompt) {
  const SymbolEntry* e = variables_.entry(variableId);
  if (!e) return false;
  switch (e->typeTag) {
    case +Tag::Integer:
    case +Tag::UnsignedInteger:
    case +Tag::Float:
    case +Tag::Double:
      return numericInput(variableId, prompt);
    case +Tag::Enumerated:
      return enumerationInput(variableId, prompt);
    case +Tag::TextString:
    case +Tag::String52:
      return textInput(variableId, prompt);
    case +Tag::PackedString:
      return packedStringInput(variableId, prompt);
    case +Tag::BitEnumerated:
      ui_.errorBox(msg::BitEnumeratedEdit);
      return false;
    default:
      ui_.errorBox(msg::UnchangeableType);
      return false;
  }
}

bool ValueDialogs::numericInput(int32_t variableId, std::string_view prompt) {
  const SymbolEntry* e = variables_.entry(variableId);
  if (!e) return false;
  const ui::Prompt dialog{ui::PromptKind::Number, variables_.label(e->root), std::string(prompt),
                          variables_.valueText(variableId), variables_.unitText(variableId), ""};
  for (;;) {
    const auto entered = ui_.prompt(dialog);
    if (!entered) return false;
    const std::string text(platform::trim(*entered));
    if (text.empty()) {
      ui_.errorBox(msg::InputEmpty);
    } else if (rangeCheck(text, variableId)) {
      return variables_.assignText(variableId, text);
    }
  }
}

bool ValueDialogs::textInput(int32_t variableId, std::string_view prompt) {
  return textEntry(variableId, prompt, ui::PromptKind::Text, msg::InputEmpty);
}

bool ValueDialogs::packedStringInput(int32_t variableId, std::string_view prompt) {
  return textEntry(variableId, prompt, ui::PromptKind::PackedString, msg::PackedInputEmpty);
}

// The entry field starts with the current value; what is entered is set
// without a range check.
bool ValueDialogs::textEntry(int32_t variableId, std::string_view prompt, ui::PromptKind kind,
                             const char* emptyMessage) {
  const SymbolEntry* e = variables_.entry(variableId);
  if (!e) return false;
  const std::string current = variables_.valueText(variableId);
  const ui::Prompt dialog{kind, variables_.label(e->root), std::string(prompt), current, "", current};
  for (;;) {
    const auto entered = ui_.prompt(dialog);
    if (!entered) return false;
    const std::string text(platform::trim(*entered));
    if (!text.empty()) return variables_.assignText(variableId, text);
    ui_.errorBox(emptyMessage);
  }
}

bool ValueDialogs::enumerationInput(int32_t variableId, std::string_view prompt) {
  const SymbolEntry* e = variables_.entry(variableId);
  if (!e) return false;
  ui::Choice dialog{variables_.label(e->root), std::string(prompt), variables_.valueText(variableId),
                    variables_.enumDescriptions(variableId), -1, true};
  for (size_t i = 0; i < dialog.items.size(); ++i) {
    if (dialog.items[i] == dialog.current) {
      dialog.preselected = static_cast<int>(i);
      break;
    }
  }
  for (;;) {
    const auto chosen = ui_.choose(dialog);
    if (!chosen) return false;
    if (*chosen >= 0 && static_cast<size_t>(*chosen) < dialog.items.size()) {
      return variables_.assignText(variableId, dialog.items[static_cast<size_t>(*chosen)]);
    }
    ui_.errorBox(msg::SelectItem);
    // Nothing can ever be selected from an empty list: it can only be
    // cancelled, and asking again would never end.
    if (dialog.items.empty()) return false;
  }
}

std::optional<int> ValueDialogs::selectFromList(std::string_view prompt, std::string_view options) {
  ui::Choice dialog{"", std::string(prompt), "", {}, 0};
  size_t from = 0;
  while (from <= options.size()) {
    const size_t end = std::min(options.find(';', from), options.size());
    if (end == options.size() && end == from) break;  // the empty last entry
    dialog.items.emplace_back(options.substr(from, end - from));
    from = end + 1;
  }
  for (;;) {
    const auto chosen = ui_.choose(dialog);
    if (!chosen) return std::nullopt;
    if (*chosen >= 0 && static_cast<size_t>(*chosen) < dialog.items.size()) return *chosen;
    ui_.errorBox(msg::SelectCurrentItem);
    if (dialog.items.empty()) return std::nullopt;
  }
}

bool ValueDialogs::rangeCheck(std::string_view text, int32_t variableId) {
  const SymbolEntry* e = variables_.entry(variableId);
  if (!e) return false;
  bool pass = false;
  switch (e->typeTag) {
    case +Tag::Enumerated:
    case +Tag::BitEnumerated:
      return true;
    case +Tag::TextString:
    case +Tag::PackedString:
      pass = text.size() <= e->size;
      break;
    case +Tag::Integer:
    case +Tag::UnsignedInteger:
    case +Tag::Float:
    case +Tag::Double: {
      const double x = std::strtod(std::string(text).c_str(), nullptr);
      // What the variable cannot hold would be cut or wrapped when stored
      // (300 into one byte becomes 44): refused like a value out of range.
      if (!fitsType(x, e->typeTag, e->size)) break;
      // A range list that could not be compiled accepts nothing: its
      // message has been shown, and an unchecked value is worse.
      const auto ranges = variables_.ranges(variableId);
      if (ranges && ranges->empty()) return true;
      for (size_t i = 0; ranges && i < RangeList::kSlots && !pass; ++i) {
        const auto& low = ranges->minimum[i];
        const auto& high = ranges->maximum[i];
        if (high) {
          pass = x <= *high && (!low || x >= *low);
        } else if (low) {
          pass = x >= *low;
        }
      }
      break;
    }
    default:
      ui_.errorBox(msg::IllegalType);
      return true;
  }
  if (!pass) ui_.errorBox(msg::withText(msg::OutOfRange, variables_.label(e->root)));
  return pass;
}

}  // namespace tavrin::model
