// What a front end hears of the session: notices held while a command runs
// and given once, at once outside one, and the check-combo cells' bits.
#include "app/session_observer.h"

#include <gtest/gtest.h>

#include "app/description_menus.h"
#include "app/edit_commit.h"
#include "app/session.h"
#include "program_folder.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using Lines = std::vector<std::string>;

class Recorder : public SessionObserver {
 public:
  void treeChanged() override { heard.push_back("tree"); }
  void tableChanged() override { heard.push_back("table"); }
  void rowsChanged(int first, int last) override {
    heard.push_back("rows " + std::to_string(first) + "-" + std::to_string(last));
  }
  void commandStateChanged() override { heard.push_back("commands"); }
  Lines take() { return std::exchange(heard, {}); }
  Lines heard;
};

TEST(SessionNotices, HeldNoticesComeOnceWhenTheOutermostHoldEnds) {
  SessionNotices notices;
  Recorder a, b;
  notices.add(&a);
  notices.add(&a);
  notices.add(&b);
  notices.rowsChanged(3, 3);
  EXPECT_EQ(a.take(), Lines{"rows 3-3"}) << "not held: at once, and once per observer";

  {
    HeldNotices outer(notices);
    notices.rowsChanged(4, 5);
    notices.commandStateChanged();
    {
      HeldNotices inner(notices);
      notices.rowsChanged(2, 2);
      notices.treeChanged();
      notices.treeChanged();
    }
    EXPECT_EQ(a.heard, Lines{}) << "the outer command still runs";
  }
  EXPECT_EQ(a.take(), (Lines{"rows 2-5", "tree", "commands"}));
  EXPECT_EQ(b.take(), (Lines{"rows 3-3", "rows 2-5", "tree", "commands"}));

  {
    HeldNotices held(notices);
    notices.rowsChanged(1, 1);
    notices.tableChanged();
  }
  EXPECT_EQ(a.take(), Lines{"table"}) << "a refilled table covers the rows";
  notices.rowsChanged(5, 4);
  EXPECT_EQ(a.take(), Lines{}) << "no rows, no notice";
  b.take();

  // An observer that goes away in its own notice does not upset the others.
  struct Leaver : SessionObserver {
    SessionNotices* n = nullptr;
    void tableChanged() override { n->remove(this); }
  } leaver;
  leaver.n = &notices;
  notices.remove(&b);
  notices.add(&leaver);
  notices.add(&b);
  notices.tableChanged();
  notices.tableChanged();
  EXPECT_EQ(a.take(), (Lines{"table", "table"}));
  EXPECT_EQ(b.take(), (Lines{"table", "table"}));
}

TEST(CheckComboCells, ItemsShowAndBuildTheValue) {
  Cell cell;
  cell.kind = CellKind::CheckCombo;
  cell.items = {"Good", "Uncertain", "Device failure", "Limited", "Nothing"};
  cell.itemBits = {0x80, 0x40, 0x0C, 0x03, 0};
  cell.bitValue = 0x86;  // 0x04 alone is half of "Device failure"
  EXPECT_TRUE(bitItemSet(cell, 0));
  EXPECT_FALSE(bitItemSet(cell, 1));
  EXPECT_FALSE(bitItemSet(cell, 2)) << "every bit of the item must be set";
  EXPECT_FALSE(bitItemSet(cell, 3));
  EXPECT_FALSE(bitItemSet(cell, 4)) << "an item of no bits is never set";
  EXPECT_FALSE(bitItemSet(cell, 9));

  EXPECT_EQ(checkComboText(cell, {true, false, false, false, false}), "0x86")
      << "as shown: half an item stays as it is";
  EXPECT_EQ(checkComboText(cell, {false, true, false, true, false}), "0x47")
      << "what changed is cleared or set";
  cell.bitValue = 0x1086;
  EXPECT_EQ(checkComboText(cell, {false, true, true, false, false}), "0x104E")
      << "bits of no item are kept";
  EXPECT_EQ(checkComboText(cell, {}), "0x1086") << "nothing said, nothing changed";
}

// A session opened offline on the Modbus sample.
class ObservedSession : public ::testing::Test {
 protected:
  ObservedSession() {
    folder.linkDriver("Lirrand", testing::kRealLirrand);
    session.setPause([](std::chrono::milliseconds) {});
    session.addObserver(&heard);
  }
  ~ObservedSession() override { session.removeObserver(&heard); }
  void open() {
    ui.select(0);
    ASSERT_TRUE(session.openDescription(TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin"))
        << ::testing::PrintToString(ui.transcript());
  }
  int rowOf(const std::string& label) const {
    const auto& rows = session.view().table().rows;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].cells[0].text == label) return static_cast<int>(i) + 1;
    return -1;
  }

  testing::TestProgramFolder folder;
  ui::FakeUserInterface ui;
  DeviceSession session{folder.files(), ui, descriptionMenus()};
  Recorder heard;
};

TEST_F(ObservedSession, EachCommandIsHeardOnceWhenItEnds) {
  open();
  EXPECT_EQ(heard.take(), (Lines{"table", "tree", "commands"})) << "a connect rebuilds both several times";
  EXPECT_EQ(session.view().tree().selected(), 0);

  // Rows and commands as the front end sees them when it hears of them.
  struct Checker : SessionObserver {
    DeviceSession* s = nullptr;
    Lines seen;
    void tableChanged() override { seen.push_back("rows " + std::to_string(s->view().table().rows.size())); }
    void commandStateChanged() override {
      seen.push_back(commandEnabled(Command::Read, s->commandState()) ? "read on" : "read off");
    }
  } checker;
  checker.s = &session;
  session.addObserver(&checker);
  ASSERT_TRUE(session.enterFunctionView());
  EXPECT_EQ(heard.take(), (Lines{"table", "tree", "commands"}));
  EXPECT_EQ(checker.seen, (Lines{"rows " + std::to_string(session.view().table().rows.size()), "read off"}));
  session.removeObserver(&checker);

  session.selectTreeItem(1);
  EXPECT_EQ(heard.take(), (Lines{"table", "tree"})) << "the command states stay";
  session.selectTreeItem(99);
  EXPECT_EQ(heard.take(), Lines{});

  ui.answer(ui::Answer::No);
  session.disconnect();
  EXPECT_EQ(heard.take(), Lines{}) << "nothing changed";
  ui.answer(ui::Answer::Yes);
  session.disconnect();
  EXPECT_EQ(heard.take(), (Lines{"table", "tree", "commands"}));
}

TEST_F(ObservedSession, ARefusedEditPutsItsRowBackAtOnce) {
  open();
  heard.take();
  EditCommit edits(session);
  const int damping = rowOf("Damping");
  ASSERT_GT(damping, 0);
  EXPECT_FALSE(edits.commitRow(damping, "99"));
  EXPECT_EQ(heard.take(), (Lines{"rows " + std::to_string(damping) + "-" + std::to_string(damping)}));
  EXPECT_EQ(ui.errors().size(), 1u);

  EXPECT_TRUE(edits.commitRow(damping, "2"));
  EXPECT_EQ(heard.take(), (Lines{"table", "tree"}));
}

TEST_F(ObservedSession, BitEnumerationCellsCarryTheirBits) {
  open();
  const int status = rowOf("Status");
  ASSERT_GT(status, 0);
  const Cell& cell = session.view().table().rows.at(static_cast<size_t>(status - 1)).cells[1];
  EXPECT_EQ(cell.kind, CellKind::CheckCombo);
  EXPECT_EQ(cell.itemBits, (std::vector<uint32_t>{1, 2, 4, 8}));
  EXPECT_EQ(cell.items.size(), 4u);
  EXPECT_EQ(cell.bitValue, 0u);
  EXPECT_TRUE(cell.readOnly) << "the status word is read only";
}

}  // namespace
}  // namespace tavrin::app
