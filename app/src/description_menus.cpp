#include "app/description_menus.h"

#include "model/session.h"

namespace tavrin::app {

std::vector<MenuEntry> DescriptionMenus::entries(const EddNode& menu) {
  std::vector<MenuEntry> out;
  for (const model::MenuItem& item : model_.menus().items(menu)) {
    MenuEntry entry;
    if (item.isReference()) {
      entry.kind = MenuEntry::Kind::Item;
      entry.qualifiers = item.qualifiers;
      entry.objects = model_.menus().entryObjects(item);
    } else if (item.isLayout()) {
      entry.kind = MenuEntry::Kind::Layout;
    } else if (item.isTitle() && item.text) {
      // A text row carries a text-table index. A title naming a variable
      // has none of its own; the variable's id is the index of its name.
      entry.kind = MenuEntry::Kind::Text;
      entry.textId = static_cast<int32_t>(item.text->bits);
    } else {
      entry.kind = MenuEntry::Kind::Other;
    }
    out.push_back(std::move(entry));
  }
  return out;
}

int DescriptionMenus::readMenu(const EddNode& menu, uint32_t flags) {
  return model_.menuTransfer().processMenu(model::process::Read, &menu, flags);
}

MenuAccessFactory descriptionMenus() {
  return [](model::Session& model) -> std::unique_ptr<MenuAccess> { return std::make_unique<DescriptionMenus>(model); };
}

}  // namespace tavrin::app
