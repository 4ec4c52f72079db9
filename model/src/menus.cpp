#include "model/menus.h"

#include "edd/tags.h"
#include "messages.h"
#include "methods/engine.h"
#include "model/attributes.h"
#include "model/description.h"
#include "model/variables.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;

Menus::Menus(Attributes& attributes, Variables& variables) : attributes_(attributes), variables_(variables) {}

namespace {

bool isCollection(uint16_t tag) { return tag == +Tag::Collection || tag == +Tag::CollectionOf; }
bool isArray(uint16_t tag) { return tag == +Tag::Array || tag == +Tag::ArrayOf; }

}  // namespace

std::vector<MenuItem> Menus::items(const EddNode& menu) {
  static constexpr SpecifierTexts kTexts{msg::MenuItemNull, msg::MenuItemTag, msg::MenuItemSelection};
  ui::UserInterface& ui = attributes_.ui();
  std::vector<MenuItem> out;
  const EddNode* list = attribute(&menu, +Tag::MenuItems);
  if (!list) return out;
  const EddNode* direct = attributes_.chooseDirect(content(list), kTexts);
  for (const EddNode* n = direct ? direct->child : nullptr; n; n = n->sibling) {
    MenuItem item;
    item.tag = n->tag;
    switch (n->tag) {
      case +Tag::MenuItemWithArgs:
        for (const EddNode* a = n->child ? n->child->sibling : nullptr; a; a = a->sibling) {
          switch (a->tag) {
            case +Tag::ItemQualifiers:
              if (a->child && a->child->tag == +Tag::IntegerConstant) {
                item.qualifiers |= a->child->value;
              } else {
                attributes_.engine().reportTagMismatch(a->child ? a->child->tag : 0, +Tag::IntegerConstant);
              }
              break;
            case +Tag::ItemFlag192:
              item.flag = true;
              break;
            case +Tag::ItemArgumentList:
              ui.errorBox(msg::ArgumentList);
              break;
            case +Tag::ItemImageQualifiers:
              ui.errorBox(msg::ImageQualifiers);
              break;
            default:
              ui.errorBox(msg::ItemArguments);
              break;
          }
        }
        [[fallthrough]];
      case +Tag::MenuItem:
        item.object = attributes_.resolveObject(n->child);
        break;
      case +Tag::Layout185:
      case +Tag::Layout186:
      case +Tag::Layout187:
        break;
      case +Tag::TitleBreak: {
        const std::vector<methods::Entry> strings = variables_.strings(content(n));
        if (strings.size() != 1) {
          ui.errorBox(msg::TitleBreak);
          continue;
        }
        item.text = strings.front();
        break;
      }
      default:
        ui.errorBox(msg::MenuItem);
        continue;
    }
    out.push_back(item);
  }
  return out;
}

// One expansion into one list: the list's kind and whether it has been
// said to be full, so that a huge collection says so once.
struct Menus::Expansion {
  std::vector<int32_t>& list;
  ListKind kind;
  bool full = false;
};

bool Menus::expand(int32_t objectId, std::vector<int32_t>& list, ListKind kind) {
  Expansion e{list, kind};
  return expandInto(objectId, e);
}

bool Menus::expandInto(int32_t objectId, Expansion& e) {
  // Collections may hold themselves, directly or through others.
  Attributes::Nesting nesting(attributes_);
  if (!nesting) return false;
  const EddNode* root = attributes_.description().objectById(objectId);
  if (!root) return false;
  const char* itemMessage = e.kind == ListKind::Fixed ? msg::MenuCollection : msg::CompileCollection;
  bool complete = true;
  auto expandReference = [&](const EddNode* reference) {
    const auto target = attributes_.resolveObject(reference);
    if (!target || !expandInto(*target, e)) complete = false;
  };
  switch (root->tag) {
    case +Tag::Variable:
      if (e.kind == ListKind::Fixed && e.list.size() >= kFixedListSize) {
        if (!e.full) attributes_.ui().errorBox(msg::FixedListFull);
        e.full = true;
        return false;
      }
      e.list.push_back(objectId);
      return true;
    case +Tag::Menu:
    case +Tag::Method:
      return true;
    default:
      break;
  }
  if (isCollection(root->tag)) {
    for (const Attributes::Member& m : attributes_.members(root, itemMessage, complete)) {
      if (e.full) break;
      expandReference(m.reference);
    }
  } else if (isArray(root->tag)) {
    for (const Attributes::Element& el : attributes_.elements(root, itemMessage, complete)) {
      if (e.full) break;
      expandReference(el.reference);
    }
  } else {
    attributes_.ui().errorBox(msg::ExpandUnknown);
    return false;
  }
  return complete && !e.full;
}

std::vector<int32_t> Menus::menuVariables(const EddNode& menu) {
  std::vector<int32_t> list;
  for (const MenuItem& item : items(menu)) {
    if (item.isReference()) {
      if (item.object) expand(*item.object, list, ListKind::Growable);
    } else if (item.isLayout()) {
      attributes_.ui().errorBox(msg::LayoutItem);
    }
  }
  return list;
}

std::vector<int32_t> Menus::entryObjects(const MenuItem& item) {
  std::vector<int32_t> objects;
  if (!item.isReference() || !item.object) return objects;
  const EddNode* root = attributes_.description().findObject(*item.object);
  if (root && (isCollection(root->tag) || isArray(root->tag))) {
    expand(*item.object, objects, ListKind::Growable);
  } else {
    objects.push_back(*item.object);
  }
  return objects;
}

int Menus::runActions(const EddNode& object, uint16_t actionTag) {
  static constexpr SpecifierTexts kTexts{msg::ActionsNull, msg::ActionsTag, msg::ActionsSelection};
  const EddNode* list = attribute(&object, actionTag);
  if (!list) return 1;
  const EddNode* direct = attributes_.chooseDirect(content(list), kTexts);
  if (!direct) return 0;
  for (const EddNode* method = direct->child; method; method = method->sibling) {
    if (attributes_.engine().runMethodSpecification(method) != 1) return 0;
  }
  return 1;
}

}  // namespace tavrin::model
