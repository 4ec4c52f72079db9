// A stand-in for the description's menu item lists: each menu's entries
// are written by name in the test, and every menu read is logged.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/menu_view.h"
#include "model/session.h"

namespace tavrin::app::testing {

struct MenuScript {
  struct Item {
    MenuEntry::Kind kind = MenuEntry::Kind::Item;
    std::vector<std::string> names;  // Item: the objects; Text: one text
    uint32_t qualifiers = 0;
  };
  static Item item(std::string name, uint32_t qualifiers = 0) { return {MenuEntry::Kind::Item, {name}, qualifiers}; }
  static Item text(std::string text) { return {MenuEntry::Kind::Text, {text}, 0}; }

  std::map<std::string, std::vector<Item>> menus;  // by menu name
  std::vector<std::string> reads;                  // "<menu> <flags>"
};

class ScriptedMenus : public MenuAccess {
 public:
  ScriptedMenus(model::Session& model, MenuScript& script) : model_(model), script_(script) {}

  std::vector<MenuEntry> entries(const EddNode& menu) override {
    std::vector<MenuEntry> out;
    auto it = script_.menus.find(name(menu));
    if (it == script_.menus.end()) return out;
    for (const auto& item : it->second) {
      MenuEntry e{item.kind, {}, item.qualifiers, -1};
      if (item.kind == MenuEntry::Kind::Text) {
        e.textId = model_.description().findId(item.names.at(0));
      } else {
        for (const auto& n : item.names) e.objects.push_back(model_.description().findId(n));
      }
      out.push_back(e);
    }
    return out;
  }

  int readMenu(const EddNode& menu, uint32_t flags) override {
    script_.reads.push_back(name(menu) + " " + std::to_string(flags));
    return 1;
  }

 private:
  std::string name(const EddNode& menu) const {
    return std::string(model_.description().nameById(objectIdOf(&menu)));
  }

  model::Session& model_;
  MenuScript& script_;
};

// A description with one of each kind of row: read-only, writable,
// enumerated, bit-enumerated and invalid variables, nested menus and a
// method that changes a variable.
inline constexpr const char* kSampleDescription = R"(
  list 0
    variable
      identifier "pressure"
      label
        direct
          string
            string-literal "Pressure"
      handling
        direct
          handling-value 0x1
      type
        float
          integer-constant 4
    variable
      identifier "damping"
      label
        direct
          string
            string-literal "Damping"
      handling
        direct
          handling-value 0x3
      type
        float
          integer-constant 4
    variable
      identifier "mode"
      label
        direct
          string
            string-literal "Mode"
      handling
        direct
          handling-value 0x2
      type
        enumerated
          integer-constant 1
          enumerators
            direct
              enumerator
                integer-constant 0
                direct
                  string
                    string-literal "Linear"
              enumerator
                integer-constant 1
                direct
                  string
                    string-literal "Square root"
    variable
      identifier "alarms"
      label
        direct
          string
            string-literal "Alarms"
      type
        bit-enumerated
          integer-constant 1
          enumerators
            direct
              bit-enumerator-74
                integer-constant 1
                direct
                  string
                    string-literal "Low"
              bit-enumerator-74
                integer-constant 2
                direct
                  string
                    string-literal "High"
    variable
      identifier "spare"
      label
        direct
          string
            string-literal "Spare"
      validity
        direct
          invalid
      type
        integer
          integer-constant 1
  list 13
    menu
      identifier "Table_Main_Specialist"
      label
        direct
          string
            string-literal "Parameters"
    menu
      identifier "Table_Main_Maintenance"
      label
        direct
          string
            string-literal "Maintenance"
    menu
      identifier "Menu_Main_Specialist"
      label
        direct
          string
            string-literal "Functions"
    menu
      identifier "setup"
      label
        direct
          string
            string-literal "Setup"
    menu
      identifier "advanced"
      label
        direct
          string
            string-literal "Advanced"
    menu
      identifier "service"
      label
        direct
          string
            string-literal "Service"
  list 14
    method
      identifier "set_damping"
      label
        direct
          string
            string-literal "Set damping"
      method-definition
        compound
          statement-list
            expression
              assign
                identifier "damping"
                float-constant 2.5
  texts
    "Configuration"
)";

}  // namespace tavrin::app::testing
