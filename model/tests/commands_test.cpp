// Command attributes: addressing through slots and the block directory,
// operations, and the command search over collections and arrays.
#include "transfer_fixture.h"

namespace tavrin::model::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kBlocks = R"(
  list 0
    variable
      identifier "x"
      type
        integer
          integer-constant 1
    variable
      identifier "y"
      type
        integer
          integer-constant 1
    variable
      identifier "z"
      type
        unsigned-integer
          integer-constant 2
  list 1
    block
      identifier "ai2"
      type
        function-block
      block-number
        direct
          integer-constant 2
    block
      identifier "pb"
      type
        physical-block
      block-number
        if
          expression
            expr-eq
              reference
                identifier "x"
              integer-constant 0
          then
            direct
              integer-constant 1
          else
            direct
              integer-constant 60
    block
      identifier "odd"
      type
        integer
      block-number
        direct
          integer-constant 1
  list 2
    command
      identifier "by_block"
      block
        direct
          identifier "ai2"
      index
        direct
          integer-constant 5
      operation
        direct
          read
      transaction
        integer-constant 0
        request
        reply
          data-reference
            identifier "x"
    command
      identifier "slot_wins"
      slot
        direct
          integer-constant 0x107
      block
        direct
          identifier "ai2"
      index
        direct
          integer-constant 5
      operation
        direct
          read
      transaction
        integer-constant 0
        request
        reply
          data-reference
            identifier "y"
    command
      identifier "wraps"
      block
        direct
          identifier "pb"
      index
        direct
          integer-constant 250
      operation
        select
          expression
            reference
              identifier "y"
          case
            expression
              integer-constant 0
            direct
              write
          default
            direct
              read
      transaction
        integer-constant 0
        request
          data-reference
            identifier "z"
        reply
    command
      identifier "odd_block"
      block
        direct
          identifier "odd"
      index
        direct
          integer-constant 1
      operation
        direct
          read
      transaction
        integer-constant 0
        request
        reply
    command
      identifier "no_number"
      slot
        direct
          identifier "x"
      index
        direct
          string-literal "five"
      operation
        direct
          read
      transaction
        integer-constant 0
        request
        reply
)";

class Addressing : public TransferTest {
 protected:
  void SetUp() override { loadDevice(kBlocks); }
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
  EXPECT_THAT(calls(), ElementsAre("profibus read slot=0x02 index=0x15 length=1",
                                   "profibus read slot=0x07 index=0x05 length=1",
                                   "profibus write slot=0x00 index=0x0A data=00 00"));
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(Addressing, TheDirectoryReadFromTheDeviceMovesTheBlocks) {
  BlockDirectory::Bytes device = BlockDirectory::kDefault;
  device[24] = 0x04;  // function block 2 now in slot 4 at 0x20
  device[25] = 0x20;
  session.blockDirectory().set(device);
  session.clear();  // the directory outlives the description
  ASSERT_TRUE(load(kBlocks));
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
  EXPECT_THAT(errors(), ElementsAre("Error: Profibus_ParseEDD_command_block tag error! ",
                                    "Error: Read variable \"\" failed!",
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

constexpr const char* kGroups = R"(
  list 0
    variable
      identifier "p"
      type
        integer
          integer-constant 1
    variable
      identifier "t"
      type
        integer
          integer-constant 2
    variable
      identifier "u"
      type
        integer
          integer-constant 1
    variable
      identifier "w"
      type
        integer
          integer-constant 1
  list 3
    collection
      identifier "pair"
      members
        direct
          member-122
            identifier "first"
            identifier "p"
          member-123
            identifier "second"
            identifier "t"
            direct
              string
                string-literal "Second"
  list 4
    array
      1001
        empty
        identifier "units"
      elements
        direct
          element-401
            integer-constant 0
            identifier "u"
          element-401
            integer-constant 1
            identifier "w"
  list 2
    command
      identifier "read_pair"
      slot
        direct
          integer-constant 1
      index
        direct
          integer-constant 9
      operation
        direct
          read
      transaction
        integer-constant 0
        request
        reply
          data-reference
            identifier "pair"
          data-reference
            array-element-ref
              identifier "units"
              expression
                integer-constant 1
      transaction
        integer-constant 1
        request
        reply
          data-qualified
            identifier "u"
            integer-constant 1
)";

TEST_F(TransferTest, ACollectionInAReplyMakesEachMemberReadable) {
  loadDevice(kGroups);
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
