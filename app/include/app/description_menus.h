// The views' access to the description's own menus: item lists compiled
// from the menu trees, and a menu's variables read through the bulk
// processing of the model. This is what real programs hand the session:
//
//   DeviceSession session(files, ui, descriptionMenus());
#pragma once

#include <memory>

#include "app/menu_view.h"
#include "app/session.h"

namespace tavrin::app {

class DescriptionMenus : public MenuAccess {
 public:
  explicit DescriptionMenus(model::Session& model) : model_(model) {}
  std::vector<MenuEntry> entries(const EddNode& menu) override;
  int readMenu(const EddNode& menu, uint32_t flags) override;

 private:
  model::Session& model_;
};

// The factory for DeviceSession.
MenuAccessFactory descriptionMenus();

}  // namespace tavrin::app
