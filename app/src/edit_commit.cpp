#include "app/edit_commit.h"

#include <cctype>
#include <cstdio>

#include "app/session.h"
#include "edd/tags.h"
#include "model/session.h"
#include "platform/text.h"
#include "ui/user_interface.h"

namespace tavrin::app {

using edd::Tag;

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

using platform::trim;

}  // namespace

std::string hexEntryToDecimal(std::string_view text, bool isSigned) {
  if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return "0";
  uint64_t value = 0;
  bool tooLong = false;
  for (size_t i = 2; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
    value = (value << 4) | static_cast<uint64_t>(hexDigit(text[i]));
    // Beyond 32 bits every further digit only has to keep it out of range.
    if (value > 0xFFFFFFFFu) {
      tooLong = true;
      value = 0x100000000u;
    }
  }
  char out[32];
  if (isSigned && !tooLong) {
    std::snprintf(out, sizeof out, "%d", static_cast<int32_t>(static_cast<uint32_t>(value)));
  } else {
    std::snprintf(out, sizeof out, "%llu", static_cast<unsigned long long>(value));
  }
  return out;
}

bool valueCellWritable(uint32_t handling, uint32_t qualifiers) {
  return handling != 1 && (qualifiers & kQualifierReadOnly) == 0;
}

bool commitValue(model::Session& model, int32_t variableId, std::string_view text) {
  model::Variables& vars = model.variables();
  const model::SymbolEntry* e = vars.entry(variableId);
  if (!e) return false;
  const EddNode* root = e->root;
  std::string entered(text);
  if (vars.hexFormat(variableId)) entered = hexEntryToDecimal(trim(text), e->typeTag == +Tag::Integer);
  if (!model.dialogs().rangeCheck(entered, variableId)) return false;

  const auto codeOf = [](const std::optional<methods::Entry>& v) -> std::optional<int32_t> {
    if (!v || v->kind != methods::kind::Value) return std::nullopt;
    return static_cast<int32_t>(v->asInt64());
  };
  const auto oldCode = codeOf(vars.value(variableId));
  model.menus().runActions(*root, +Tag::EditActions294);
  if (!vars.assignText(variableId, entered)) return false;
  model.menus().runActions(*root, +Tag::EditActions291);
  const auto newCode = codeOf(vars.value(variableId));
  if (oldCode && newCode) vars.applyUnitRelations(variableId, *oldCode, *newCode);
  return true;
}

bool EditCommit::commitRow(int row, std::string_view text) {
  const auto& rows = session_.view().rows();
  if (row < 1 || static_cast<size_t>(row) > rows.size()) return false;
  const Row& r = rows[static_cast<size_t>(row - 1)];
  if (r.kind != RowKind::Item || !r.node || r.node->tag != +Tag::Variable) return false;
  return commit(r.node, r.qualifiers, text, row);
}

bool EditCommit::commitVariable(std::string_view name, std::string_view text) {
  model::Session& model = session_.model();
  const int32_t id = model.description().findId(name);
  const EddNode* root = id < 0 ? nullptr : model.description().findObject(id);
  if (!root || root->tag != +Tag::Variable) {
    model.ui().errorBox("Error: The variable \"" + std::string(name) + "\" couldn't be found.");
    return false;
  }
  const auto& rows = session_.view().rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].kind == RowKind::Item && rows[i].node == root)
      return commit(root, rows[i].qualifiers, text, static_cast<int>(i) + 1);
  }
  return commit(root, 0, text, 0);
}

bool EditCommit::commit(const EddNode* variable, uint32_t qualifiers, std::string_view text, int row) {
  if (busy_) return false;
  busy_ = true;
  session_.stopRefresh();
  model::Session& model = session_.model();
  const int32_t id = objectIdOf(variable);
  bool set = false;
  if (!valueCellWritable(model.variables().handling(variable), qualifiers)) {
    model.ui().errorBox("Error: The variable \"" + std::string(model.description().nameById(id)) +
                        "\" is read-only!");
  } else {
    set = commitValue(model, id, text);
  }
  if (set) {
    session_.refreshView();
  } else if (row > 0) {
    session_.view().setValueText(row, model.variables().valueText(id));
  }
  busy_ = false;
  return set;
}

}  // namespace tavrin::app
