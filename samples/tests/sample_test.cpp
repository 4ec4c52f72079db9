// The sample device library as the build leaves it in the program folder:
// each description's commands find their memory in the simulator profile
// that plays the device (the addresses worked out from the trees as the
// program does, block directory included), the roles and bulk menus are
// there, and every method compiles in the method engine without a word.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "edd/tags.h"
#include "methods/engine.h"
#include "model/session.h"
#include "sim/profile.h"
#include "testing/edd_fixture.h"
#include "ui/fake_user_interface.h"

namespace tavrin::samples {
namespace {

using edd::Tag;
using testing::children;
using testing::EddFixture;

struct Sample {
  const char* file;     // in the program folder
  const char* profile;  // in sim/profiles
  sim::Bus bus;
};

const Sample kSamples[] = {
    {"Modbus/00170A0101020001.bin", "modbus-pressure.ini", sim::Bus::Modbus},
    {"Profibus/01720A3101020001.bin", "profibus-pressure.ini", sim::Bus::Profibus},
    {"Profibus/PTX3200.bin", "profibus-table.ini", sim::Bus::Profibus},
};

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

EddFixture load(const Sample& sample) { return EddFixture::fromBytes(read(std::string(TAVRIN_DIST_DIR) + sample.file)); }

const EddNode* attribute(const EddNode* root, Tag tag) {
  for (const EddNode* c : children(root)) {
    if (c->tag == +tag) return c;
  }
  return nullptr;
}

// A direct value's content: 58, then (for expressions) 405, then the value.
const EddNode* direct(const EddNode* attr) {
  const EddNode* d = attr ? attr->child : nullptr;
  if (!d || d->tag != +Tag::Direct) return nullptr;
  const EddNode* v = d->child;
  return v && v->tag == +Tag::Expression ? v->child : v;
}

uint32_t number(const EddNode* attr) {
  const EddNode* v = direct(attr);
  EXPECT_TRUE(v && v->tag == +Tag::IntegerConstant);
  return v ? v->value : 0;
}

class Description {
 public:
  explicit Description(const EddFixture& edd) : edd_(edd) {}

  const EddNode* object(uint32_t id) const {
    for (int list = 0; list < EDD_LIST_COUNT; ++list) {
      for (const EddElement* e : edd_.list(list)) {
        if (e->id == static_cast<int32_t>(id)) return e->root;
      }
    }
    return nullptr;
  }

  size_t size(const EddNode* variable) const {
    const EddNode* type = attribute(variable, Tag::Type)->child;
    switch (static_cast<Tag>(type->tag)) {
      case Tag::Float: return 4;
      case Tag::Double: return 8;
      default:
        return type->child && type->child->tag == +Tag::IntegerConstant ? type->child->value : 1;
    }
  }

  // The bytes a data list carries: variables at their sizes (collections
  // and arrays expanded), constants one byte each.
  size_t length(const EddNode* part) const {
    size_t n = 0;
    for (const EddNode* item : children(part)) {
      if (item->tag == +Tag::DataConstant) {
        n += 1;
      } else {
        EXPECT_EQ(item->tag, +Tag::DataReference);
        n += expanded(object(item->child->value));
      }
    }
    return n;
  }

  size_t expanded(const EddNode* root) const {
    if (root->tag == +Tag::Variable) return size(root);
    const bool array = root->tag == +Tag::Array || root->tag == +Tag::ArrayOf;
    // The samples list their members and elements directly (tag 58).
    const EddNode* list = attribute(root, array ? Tag::Elements : Tag::Members)->child;
    EXPECT_EQ(list->tag, +Tag::Direct);
    size_t n = 0;
    for (const EddNode* item : children(list)) n += expanded(object(testing::child(item, 1)->value));
    return n;
  }

 private:
  const EddFixture& edd_;
};

struct Access {
  std::string name;
  bool write = false;
  uint8_t slot = 0, index = 0;  // Profibus
  uint8_t function = 0;         // Modbus
  uint16_t address = 0;
  size_t length = 0;
};

std::vector<Access> commands(const EddFixture& edd, sim::Bus bus, const sim::Bytes& directory) {
  Description d(edd);
  std::vector<Access> out;
  for (const EddElement* e : edd.list(2)) {
    Access a;
    a.name = std::string(edd.text(e->id));
    const EddNode* op = direct(attribute(e->root, Tag::Operation));
    a.write = op->tag == +Tag::Write;
    const EddNode* transaction = attribute(e->root, Tag::Transaction);
    a.length = d.length(attribute(transaction, a.write ? Tag::Request : Tag::Reply));
    if (bus == sim::Bus::Modbus) {
      a.function = static_cast<uint8_t>(number(attribute(e->root, Tag::FunctionCode)));
      a.address = static_cast<uint16_t>(number(attribute(e->root, Tag::RegisterAddress)));
    } else {
      uint32_t offset = 0;
      if (const EddNode* slot = attribute(e->root, Tag::Slot)) {
        a.slot = static_cast<uint8_t>(number(slot));
      } else {
        // Through the directory, as connecting leaves it.
        const EddNode* block = d.object(direct(attribute(e->root, Tag::Block))->value);
        const uint16_t kind = attribute(block, Tag::Type)->child->tag;
        const uint32_t first = directory.at(kind == +Tag::PhysicalBlock ? 1 : kind == +Tag::TransducerBlock ? 5 : 9);
        const size_t at = (first + number(attribute(block, Tag::BlockNumber))) * 4 - 8;
        a.slot = directory.at(at);
        offset = directory.at(at + 1);
      }
      a.index = static_cast<uint8_t>(number(attribute(e->root, Tag::Index)) + offset);
    }
    out.push_back(a);
  }
  return out;
}

TEST(SampleLibrary, EveryCommandFindsItsMemoryInTheProfile) {
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.file);
    EddFixture edd = load(sample);
    ASSERT_GT(edd.result(), 0);
    std::string error;
    auto profile = sim::loadProfile(TAVRIN_SOURCE_DIR "sim/profiles/" + std::string(sample.profile), sample.bus, &error);
    ASSERT_TRUE(profile) << error;
    if (sample.bus == sim::Bus::Profibus) {
      ASSERT_FALSE(profile->setup.profibus.empty());
      // The device-table variant's blocks are not where the default
      // directory puts them: without reading its directory, reads miss.
      const sim::Bytes defaultDirectory{0x01, 0x04, 0x00, 0x01, 0x01, 0x05, 0x00, 0x01, 0x01, 0x06, 0x00, 0x02, 0x00, 0x10,
                                        0x00, 0x30, 0x01, 0x5C, 0x00, 0x58, 0x01, 0x10, 0x00, 0x37, 0x02, 0x10, 0x00, 0x2E};
      int misses = 0;
      for (const Access& a : commands(edd, sample.bus, defaultDirectory)) {
        auto got = profile->setup.profibus[0].read(a.slot, a.index, static_cast<uint8_t>(a.length), 0);
        misses += !std::holds_alternative<sim::Bytes>(got) || std::get<sim::Bytes>(got).size() != a.length;
      }
      EXPECT_EQ(misses > 0, std::string(sample.profile) == "profibus-table.ini");
      for (sim::PaTransmitter& device : profile->setup.profibus) {
        auto directory = std::get<sim::Bytes>(device.read(1, 1, 28, 0));
        const std::vector<Access> all = commands(edd, sample.bus, directory);
        EXPECT_GE(all.size(), 20u);
        for (const Access& a : all) {
          SCOPED_TRACE(a.name + " at slot " + std::to_string(a.slot) + " index " + std::to_string(a.index));
          auto got = device.read(a.slot, a.index, static_cast<uint8_t>(a.length), 0);
          ASSERT_TRUE(std::holds_alternative<sim::Bytes>(got));
          const sim::Bytes bytes = std::get<sim::Bytes>(got);
          EXPECT_EQ(bytes.size(), a.length);
          if (a.write) {
            EXPECT_FALSE(device.write(a.slot, a.index, bytes, 0)) << "refused";
          }
        }
      }
    } else {
      ASSERT_EQ(profile->setup.modbus.size(), 1u);
      sim::ModbusSlave& slave = profile->setup.modbus[0];
      const std::vector<Access> all = commands(edd, sample.bus, {});
      EXPECT_GE(all.size(), 13u);
      for (const Access& a : all) {
        SCOPED_TRACE(a.name + " function " + std::to_string(a.function) + " at " + std::to_string(a.address));
        ASSERT_EQ(a.length % 2, 0u);
        const auto registers = static_cast<uint8_t>(a.length / 2);
        const uint8_t hi = static_cast<uint8_t>(a.address >> 8), lo = static_cast<uint8_t>(a.address);
        const uint8_t readFunction = a.write ? 3 : a.function;
        const sim::Bytes reply = slave.serve(sim::Bytes{readFunction, hi, lo, 0, registers}, 0);
        ASSERT_EQ(reply.at(0), readFunction) << "exception " << int(reply.at(1));
        ASSERT_EQ(reply.at(1), a.length);
        if (!a.write) continue;
        sim::Bytes request{a.function, hi, lo};
        if (a.function == 16) request.insert(request.end(), {0, registers, static_cast<uint8_t>(a.length)});
        if (a.function == 6) {
          EXPECT_EQ(a.length, 2u);
        }
        request.insert(request.end(), reply.begin() + 2, reply.end());
        const sim::Bytes written = slave.serve(request, 0);
        EXPECT_EQ(written.at(0), a.function) << "exception " << int(written.at(1));
      }
    }
  }
}

// Nothing of the description model yet: what compiling a method needs is
// the objects by id and the texts.
class Objects : public methods::MethodModel {
 public:
  explicit Objects(const EddFixture& edd) : d_(edd), edd_(edd) {}
  std::string_view text(int32_t index) const override { return edd_.text(index); }
  const EddNode* findObject(int32_t id) const override { return d_.object(static_cast<uint32_t>(id)); }
  std::optional<methods::Entry> variableValue(int32_t) override { return std::nullopt; }
  bool assignVariable(int32_t, const methods::Entry&) override { return false; }
  std::optional<int32_t> resolveReference(const EddNode&) override { return std::nullopt; }

 private:
  Description d_;
  const EddFixture& edd_;
};

TEST(SampleLibrary, RolesBulkMenusAndMethodsThatCompile) {
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.file);
    EddFixture edd = load(sample);
    // Installed as an added description is: one language left in every text.
    for (const char* text : edd.texts()) {
      ASSERT_EQ(std::string_view(text).find("|de|"), std::string_view::npos) << text;
    }
    ASSERT_GE(edd.textIndex("Damping"), 0);
    for (const char* role : {"Table_Main_Specialist", "Menu_Main_Specialist", "Cali_Main_Specialist",
                             "Table_Main_Maintenance", "Menu_Main_Maintenance", "Cali_Main_Maintenance",
                             "download_variables", "upload_variables"}) {
      const EddElement* menu = edd.object(role);
      ASSERT_NE(menu, nullptr) << role;
      EXPECT_EQ(menu->root->tag, +Tag::Menu) << role;
    }
    ui::FakeUserInterface ui;
    Objects objects(edd);
    methods::MethodEngine engine(ui, objects);
    int compiled = 0;
    for (int list = 0; list < EDD_LIST_COUNT; ++list) {
      for (const EddElement* e : edd.list(list)) {
        if (e->root->tag != +Tag::Method) continue;
        const EddNode* definition = attribute(e->root, Tag::MethodDefinition);
        ASSERT_NE(definition, nullptr);
        EXPECT_TRUE(engine.compileMethodBody(definition->child)) << edd.text(e->id);
        EXPECT_EQ(ui.errors(), std::vector<std::string>{}) << edd.text(e->id);
        engine.reset();
        ++compiled;
      }
    }
    EXPECT_GE(compiled, 6);
  }
}

// In the description model: the file loads, every variable registers and
// shows a value, every role object of both user types is there, and every
// method compiles against the model, all without one message.
TEST(SampleLibrary, LoadRegisterAndCompileInTheModel) {
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.file);
    ui::FakeUserInterface ui;
    model::Session session(ui, TAVRIN_DIST_DIR);
    ASSERT_TRUE(session.loadDescription(std::string(TAVRIN_DIST_DIR) + sample.file));
    session.registerVariables();
    int variables = 0;
    for (const EddElement& e : model::elements(session.description(), 0)) {
      ASSERT_NE(session.symbols().find(e.id), nullptr) << session.description().text(e.id);
      const auto shown = session.variables().format(e.id, false);
      ASSERT_TRUE(shown);
      EXPECT_TRUE(shown->status == "Initial value" || shown->status == "Local") << session.description().text(e.id);
      ++variables;
    }
    EXPECT_EQ(session.symbols().count(), variables);
    EXPECT_GE(variables, 12);
    for (int user = 0; user <= 1; ++user) {
      for (const model::Role role : {model::Role::ParameterTable, model::Role::MainMenu, model::Role::CalibrationMenu}) {
        EXPECT_NE(session.description().roleObject(role, user), nullptr) << user;
      }
    }
    for (const EddElement& e : model::elements(session.description(), 6)) {
      const EddNode* definition = attribute(e.root, Tag::MethodDefinition);
      EXPECT_TRUE(session.engine().compileMethodBody(definition->child)) << session.description().text(e.id);
      session.engine().reset();
    }
    EXPECT_EQ(ui.errors(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace tavrin::samples
