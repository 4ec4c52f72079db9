// The description of a full parameter table that the model and table
// benchmarks share: 1,024 variables (integers with display formats, floats,
// enumerations of 16 texts, strings: exactly the 2,048 bytes of value
// memory) with labels, handling and validity, 64 UNIT relations, and one
// menu that lists every variable, as a device's parameter menu does.
#pragma once

#include <cstdint>
#include <string>

#include "eddtext/document.h"

namespace tavrin::bench {

using namespace tavrin::eddtext;

constexpr uint32_t kVariables = 1024;
constexpr uint32_t kRelations = 64;

// Texts: variable names, relation names, the menu name, then the shared texts.
enum : uint32_t { kMenu = kVariables + kRelations, kLabel, kFormat, kFloatFormat, kOn, kText = kOn + 16 };

inline void stringValue(Tree& t, uint32_t depth, uint32_t text) {
  t.push_back({58, 0, depth, {}});
  t.push_back({410, 0, depth + 1, {}});
  t.push_back({31, text, depth + 2, {}});
}

inline Tree variable(uint32_t id) {
  Tree t{{22, 0, 0, {}}, {30, id, 1, {}}, {290, 0, 1, {}}};
  stringValue(t, 2, kLabel);
  t.insert(t.end(), {{287, 0, 1, {}}, {58, 0, 2, {}}, {341, 3, 3, {}}, {301, 0, 1, {}}, {54, 0, 2, {}},
                     {405, 0, 3, {}}, {399, 1, 4, {}}, {62, 0, 3, {}}, {58, 0, 4, {}}, {396, 0, 5, {}},
                     {300, 0, 1, {}}});
  switch (id % 4) {
    case 0:
      t.insert(t.end(), {{32, 0, 2, {}}, {399, 1, 3, {}}, {305, 0, 3, {}}});
      stringValue(t, 4, kFormat);
      t.insert(t.end(), {{308, 0, 3, {}}, {405, 0, 4, {}}, {399, 0, 5, {}}, {309, 0, 3, {}}, {405, 0, 4, {}},
                         {399, 1000, 5, {}}});
      break;
    case 1:
      t.insert(t.end(), {{34, 0, 2, {}}, {305, 0, 3, {}}});
      stringValue(t, 4, kFloatFormat);
      t.insert(t.end(), {{289, 0, 3, {}}, {405, 0, 4, {}}, {398, 0x3FC00000, 5, {}}});
      break;
    case 2:
      t.insert(t.end(), {{36, 0, 2, {}}, {399, 1, 3, {}}, {65, 0, 3, {}}, {58, 0, 4, {}}});
      for (uint32_t e = 0; e < 16; ++e) {
        t.insert(t.end(), {{66, 0, 5, {}}, {399, e, 6, {}}});
        stringValue(t, 6, kOn + e);
      }
      break;
    default:
      t.insert(t.end(), {{39, 0, 2, {}}, {399, 2, 3, {}}, {289, 0, 3, {}}});
      stringValue(t, 4, kText);
      break;
  }
  return t;
}

inline Tree relation(uint32_t n) {
  Tree t{{21, 0, 0, {}}, {30, kVariables + n, 1, {}}, {490, 0, 1, {}}, {498, 0, 2, {}}, {30, n * 16 + 2, 3, {}},
         {491, 0, 1, {}}};
  for (uint32_t d = 0; d < 16; d += 2) t.insert(t.end(), {{498, 0, 2, {}}, {30, n * 16 + d + 1, 3, {}}});
  return t;
}

// The menu named kMenu with every variable as an item.
inline Tree parameterMenu() {
  Tree t{{14, 0, 0, {}}, {30, kMenu, 1, {}}, {179, 0, 1, {}}, {58, 0, 2, {}}};
  for (uint32_t i = 0; i < kVariables; ++i) t.insert(t.end(), {{180, 0, 3, {}}, {30, i, 4, {}}});
  return t;
}

inline Document fullTable() {
  Document d;
  for (uint32_t i = 0; i < kVariables; ++i) d.texts.push_back("variable_" + std::to_string(i));
  for (uint32_t i = 0; i < kRelations; ++i) d.texts.push_back("relation_" + std::to_string(i));
  d.texts.push_back("parameter_menu");
  d.texts.insert(d.texts.end(), {"|en|Pressure|de|Druck", "04X", "8.3f"});
  for (uint32_t i = 0; i < 16; ++i) d.texts.push_back("state " + std::to_string(i));
  d.texts.push_back("PT-100");
  for (uint32_t i = 0; i < kVariables; ++i) d.lists[0].push_back(variable(i));
  for (uint32_t i = 0; i < kRelations; ++i) d.lists[20].push_back(relation(i));
  d.lists[3].push_back(parameterMenu());
  return d;
}

}  // namespace tavrin::bench
