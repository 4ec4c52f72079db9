// The loaded description: the bound loader library, the document block it
// fills, and the object index every other part of the model rests on.
//
// Objects are found by id, the text-table index of their name, through an
// index made when a file is read. Whatever else is worked out from the
// trees (what the variables keep) is dropped through the clear handler, so
// nothing ever outlives the block it came from.
//
// The loader is bound afresh on every load from <program folder>/Driver/.
// Whatever the block holds belongs to that library until clear() (or the
// next load, or destruction) hands it back through Binary_DeleteALL.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "lirrand.h"
#include "platform/dynamic_library.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::model {

// The menus a description provides for each user type.
enum class Role { ParameterTable, MainMenu, CalibrationMenu };

// User types as the user choice dialog gives them.
inline constexpr int kSpecialist = 0;
inline constexpr int kMaintenance = 1;

// The role menu names, by user type; empty for a user type without one.
std::string_view roleName(Role role, int userType);

class Description {
 public:
  // Object lists searched by id: 0 to 24. List 25 holds objects that are
  // never looked up by id.
  static constexpr int kSearchedLists = 25;

  Description(ui::UserInterface& ui, std::string programFolder);
  ~Description();
  Description(const Description&) = delete;
  Description& operator=(const Description&) = delete;

  // Binds the loader and reads the description file into the block. False,
  // with the reason shown, when the loader is missing or unusable or the
  // file does not exist (the previous description stays as it was), or when
  // the loader refuses the file (the block is then empty).
  bool load(const std::string& path);
  // Hands everything read back to the loader and zeroes the block.
  void clear();
  // Called whenever the block is about to be emptied, so that whatever
  // points into the trees (the symbol table) is dropped with them.
  void setClearHandler(std::function<void()> handler) { onClear_ = std::move(handler); }

  const EddBlock& block() const { return *block_; }
  bool loaded() const { return block_->textCount > 0; }

  // --- texts ---
  int32_t textCount() const;
  // Text `index`, or an empty view for an index outside the table: indexes
  // come from description trees and are never trusted.
  std::string_view text(int64_t index) const;
  // Index of the first text equal to name (byte for byte), or -1 with
  // "Error: The variable "<name>" couldn't be found.".
  int32_t idByName(std::string_view name) const;
  // The same without a message.
  int32_t findId(std::string_view name) const;
  std::string_view nameById(int32_t id) const { return text(id); }

  // --- objects ---
  // The root of the first object with this id in lists 0 to 24, or nullptr
  // with "Error: Cannot find the variable <id>".
  const EddNode* objectById(int32_t id) const;
  // The same without a message.
  const EddNode* findObject(int32_t id) const;
  // The first element of object list n (0 to 25), nullptr when empty.
  const EddElement* firstElement(int list) const;

  // The role object for a user type: its name's id, then the object. The
  // parameter table of an unknown user type shows "The user selected type
  // error!"; the menus of an unknown user type are silently absent.
  const EddNode* roleObject(Role role, int userType) const;

  const std::string& programFolder() const { return programFolder_; }

 private:
  struct Binding {
    platform::DynamicLibrary library;
    int32_t (*read)(EddBlock*, const char*) = nullptr;
    int32_t (*print)(EddBlock*, const char*) = nullptr;
    void (*deleteAll)(EddBlock*) = nullptr;
  };
  std::optional<Binding> bind();

  ui::UserInterface& ui_;
  std::string programFolder_;
  Binding binding_;
  std::unique_ptr<EddBlock> block_;
  // Object id to tree, built once a file is read: the table's fill asks for
  // several objects per variable and the lists hold thousands.
  std::unordered_map<int32_t, const EddNode*> objects_;
  std::function<void()> onClear_;
};

// Walks the elements of one object list: for (const EddElement& e : elements(block, 0)).
class ElementRange {
 public:
  class iterator {
   public:
    explicit iterator(const EddElement* e) : e_(e) {}
    const EddElement& operator*() const { return *e_; }
    iterator& operator++() {
      e_ = e_->next;
      return *this;
    }
    bool operator==(const iterator& o) const { return e_ == o.e_; }

   private:
    const EddElement* e_;
  };
  explicit ElementRange(const EddElement* first) : first_(first) {}
  iterator begin() const { return iterator(first_); }
  iterator end() const { return iterator(nullptr); }

 private:
  const EddElement* first_;
};

inline ElementRange elements(const Description& d, int list) { return ElementRange(d.firstElement(list)); }

}  // namespace tavrin::model
