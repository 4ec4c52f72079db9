// Device variables: what every VARIABLE of the loaded description is in the
// symbol table, and everything that follows from its tree: type and size,
// initial values, reading and assigning values, display texts (value, unit,
// status), ranges, handling, validity, class, enumerations, bit
// enumerations, labels and units.
//
// A VARIABLE (root tag 22, object list 0) has its type in attribute 300: the
// type node is the attribute's first child, or that node's first child when
// it is a wrapper (48). The type node's own children hold the size (an
// integer constant first, where the type has one) and the type attributes:
// default 286 and initial value 289, display 305 and edit format 306, ranges
// 308 to 311, 307, and the enumerator list 65 of enumerated and
// bit-enumerated types. Those are compiled on request, selected by a flag
// mask (TypeAttribute), into a compiled list on the value stack.
//
// Values cross as value-stack entries: kind 0 with type 4 (signed), 5
// (unsigned), 6 (float) or 7 (double); strings in value memory as address
// entries over exactly the variable's bytes; string values compiled from the
// description as kind 31 (a text index) or 100 (a variable whose display
// text it is).
//
// Failures are shown through the user-interface seam and the operation goes
// on or gives nothing; nothing throws.
//
// What formatting keeps: a parameter table formats every variable again and
// again, so what follows from the trees alone is worked out once per
// registration and kept by symbol-table position: the printf format of a
// display format, the enumerators of an (bit-)enumerated type and, for the
// whole description, which unit variable each dependent of a UNIT relation
// has. Only attributes whose compiling evaluates nothing, reads no variable
// and says nothing are kept (direct values of constants and text literals);
// a conditional one (IF, SELECT) or one that shows another variable's text
// is compiled on every call, so it always follows the values it depends on.
// Plain labels and constant units are read from the tree without compiling.
// Everything kept goes with the trees (forget()).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lirrand.h"
#include "model/compiled_list.h"
#include "model/symbol_table.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::model {

class Attributes;
class Description;

// The view the program shows; formatting never reads the device for the
// parameter view, which reads its variables in bulk.
enum class ViewMode : int32_t { None = 0, Parameter = 100, Function = 300, Calibration = 400 };

// Flags selecting the type attributes to compile, and the kinds of the
// lists they give.
namespace attr {
inline constexpr uint32_t Default = 0x001;        // list kind 286
inline constexpr uint32_t Initial = 0x002;        // 289
inline constexpr uint32_t DisplayFormat = 0x004;  // 305
inline constexpr uint32_t EditFormat = 0x008;     // 306
inline constexpr uint32_t MinValue = 0x010;       // 308, for all four ranges
inline constexpr uint32_t IndexedMinValue = 0x020;
inline constexpr uint32_t MaxValue = 0x040;
inline constexpr uint32_t IndexedMaxValue = 0x080;
inline constexpr uint32_t Ranges = 0x0F0;
inline constexpr uint32_t Attribute307 = 0x100;   // 307
inline constexpr uint32_t Enumerators = 0x200;    // 65
}  // namespace attr

// Class flag bits.
inline constexpr uint32_t kClassDynamic = 0x1000;
inline constexpr uint32_t kClassLocal = 0x20000;

struct DisplayText {
  std::string value;   // at most kMaxValueText bytes
  std::string unit;
  std::string status;  // the state text, or "Local"
};
inline constexpr size_t kMaxValueText = 127;  // a 128-byte buffer with its terminator

// Up to 32 minimum and maximum slots; slot 0 holds the plain minimum and
// maximum, the others the indexed ones.
struct RangeList {
  static constexpr int kSlots = 32;
  std::array<std::optional<double>, kSlots> minimum{};
  std::array<std::optional<double>, kSlots> maximum{};
  bool empty() const;
};

struct BitEnumerator {
  uint32_t value = 0;
  std::string description;
};

// Reads one variable from the device (variable transfer fills it in).
// Returns 1 on success, as the transfer operations do.
using ReadHook = std::function<int(int32_t variableId)>;

class Variables {
 public:
  Variables(ui::UserInterface& ui, Description& description, SymbolTable& symbols, Attributes& attributes);

  // --- registration ---
  // Pass 1 gives every element of object list 0 an entry, in list order;
  // pass 2 sets each entry's initial (or default) value and state Initial.
  // A variable that does not fit is shown (each overflow message once per
  // registration) and not stored.
  void registerAll();
  // Drops everything kept from the trees and the symbol table's positions;
  // the session calls it whenever the trees go (a load, a clear), and
  // registration before it starts.
  void forget();

  // --- lookups ---
  // The entry of a variable, or nullptr with "Error: Cannot find the
  // variable <name> in symbol table!".
  SymbolEntry* entry(int32_t id);
  // The type node of a VARIABLE root (attribute 300, unwrapped), or nullptr.
  static const EddNode* typeNode(const EddNode* root);

  // --- values ---
  // The current value: kind 0 with the type's code, or an address entry
  // over the bytes of a string or date. Nothing when it cannot be read (said).
  std::optional<Entry> value(int32_t id);
  std::optional<Entry> value(SymbolEntry& e);
  // Assigns an entry converted to the variable's type; the state becomes
  // Changed first, even when the type then refuses the value.
  bool assign(int32_t id, const Entry& v);
  bool assign(SymbolEntry& e, const Entry& v);
  // Assigns a value given as text (restoring saved values, value dialogs).
  bool assignText(int32_t id, std::string_view text);
  static std::string_view stateText(ValueState state);

  // --- display ---
  // Value, unit and status text. With fresh set, a variable still in state
  // Initial is first read from the device through the read hook (not in the
  // parameter view). Nothing when the variable is not in the symbol table.
  std::optional<DisplayText> format(int32_t id, bool fresh);
  // The value text alone, without a device read.
  std::string valueText(int32_t id);
  // The constant unit, else the display text of the unit variable of the
  // first UNIT relation that names this one, else empty.
  std::string unitText(int32_t id, bool fresh = true);
  // Whether an integer variable's display format shows it in hexadecimal
  // ("0x" and the digits); false for every other type.
  bool hexFormat(int32_t id);
  void setReadHook(ReadHook hook) { readHook_ = std::move(hook); }
  void setViewMode(ViewMode mode) { viewMode_ = mode; }
  ViewMode viewMode() const { return viewMode_; }

  // --- type attributes and queries ---
  // Compiles the type attributes the flags select; an empty list when the
  // flags select nothing or the type has none.
  CompiledList typeAttributes(const EddNode* root, uint32_t flags);
  // Nothing when an indexed range names a slot outside 0 to 31 (said).
  std::optional<RangeList> ranges(int32_t id);
  // The handling flag word (bit 1 read, bit 2 write), 0 without a handling.
  uint32_t handling(const EddNode* root);
  // False only when the validity attribute chooses the invalid tag (396).
  bool valid(const EddNode* root);
  uint32_t classFlags(const EddNode* root) const;

  // --- enumerations ---
  // The description of the first enumerator with this value, or "Unknown
  // Enumerator".
  std::string enumDescription(int32_t id, uint32_t value);
  // The value of the first enumerator whose trimmed description equals the
  // trimmed text.
  std::optional<Entry> enumValue(int32_t id, std::string_view description);
  std::vector<std::string> enumDescriptions(int32_t id);
  std::vector<BitEnumerator> bitEnumerators(int32_t id);

  // --- texts ---
  // The label (attribute 290) of any object; empty without one.
  std::string label(const EddNode* root);
  // The entries a string value compiles to (kinds 31 and 100).
  std::vector<Entry> strings(const EddNode* stringValue);
  // The text of one compiled string entry: a text-table entry (31) or a
  // variable's display text without a device read (100).
  std::string stringText(const Entry& e);

  // --- UNIT relations ---
  // The unit variable of the first UNIT relation (object list 20) whose
  // dependent list names this variable.
  std::optional<int32_t> unitVariableOf(int32_t id);
  // After a unit variable changed from one unit code to another: every
  // variable that depends on it in any UNIT relation is converted.
  void applyUnitRelations(int32_t unitVariableId, int32_t oldCode, int32_t newCode);

 private:
  struct Enumerator {
    int32_t kind = 0;
    Entry value;
    std::optional<Entry> description;
  };
  struct UnitRelation {
    std::vector<int32_t> units;
    std::vector<int32_t> dependents;
  };
  enum class Keeping : uint8_t { NotYet, Kept, Compiled };
  // The printf format a display format makes for one number type.
  struct NumberFormat {
    // Without a usable display format: empty for an integer (which then
    // shows as %d or %u), "%f" for a float.
    std::string printf;
    char conversion = 0;  // the format's last character
  };
  struct Kept {
    Keeping format = Keeping::NotYet;
    NumberFormat number;
    Keeping enumerators = Keeping::NotYet;
    std::vector<Enumerator> enumerated;  // an enumerated type's
    std::vector<BitEnumerator> bits;     // a bit-enumerated type's
  };
  // The UNIT relations read once: usable only when every relation is
  // well formed, since looking one up must say what a walk of them says.
  struct UnitIndex {
    bool usable = false;
    std::vector<UnitRelation> relations;
    // Each dependent's unit variable, from the first relation naming it
    // (none when that relation names no unit).
    std::unordered_map<int32_t, std::optional<int32_t>> unitOf;
  };

  std::optional<Entry> initialValue(const SymbolEntry& e, uint16_t tag, uint32_t flag, const char* message);
  bool assignString(SymbolEntry& e, std::string_view text);
  std::optional<DisplayText> format(SymbolEntry& e, bool fresh, bool withUnit);
  std::string formatValue(SymbolEntry& e);
  // The kept format, or one worked out now into scratch.
  const NumberFormat& numberFormat(const SymbolEntry& e, bool integer, NumberFormat& scratch);
  std::string unitText(const SymbolEntry& e, bool fresh);
  std::string enumDescription(const SymbolEntry& e, uint32_t value);
  // The enumerators of an enumerated variable: those kept, or compiled now
  // into scratch (said as they are met).
  std::span<const Enumerator> enumerators(const SymbolEntry& e, std::vector<Enumerator>& scratch);
  // Compile the type's enumerator list and hand each item of the kinds the
  // type takes (bit-enumerators or enumerators) that holds a value to add,
  // saying those that do not belong; true when nothing at all was said.
  bool collectItems(const SymbolEntry& e, bool bits, const std::function<void(const CompiledList::Item&)>& add);
  // Decided on the first call of a registration: whether the list just
  // collected becomes the kept one (the type's list follows from the tree
  // alone and compiling it said nothing); otherwise it is compiled on
  // every call.
  bool keepsNow(Kept* k, const SymbolEntry& e, bool quiet);
  // Whether the type's enumerator list follows from the tree alone.
  static bool fixedEnumerators(const EddNode* type);
  Kept* kept(const SymbolEntry& e);
  const UnitIndex& unitIndex();
  void compileTypeChildren(const EddNode* type, uint32_t flags, ListWriter& out);
  void compileEnumerators(const EddNode* type, const EddNode* list, ListWriter& out);
  std::vector<UnitRelation> unitRelations();
  std::vector<int32_t> unitList(const EddNode* node, uint16_t listTag);

  ui::UserInterface& ui_;
  Description& description_;
  SymbolTable& symbols_;
  Attributes& attributes_;
  ReadHook readHook_;
  ViewMode viewMode_ = ViewMode::None;
  // By symbol-table position, never resized, so what one call holds stays
  // put while a nested one keeps another variable's.
  std::vector<Kept> kept_;
  std::unique_ptr<UnitIndex> unitIndex_;
};

}  // namespace tavrin::model
