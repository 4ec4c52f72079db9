// Loads descriptions decoded from the fuzzer's bytes through the real loader
// and registers, formats and queries every variable: hostile types, sizes,
// formats, enumerator lists, conditional values, references and UNIT
// relations; then reads and writes every variable through hostile commands,
// blocks, collections and menus over a bus that answers with any length.
// Each byte picks a tag from those the model reads (or any number), a value
// and a child count, so most inputs are near-valid descriptions. Every text
// and list is asked for twice, before and after the values changed: the
// second answer, and what it said, must be the first's.
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "eddtext/binary.h"
#include "eddtext/document.h"
#include "edd/tags.h"
#include "model/session.h"
#include "platform/dynamic_library.h"
#include "ui/console_user_interface.h"

namespace {

using tavrin::eddtext::Document;
using tavrin::eddtext::Node;
using tavrin::eddtext::Tree;

const char* const kTexts[] = {"v0",    "v1", "v2", "v3", "v4", "v5", "group", "values", "Table_Main_Specialist",
                              "On",    "block", "c0", "c1", "c2", "04X", "%s%n", "8.3f", "first"};
constexpr uint32_t kTextCount = std::size(kTexts);

constexpr uint16_t kTags[] = {
    1,   3,   13,  14,  16,  21,  22,  30,  31,  32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  43,  44,
    47,  48,  52,  54,  55,  56,  57,  58,  58,  58,  59,  60,  61,  62,  63,  65,  66,  67,  74,  88,  99,
    100, 101, 120, 122, 123, 124, 212, 213, 236, 240, 241, 242, 271, 285, 286, 287, 289, 290, 300, 301,
    302, 305, 306, 307, 308, 309, 310, 311, 341, 396, 398, 399, 399, 401, 403, 404, 405, 405, 406, 407,
    408, 410, 410, 411, 490, 491, 498, 1,   4,   96,  97,  98,  109, 109, 110, 110, 111, 111, 112, 113,
    113, 114, 115, 116, 179, 180, 180, 181, 185, 188, 190, 191, 192, 299, 359, 360, 361, 394, 395, 492,
    493, 495};

class Decoder {
 public:
  Decoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }

  void subtree(Tree& tree, uint32_t depth) {
    Node n;
    const uint8_t pick = next();
    n.tag = pick < 250 ? kTags[pick % std::size(kTags)] : static_cast<uint16_t>(next() * 257u);
    n.depth = depth;
    n.value = value(n.tag);
    tree.push_back(n);
    const int children = depth > 20 || tree.size() > 400 ? 0 : next() % 5;
    for (int i = 0; i < children && !done(); ++i) subtree(tree, depth + 1);
  }

  // An object: its root, its identifier, then attributes.
  Tree object(uint16_t rootTag, uint32_t name) {
    Tree t{Node{rootTag, 0, 0, {}}, Node{30, name, 1, {}}};
    const int attributes = next() % 6;
    for (int i = 0; i < attributes && !done(); ++i) subtree(t, 1);
    return t;
  }

 private:
  uint32_t value(uint16_t tag) {
    if (!tavrin::edd::carriesValue(tag)) return 0;
    const uint8_t v = next();
    switch (tag) {
      case 30:
      case 31:
      case 99:
        return v < 240 ? v % kTextCount : 1000u + v;  // now and then past the table
      case 399:
        return v < 200 ? v % 40 : 0xFFFFFF00u + v;
      case 398:
        return v * 0x01010101u;
      case 302:
        return v & 1 ? 0x20000u : v;
      default:
        return v;
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::string& fuzzFolder() {
  static std::string folder;
  return folder;
}

// Answers every call; reads deliver a pattern, now and then cut short.
class AnyBus : public tavrin::model::Communication {
 public:
  bool profibusRead(uint8_t, uint8_t, uint8_t length, std::span<uint8_t> buffer, size_t& received) override {
    return read(length, buffer, received);
  }
  bool profibusWrite(uint8_t, uint8_t, std::span<const uint8_t> data) override { return data.size() < 256; }
  bool modbusRead(uint8_t, uint16_t, uint8_t count, std::span<uint8_t> buffer, size_t& received) override {
    return read(count, buffer, received);
  }
  bool modbusWrite(uint8_t, uint16_t, std::span<const uint8_t> data) override { return data.size() < 256; }

 private:
  bool read(uint8_t length, std::span<uint8_t> buffer, size_t& received) {
    received = std::min<size_t>(length - (++calls_ % 3 == 0 ? length / 2 : 0), buffer.size());
    for (size_t i = 0; i < received; ++i) buffer[i] = static_cast<uint8_t>(0xA5 ^ i);
    return calls_ % 7 != 0;
  }
  unsigned calls_ = 0;
};

// Asks the same twice and stops the run when the answers, or what was said
// on the way, differ: what the variables keep after the first call must
// stand exactly for what compiling the trees again gives.
template <class Ask>
void sameTwice(std::ostringstream& said, Ask ask) {
  said.str({});
  const auto first = ask();
  const std::string firstSaid = said.str();
  said.str({});
  const auto second = ask();
  if (first != second || firstSaid != said.str()) std::abort();
}

void askEverythingTwice(tavrin::model::Session& session, std::ostringstream& said) {
  tavrin::model::Variables& vars = session.variables();
  for (const tavrin::model::SymbolEntry& e : session.symbols().entries()) {
    sameTwice(said, [&] {
      const auto t = vars.format(e.id, false);
      return t ? t->value + '\n' + t->unit + '\n' + t->status : std::string("none");
    });
    sameTwice(said, [&] { return vars.enumDescriptions(e.id); });
    sameTwice(said, [&] {
      std::vector<std::pair<uint32_t, std::string>> bits;
      for (const auto& b : vars.bitEnumerators(e.id)) bits.emplace_back(b.value, b.description);
      return bits;
    });
    sameTwice(said, [&] { return vars.enumDescription(e.id, 1); });
    sameTwice(said, [&] { return vars.label(e.root); });
    sameTwice(said, [&] { return vars.hexFormat(e.id); });
    sameTwice(said, [&] { return vars.unitVariableOf(e.id); });
  }
}

const std::string& descriptionPath() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrin-model-fuzz-XXXXXX").string();
    fuzzFolder() = ::mkdtemp(pattern.data());
    std::atexit([] { std::filesystem::remove_all(fuzzFolder()); });
    return fuzzFolder() + "/device.bin";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each session binds the loader and lets it go again; one handle held for
  // the whole run keeps the instrumented library (and the coverage counters
  // the fuzzer registered for it) mapped.
  static tavrin::platform::DynamicLibrary keepLoaded = [] {
    tavrin::platform::DynamicLibrary l;
    l.open(std::string(TAVRIN_DIST_DIR) + "Driver/Lirrand.so");
    return l;
  }();
  Decoder decoder(data, size);
  Document d;
  for (uint32_t i = 0; i < kTextCount; ++i) d.texts.emplace_back(kTexts[i]);
  for (uint32_t i = 0; i < 6 && !decoder.done(); ++i) d.lists[0].push_back(decoder.object(22, i));
  d.lists[5].push_back(decoder.object(3, 6));
  d.lists[5].push_back(decoder.object(13, 7));
  d.lists[14].push_back(decoder.object(14, 8));
  d.lists[20].push_back(decoder.object(21, 9));
  d.lists[1].push_back(decoder.object(1, 10));
  for (uint32_t i = 11; i < 14 && !decoder.done(); ++i) d.lists[2].push_back(decoder.object(4, i));
  {
    std::ofstream out(descriptionPath(), std::ios::binary | std::ios::trunc);
    out << tavrin::eddtext::writeBinary(d);
  }

  std::ostream nowhere(nullptr);
  std::ostringstream said;
  tavrin::ui::ConsoleUserInterface ui(std::cin, nowhere, said, {});
  tavrin::model::Session session(ui, TAVRIN_DIST_DIR);
  if (!session.loadDescription(descriptionPath())) return 0;
  session.registerVariables();
  askEverythingTwice(session, said);
  tavrin::model::Variables& vars = session.variables();
  vars.setReadHook([](int32_t) { return 1; });
  for (const tavrin::model::SymbolEntry& e : session.symbols().entries()) {
    vars.format(e.id, true);
    vars.ranges(e.id);
    vars.enumDescriptions(e.id);
    vars.bitEnumerators(e.id);
    vars.label(e.root);
    vars.handling(e.root);
    vars.valid(e.root);
    session.dialogs().rangeCheck("5", e.id);
    vars.assignText(e.id, "On");
    vars.applyUnitRelations(e.id, 1137, 1133);
  }
  askEverythingTwice(session, said);
  for (const auto& element : tavrin::model::elements(session.description(), 5)) {
    for (const auto& m : session.attributes().members(element.root)) {
      if (m.reference) session.resolveReference(*m.reference);
    }
    for (const auto& a : session.attributes().elements(element.root)) {
      if (a.reference) session.resolveReference(*a.reference);
    }
  }
  session.description().roleObject(tavrin::model::Role::ParameterTable, tavrin::model::kSpecialist);

  AnyBus bus;
  const uint8_t bytes = size > 0 ? data[0] : 0;
  session.setCommunication(&bus, bytes & 1 ? tavrin::model::CommunicationType::Modbus
                                           : tavrin::model::CommunicationType::Profibus);
  if (bytes & 2) session.blockDirectory().clear();
  for (const tavrin::model::SymbolEntry& e : session.symbols().entries()) {
    session.transfer().readVariable(e.id);
    session.transfer().writeVariable(e.id);
  }
  for (const auto& element : tavrin::model::elements(session.description(), 2)) {
    session.transfer().readCommandByName(element.id);
    session.transfer().writeCommandByName(element.id);
  }
  if (const EddNode* menu = session.description().findObject(8)) {
    tavrin::model::Menus& menus = session.menus();
    for (const tavrin::model::MenuItem& item : menus.items(*menu)) menus.entryObjects(item);
    menus.menuVariables(*menu);
    session.menuTransfer().processMenu(tavrin::model::process::Read, menu, tavrin::model::process::OnlyChanged);
    session.menuTransfer().processMenu(tavrin::model::process::Write, menu, tavrin::model::process::OnlyChanged);
  }
  return 0;
}
