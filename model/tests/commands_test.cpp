// Command attributes: addressing through slots and the block directory,
// operations, and the command search over collections and arrays.
#include "transfer_fixture.h"
#include "tree_text.h"

namespace tavrin::model::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string blocks() {
  using namespace tree;
  auto block = [](const std::string& name, const char* kind, const std::string& number) {
    return node("block", {id(name), node("type", {node(kind)}), node("block-number", {number})});
  };
  auto byBlock = [](const std::string& name, const std::string& block, int index, const std::string& operation,
                    const std::string& transaction) {
    return node("command", {id(name), node("block", {direct(id(block))}), node("index", {direct(integer(index))}),
                            node("operation", {operation}), transaction});
  };
  // Physical block 1 while x is 0, else block 60, which no directory has.
  const std::string pbNumber =
      node("if", {node("expression", {node("expr-eq", {node("reference", {id("x")}), integer(0)})}),
                  node("then", {direct(integer(1))}), node("else", {direct(integer(60))})});
  // Writes while y is 0, else reads.
  const std::string writeWhileZero =
      node("select", {node("expression", {node("reference", {id("y")})}),
                      node("case", {node("expression", {integer(0)}), direct(node("write"))}),
                      node("default", {direct(node("read"))})});
  const std::string slotWins = node(
      "command", {id("slot_wins"), node("slot", {direct(integer(0x107))}), node("block", {direct(id("ai2"))}),
                  node("index", {direct(integer(5))}), node("operation", {direct(node("read"))}), reply({ref("y")})});
  return list(0, {variable("x", "integer", 1), variable("y", "integer", 1), variable("z", "unsigned-integer", 2)}) +
         list(1, {block("ai2", "function-block", direct(integer(2))), block("pb", "physical-block", pbNumber),
                  block("odd", "integer", direct(integer(1)))}) +
         list(2, {byBlock("by_block", "ai2", 5, direct(node("read")), reply({ref("x")})), slotWins,
                  byBlock("wraps", "pb", 250, writeWhileZero, request({ref("z")})),
                  byBlock("odd_block", "odd", 1, direct(node("read")), reply({})),
                  node("command", {id("no_number"), node("slot", {direct(id("x"))}),
                                   node("index", {direct(node("string-literal \"five\""))}),
                                   node("operation", {direct(node("read"))}), reply({})})});
}

class Addressing : public TransferTest {
 protected:
  void SetUp() override { loadDevice(blocks()); }
};

TEST_F(Addressing, BlocksArePlacedThroughTheDirectory) {
  // Function block 2 of the default directory: slot 2, offset 0x10.
  bus.reply("00");
  EXPECT_EQ(transfer().readVariable(id("x")), 1);
  // A slot attribute wins over the block, with offset 0 and its low byte.
  bus.reply("08");
  EXPECT_EQ(transfer().readVariable(id("y")), 1);
  // Physical block 1 sits at slot 0, offset 0x10: index 250 wraps to 10.
  ASSERT_TRUE(assign("y", methods::Entry::ofInt(0)));
  bus.reply();
  EXPECT_EQ(transfer().writeVariable(id("z")), 1);
  EXPECT_THAT(calls(),
              ElementsAre("profibus read slot=0x02 index=0x15 length=1", "profibus read slot=0x07 index=0x05 length=1",
                          "profibus write slot=0x00 index=0x0A data=00 00"));
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(Addressing, TheDirectoryReadFromTheDeviceMovesTheBlocks) {
  BlockDirectory::Bytes device = BlockDirectory::kDefault;
  device[24] = 0x04;  // function block 2 now in slot 4 at 0x20
  device[25] = 0x20;
  session.blockDirectory().set(device);
  session.clear();  // the directory outlives the description
  ASSERT_TRUE(load(blocks()));
  const auto address = session.commands().profibusAddress(object("by_block"));
  ASSERT_TRUE(address);
  EXPECT_EQ(address->slot, 4);
  EXPECT_EQ(address->index, 0x25);
}

TEST_F(Addressing, PlacesOutsideTheDirectoryAreNeverSentTo) {
  // A zeroed directory (a failed read) points before its start.
  session.blockDirectory().clear();
  EXPECT_EQ(transfer().readVariable(id("x")), 0);
  EXPECT_FALSE(session.commands().slotAndOffset(object("by_block")));
  // Block number 60 points far beyond the end of the default one.
  session.blockDirectory().reset();
  ASSERT_TRUE(assign("x", methods::Entry::ofInt(1)));
  ASSERT_TRUE(assign("y", methods::Entry::ofInt(1)));
  EXPECT_EQ(session.commands().operation(object("wraps")), operation::Read);
  EXPECT_FALSE(session.commands().profibusAddress(object("wraps")));
  EXPECT_THAT(errors(),
              ElementsAre("Error: Profibus_ParseEDD_command_block tag error! ", "Error: Read variable \"\" failed!",
                          "Error: Profibus_ParseEDD_command_block tag error! ",
                          "Error: Profibus_ParseEDD_command_block tag error! "));
  EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(Addressing, AttributesThatAreNoAddressAreSaid) {
  EXPECT_FALSE(session.commands().slotAndOffset(object("odd_block")));
  EXPECT_FALSE(session.commands().slotAndOffset(object("no_number")));
  EXPECT_FALSE(session.commands().index(object("no_number")));
  EXPECT_THAT(errors(), ElementsAre("Error: Profibus_ParseEDD_command_block tag error! ",
                                    "Error: Profibus_ParseEDD_command_slot tag error!",
                                    "Error: Profibus_ParseEDD_command_index tag error!",
                                    "Error: Profibus_ParseEDD_command_index error!"));
}

TEST(BlockDirectory, OnlyBlockEntriesAreEverRead) {
  BlockDirectory directory;
  EXPECT_EQ(directory.locate(BlockKind::Physical, 1)->indexOffset, 0x10);
  EXPECT_EQ(directory.locate(BlockKind::Transducer, 1)->indexOffset, 0x5C);
  EXPECT_EQ(directory.locate(BlockKind::Physical, 4)->slot, 2);  // the last entry
  EXPECT_FALSE(directory.locate(BlockKind::Physical, 5));
  EXPECT_FALSE(directory.locate(BlockKind::Function, 0));
  EXPECT_FALSE(directory.locate(BlockKind::Function, -1'000'000'000'000));
  EXPECT_FALSE(directory.locate(BlockKind::Function, 1'000'000'000'000));
  // A group entry that points into the group entries themselves.
  BlockDirectory::Bytes foreign = BlockDirectory::kDefault;
  foreign[1] = 1;
  directory.set(foreign);
  EXPECT_FALSE(directory.locate(BlockKind::Physical, 2));
  foreign[1] = 0xFF;
  directory.set(foreign);
  EXPECT_FALSE(directory.locate(BlockKind::Physical, 1));
}

constexpr const char* kOperations = R"(
  list 0
    variable
      identifier "v"
      type
        integer
          integer-constant 1
  list 2
    command
      identifier "no_operation"
      slot
        direct
          integer-constant 1
    command
      identifier "odd_operation"
      operation
        direct
          invalid
    command
      identifier "bad_case"
      operation
        select
          expression
            integer-constant 1
          direct
            read
          default
            direct
              write
    command
      identifier "no_case"
      operation
        if
          expression
            integer-constant 0
          then
            direct
              read
)";

TEST_F(TransferTest, OperationsOtherThanReadWriteAndCommandAreSaid) {
  loadDevice(kOperations);
  Commands& commands = session.commands();
  EXPECT_EQ(commands.operation(object("no_operation")), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: operation_specifier: pRoot = NULL",
                                        "Error: The OPERATION attribute of COMMAND is error! "));
  EXPECT_EQ(commands.operation(object("odd_operation")), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: Unknown COMMAND OPERATION attribute!",
                                        "Error: The OPERATION attribute of COMMAND is error! "));
  EXPECT_EQ(commands.operation(object("bad_case")), operation::Write);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: operation_selection: tag error"));
  EXPECT_EQ(commands.operation(object("no_case")), 0);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: operation_specifier: pRoot = NULL",
                                        "Error: The OPERATION attribute of COMMAND is error! "));
}

std::string groups() {
  using namespace tree;
  const std::string pair = node(
      "collection",
      {id("pair"),
       node("members", {direct(node("member-122", {id("first"), id("p")}) +
                               node("member-123", {id("second"), id("t"),
                                                   direct(node("string", {node("string-literal \"Second\"")}))}))})});
  const std::string units = node("array", {node("1001", {node("empty"), id("units")}),
                                           node("elements", {direct(node("element-401", {integer(0), id("u")}) +
                                                                    node("element-401", {integer(1), id("w")}))})});
  const std::string secondOfUnits = node("array-element-ref", {id("units"), node("expression", {integer(1)})});
  return list(0, {variable("p", "integer", 1), variable("t", "integer", 2), variable("u", "integer", 1),
                  variable("w", "integer", 1)}) +
         list(3, {pair}) + list(4, {units}) +
         list(2,
              {command("read_pair", 1, 9, "read",
                       {reply({ref("pair"), node("data-reference", {secondOfUnits})}),
                        transaction(1, "request", items("reply", {node("data-qualified", {id("u"), integer(1)})}))})});
}

TEST_F(TransferTest, ACollectionInAReplyMakesEachMemberReadable) {
  loadDevice(groups());
  for (const char* name : {"p", "t", "w", "u"}) {
    const auto found = session.commands().findReadCommand(id(name));
    ASSERT_TRUE(found) << name;
    EXPECT_EQ(found->command, &object("read_pair"));
    EXPECT_EQ(found->transaction, name == std::string_view("u") ? 1 : 0);
  }
  bus.reply("01 00 02 03");
  EXPECT_EQ(transfer().readVariable(id("t")), 1);
  EXPECT_THAT(calls(), ElementsAre("profibus read slot=0x01 index=0x09 length=4"));
  EXPECT_EQ(value("p"), "1");
  EXPECT_EQ(value("t"), "2");
  EXPECT_EQ(value("w"), "3");
  EXPECT_THAT(errors(), IsEmpty());
}

}  // namespace
}  // namespace tavrin::model::testing
