// Variable transfer against a scripted bus: what goes on the wire, where,
// and what the symbol table holds afterwards.
#include "transfer_fixture.h"
#include "tree_text.h"

namespace tavrin::model::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string device() {
  using namespace tree;
  const std::string floating = node("variable", {id("c"), node("type", {node("float")})});
  return list(0, {variable("a", "integer", 1), variable("b", "unsigned-integer", 2, {label("B")}), floating,
                  variable("d", "integer", 2), variable("e", "integer", 1),
                  variable("local", "integer", 1, {node("class 0x20000")}),
                  variable("lonely", "integer", 1, {label("Lonely")}), variable("q", "integer", 1, {label("Q")}),
                  variable("wide", "text-string", 200), variable("wider", "text-string", 60)}) +
         list(2, {command("cmd_only", 1, 1, "command", {reply({ref("a")})}),
                  command("read_abc", 1, 16, "read", {reply({constant(0x105), ref("a"), ref("b"), ref("c")})}),
                  command("write_abc", 1, 16, "write", {request({ref("a"), ref("b"), ref("c")})}),
                  command("read_two", 2, 32, "read",
                          {reply({ref("d")}), transaction(1, "request", items("reply", {constant(5), ref("e")}))}),
                  command("read_wide", 3, 1, "read", {reply({ref("wide"), ref("wider")})}),
                  command("read_masked", 3, 2, "read", {reply({node("data-masked", {id("q"), integer(240)})})})});
}

class Transfers : public TransferTest {
 protected:
  void SetUp() override { loadDevice(device()); }
};

TEST_F(Transfers, OneReadRefreshesEveryVariableOfTheReply) {
  bus.reply("05 FF 80 00 3F 80 00 00");
  EXPECT_EQ(transfer().readVariable(id("b")), 1);
  EXPECT_THAT(calls(), ElementsAre("profibus read slot=0x01 index=0x10 length=8"));
  EXPECT_EQ(value("a"), "-1");
  EXPECT_EQ(value("b"), "32768");
  EXPECT_EQ(bytes("c"), "3F 80 00 00");
  for (const char* name : {"a", "b", "c"}) EXPECT_EQ(state(name), ValueState::Loaded) << name;
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(Transfers, ConstantItemsTakeOneByteAheadOfTheVariables) {
  ASSERT_TRUE(assign("d", methods::Entry::ofInt(0x0102)));
  Transfer::Buffer buffer{};
  EXPECT_EQ(transfer().dataList(object("read_two"), part::Reply, Transfer::Mode::Pack, 1, buffer), 2u);
  EXPECT_EQ(transfer().dataList(object("read_two"), part::Reply, Transfer::Mode::Pack, 0, buffer), 2u);
  EXPECT_EQ(tavrin::testing::hex({buffer.begin(), buffer.begin() + 2}), "01 02");
  // The constant's low byte only; the variable follows it unpadded.
  ASSERT_TRUE(assign("b", methods::Entry::ofInt(0x0A0B)));
  EXPECT_EQ(transfer().dataList(object("read_abc"), part::Reply, Transfer::Mode::Pack, 0, buffer), 8u);
  EXPECT_EQ(tavrin::testing::hex({buffer.begin(), buffer.begin() + 4}), "05 00 0A 0B");
}

TEST_F(Transfers, AWriteSendsTheWholeRequestAndLeavesItsValuesLoaded) {
  ASSERT_TRUE(assign("a", methods::Entry::ofInt(1)));
  ASSERT_TRUE(assign("b", methods::Entry::ofInt(2)));
  ASSERT_TRUE(assign("c", methods::Entry::ofFloat(1.5f)));
  bus.reply();
  EXPECT_EQ(transfer().writeVariable(id("c")), 1);
  EXPECT_THAT(calls(), ElementsAre("profibus write slot=0x01 index=0x10 data=01 00 02 3F C0 00 00"));
  EXPECT_EQ(bytes("c"), "3F C0 00 00");
  for (const char* name : {"a", "b", "c"}) EXPECT_EQ(state(name), ValueState::Loaded) << name;
}

TEST_F(Transfers, LocalVariablesMoveWithoutBusTraffic) {
  EXPECT_EQ(transfer().readVariable(id("local")), 1);
  EXPECT_EQ(transfer().writeVariable(id("local")), 1);
  EXPECT_THAT(calls(), IsEmpty());
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(Transfers, TheSearchFindsLaterTransactionsAndSkipsCommandOperations) {
  const auto found = session.commands().findReadCommand(id("e"));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->command, &object("read_two"));
  EXPECT_EQ(found->transaction, 1);
  bus.reply("05 07");
  EXPECT_EQ(transfer().readVariable(id("e")), 1);
  EXPECT_EQ(value("e"), "7");
  EXPECT_EQ(state("d"), ValueState::Initial);
  // "a" is in the reply of a command-type command listed first.
  EXPECT_EQ(session.commands().findReadCommand(id("a"))->command, &object("read_abc"));
  EXPECT_FALSE(session.commands().findWriteCommand(id("e")));
  // Such a command still runs by name, with transaction 0.
  bus.reply("2A");
  EXPECT_EQ(transfer().readCommandByName(id("cmd_only")), 1);
  EXPECT_EQ(calls().back(), "profibus read slot=0x01 index=0x01 length=1");
  EXPECT_EQ(value("a"), "42");
}

TEST_F(Transfers, MissingCommandsAndFailedReadsChangeNothing) {
  EXPECT_EQ(transfer().readVariable(id("lonely")), 0);
  EXPECT_EQ(transfer().writeVariable(id("lonely")), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: Couldn't find the read command of variable \"Lonely\"!",
                                        "Error: Couldn't find the write command of variable \"Lonely\"!"));
  bus.fail();
  EXPECT_EQ(transfer().readVariable(id("b")), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: Read variable \"B\" failed!"));
  ASSERT_TRUE(assign("b", methods::Entry::ofInt(9)));
  bus.fail();
  EXPECT_EQ(transfer().writeVariable(id("b")), 0);
  EXPECT_THAT(takeErrors(), IsEmpty());  // the link has said it
  EXPECT_EQ(state("a"), ValueState::Initial);
  EXPECT_EQ(state("b"), ValueState::Changed);
  EXPECT_EQ(calls().size(), 2u);
}

TEST_F(Transfers, AShortReplyIsAFailedRead) {
  bus.reply("05 FF 80");
  EXPECT_EQ(transfer().readVariable(id("b")), 0);
  EXPECT_THAT(errors(), ElementsAre("Error: The device answered command \"read_abc\" with 3 of 8 bytes!",
                                    "Error: Read variable \"B\" failed!"));
  EXPECT_EQ(value("a"), "0");
  for (const char* name : {"a", "b", "c"}) EXPECT_EQ(state(name), ValueState::Initial) << name;
}

TEST_F(Transfers, ListsThatCannotTravelWholeAreRefusedBeforeSending) {
  EXPECT_EQ(transfer().readCommandByName(id("read_wide")), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: The data of command \"read_wide\" are longer than 255 bytes!"));
  // The search accepts a masked item; a transfer cannot place it.
  EXPECT_EQ(transfer().readVariable(id("q")), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: Command element tag error!", "Error: Read variable \"Q\" failed!"));
  Transfer::Buffer buffer{};
  EXPECT_FALSE(transfer().dataList(object("read_abc"), 112, Transfer::Mode::Pack, 0, buffer));
  EXPECT_FALSE(transfer().dataList(object("read_abc"), part::Reply, Transfer::Mode{3}, 0, buffer));
  EXPECT_FALSE(transfer().dataList(object("read_abc"), part::Reply, Transfer::Mode::Pack, 1, buffer));
  EXPECT_THAT(takeErrors(), ElementsAre("Error: COMMAND REQUEST data error!", "Error: COMMAND TRANSACTION tag error!",
                                        "Error: Searching command error!"));
  EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(Transfers, OnlyProfibusAndModbusAreSpoken) {
  session.setCommunication(&bus, CommunicationType::None);
  EXPECT_EQ(transfer().readCommandByName(id("read_abc")), 0);
  session.setCommunication(&bus, static_cast<CommunicationType>(3));
  EXPECT_EQ(transfer().writeCommandByName(id("write_abc")), 0);
  session.setCommunication(nullptr, CommunicationType::Profibus);
  EXPECT_EQ(transfer().readCommandByName(id("read_abc")), 0);
  EXPECT_THAT(errors(), ElementsAre("Error: Communication type error!", "Error: Communication type error!",
                                    "Error: Communication type error!"));
  EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(Transfers, CommandsByNameMustBeCommands) {
  EXPECT_EQ(transfer().writeCommandByName(id("Lonely")), 0);
  EXPECT_EQ(transfer().readCommandByName(id("a")), 0);
  EXPECT_THAT(errors(),
              ElementsAre("Error: Couldn't find command named Lonely!", "tag1 = 22 & tag2 = 4, match failed!"));
}

TEST_F(Transfers, FreshDisplayTextsReadThroughTheCommand) {
  vars().setViewMode(ViewMode::Function);
  bus.reply("05 01 00 02 00 00 00 00");
  EXPECT_EQ(vars().format(id("b"), true)->value, "2");
  EXPECT_EQ(vars().format(id("a"), true)->value, "1");  // Loaded by the same read
  EXPECT_EQ(calls().size(), 1u);
}

constexpr const char* kModbusDevice = R"(
  list 0
    variable
      identifier "level"
      type
        float
    variable
      identifier "mode"
      type
        unsigned-integer
          integer-constant 2
  list 2
    command
      identifier "read_level"
      function-code
        direct
          expression
            integer-constant 3
      register-address
        direct
          expression
            expr-add
              integer-constant 256
              integer-constant 16
      operation
        direct
          read
      transaction
        integer-constant 0
        request
        reply
          data-reference
            identifier "level"
          data-reference
            identifier "mode"
    command
      identifier "write_mode"
      function-code
        direct
          expression
            integer-constant 16
      register-address
        direct
          expression
            integer-constant 0x10000
      operation
        direct
          write
      transaction
        integer-constant 0
        request
          data-reference
            identifier "mode"
        reply
)";

TEST_F(TransferTest, ModbusCommandsAddressByFunctionCodeAndRegister) {
  loadDevice(kModbusDevice, CommunicationType::Modbus);
  bus.reply("41 20 00 00 00 03");
  EXPECT_EQ(transfer().readVariable(id("mode")), 1);
  EXPECT_THAT(calls(), ElementsAre("modbus read code=3 address=0x0110 count=6"));
  EXPECT_EQ(value("level"), "10.000000");
  EXPECT_EQ(value("mode"), "3");
  // A register that does not fit 16 bits is never cut to another one.
  EXPECT_EQ(transfer().writeVariable(id("mode")), 0);
  EXPECT_THAT(errors(), ElementsAre("Function: The address code of COMMAND is error!"));
  EXPECT_EQ(calls().size(), 1u);
}

}  // namespace
}  // namespace tavrin::model::testing
