#include "app/menu_view.h"

#include "app/edit_commit.h"
#include "edd/tags.h"
#include "model/session.h"
#include "ui/user_interface.h"

namespace tavrin::app {

using edd::Tag;

int32_t objectIdOf(const EddNode* root) {
  const EddNode* identifier = model::attribute(root, +Tag::Identifier);
  return identifier ? static_cast<int32_t>(identifier->value) : -1;
}

MenuView::MenuView(model::Session& model, MenuAccess& menus) : model_(model), menus_(menus) {}

void MenuView::clear() {
  tree_.clear();
  rows_.clear();
  table_.rows.clear();
  notices_.tableChanged();
  notices_.treeChanged();
}

void MenuView::selectTreeItem(int item) {
  if (item < -1 || item >= static_cast<int>(tree_.items().size())) return;
  tree_.select(item);
  notices_.treeChanged();
}

void MenuView::setTreeItemExpanded(int item, bool expanded) {
  if (item < 0 || item >= static_cast<int>(tree_.items().size())) return;
  tree_.item(item).expanded = expanded;
}

void MenuView::walk(const EddNode* menu, uint32_t flags) {
  if (flags & walk::SaveTree) saved_ = tree_.save();
  int root = -1;
  if (flags & walk::Tree) {
    tree_.clear();
    if (menu) root = tree_.add(model_.variables().label(menu), menu, -1);
  }
  if (flags & (walk::Menus | walk::Variables | walk::Methods)) rows_.clear();
  if (menu) {
    walking_.clear();
    walkMenu(*menu, flags, 0, 0, root);
  }
  if ((flags & walk::Tree) && root >= 0) tree_.item(root).expanded = true;
  if (flags & (walk::Tree | walk::RestoreTree)) notices_.treeChanged();
  if (flags & walk::RestoreTree) {
    const int selected = tree_.restore(saved_);
    if (selected >= 0 && onRestored_) onRestored_(selected);
  }
}

void MenuView::walkMenu(const EddNode& menu, uint32_t flags, int32_t depth, uint32_t qualifiers, int treeParent) {
  // A menu that (through others) contains itself would never end.
  if (!walking_.insert(&menu).second) {
    model_.ui().errorBox("Error: The menu \"" + model_.variables().label(&menu) + "\" contains itself!");
    return;
  }
  if (flags & walk::Menus) rows_.push_back({RowKind::Item, depth + 1, qualifiers, &menu});
  for (const MenuEntry& entry : menus_.entries(menu)) {
    switch (entry.kind) {
      case MenuEntry::Kind::Text:
        rows_.push_back({RowKind::Text, kTextRowDepth, static_cast<uint32_t>(entry.textId), nullptr});
        continue;
      case MenuEntry::Kind::Layout:
        continue;
      case MenuEntry::Kind::Other:
        model_.ui().errorBox("Error: The Menu tag is error!");
        continue;
      case MenuEntry::Kind::Item:
        break;
    }
    for (int32_t id : entry.objects) {
      const EddNode* object = model_.description().findObject(id);
      if (!object) continue;
      const uint16_t tag = object->tag;
      if (tag != +Tag::Menu && tag != +Tag::Method && tag != +Tag::Variable) continue;
      if (!(flags & walk::Invalid) && !model_.variables().valid(object)) continue;
      if (tag == +Tag::Menu) {
        int item = treeParent;
        if ((flags & walk::Tree) && !(entry.qualifiers & kQualifierNotInTree))
          item = tree_.add(model_.variables().label(object), object, treeParent);
        if (flags & walk::Menus)
          walkMenu(*object, flags, depth + 1, entry.qualifiers, item);
        else if (flags & (walk::Variables | walk::Methods))
          rows_.push_back({RowKind::Item, depth, entry.qualifiers, object});
      } else if ((tag == +Tag::Variable && (flags & walk::Variables)) ||
                 (tag == +Tag::Method && (flags & walk::Methods))) {
        rows_.push_back({RowKind::Item, depth, entry.qualifiers, object});
      }
    }
  }
  walking_.erase(&menu);
}

void MenuView::band(TableRow& out, std::string text) {
  out.merged = true;
  for (Cell& c : out.cells) {
    c.background = kBandBackground;
    c.foreground = kBlack;
  }
  out.cells[0].text = std::move(text);
}

void MenuView::fillVariable(const Row& row, uint32_t flags, TableRow& out) {
  model::Variables& vars = model_.variables();
  const int32_t id = objectIdOf(row.node);
  out.cells[0].text = vars.label(row.node);
  const uint32_t handling = vars.handling(row.node);
  const bool readOnlyRow = (row.qualifiers & kQualifierReadOnly) != 0;
  if (flags & fill::VariableImages)
    out.cells[0].image = ((handling & 2) != 0 && !readOnlyRow) ? kImageWritable : kImageReadOnly;
  const auto text = vars.format(id, true);
  if (!text) return;
  Cell& value = out.cells[1];
  value.text = text->value;
  out.cells[2].text = text->unit;
  out.cells[3].text = text->status;
  if (text->status == model::Variables::stateText(model::ValueState::Changed))
    out.cells[3].foreground = kChangedForeground;
  if (const model::SymbolEntry* e = model_.symbols().find(id)) {
    if (e->typeTag == +Tag::Enumerated) {
      value.kind = CellKind::Combo;
      value.items = vars.enumDescriptions(id);
    } else if (e->typeTag == +Tag::BitEnumerated) {
      value.kind = CellKind::CheckCombo;
      for (const auto& bit : vars.bitEnumerators(id)) {
        value.items.push_back(bit.description);
        value.itemBits.push_back(bit.value);
      }
      if (const auto v = vars.value(id)) value.bitValue = static_cast<uint32_t>(v->bits);
    }
  }
  if (valueCellWritable(handling, row.qualifiers)) {
    value.readOnly = false;
    value.background = kWritableBackground;
    value.foreground = kBlack;
  }
}

void MenuView::setValueText(int row, std::string text) {
  if (row < 1 || static_cast<size_t>(row) > table_.rows.size()) return;
  table_.rows[static_cast<size_t>(row - 1)].cells[1].text = std::move(text);
  notices_.rowsChanged(row, row);
}

void MenuView::setCellTexts(int row, std::string value, std::string unit) {
  if (row < 1 || static_cast<size_t>(row) > table_.rows.size()) return;
  TableRow& r = table_.rows[static_cast<size_t>(row - 1)];
  r.cells[1].text = std::move(value);
  r.cells[2].text = std::move(unit);
  notices_.rowsChanged(row, row);
}

void MenuView::fill(uint32_t flags) {
  if (flags & fill::Keep) return;
  table_.rows.assign(rows_.size(), TableRow{});
  ui::WaitCursor busy(model_.ui());
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    TableRow& out = table_.rows[i];
    out.height = (row.kind != RowKind::Text && (row.qualifiers & kQualifierHidden)) ? 0 : Table::kRowHeight;
    if (row.kind == RowKind::Text) {
      band(out, std::string(model_.description().text(static_cast<int32_t>(row.qualifiers))));
      continue;
    }
    const uint16_t tag = row.node ? row.node->tag : 0;
    if (tag == +Tag::Variable) {
      fillVariable(row, flags, out);
    } else if (tag == +Tag::Menu) {
      const std::string label = model_.variables().label(row.node);
      if (flags & fill::MenuImages) {
        out.cells[0].text = label;
        out.cells[0].image = kImageMenu;
      } else {
        std::string text;
        for (int32_t d = 1; d < row.depth; ++d) text += ">>  ";
        band(out, text + label);
      }
    } else if (tag == +Tag::Method) {
      out.cells[0].text = model_.variables().label(row.node);
      if (flags & fill::MethodImages) out.cells[0].image = kImageMethod;
    } else {
      model_.ui().errorBox("Error: The subitem tag of menu is error! ");
    }
  }
  notices_.tableChanged();
}

}  // namespace tavrin::app
