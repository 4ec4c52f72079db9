// The menu walk and the table fill on plain data: rows, tree and cells.
#include "app/menu_view.h"

#include <gtest/gtest.h>

#include "scripted_menus.h"
#include "testing/edd_fixture.h"
#include "testing/temp_dir.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using testing::MenuScript;
using testing::ScriptedMenus;

class MenuViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("sample.bin", tavrin::testing::assembleEdd(testing::kSampleDescription));
    ASSERT_TRUE(model.loadDescription(dir.file("sample.bin")));
    model.registerVariables();
    model.variables().setViewMode(model::ViewMode::Parameter);
    script.menus["Table_Main_Specialist"] = {MenuScript::item("pressure"), MenuScript::item("setup"),
                                             MenuScript::text("Configuration"), MenuScript::item("service", 64)};
    script.menus["setup"] = {MenuScript::item("damping"), MenuScript::item("mode", 2), MenuScript::item("advanced")};
    script.menus["advanced"] = {MenuScript::item("alarms", 4), MenuScript::item("spare"),
                                MenuScript::item("set_damping")};
    script.menus["service"] = {MenuScript::item("set_damping")};
  }
  const EddNode* object(std::string_view name) {
    return model.description().findObject(model.description().findId(name));
  }
  std::string label(const Row& row) {
    return row.kind == RowKind::Text ? "text " + std::string(model.description().text(static_cast<int32_t>(row.qualifiers)))
                                     : model.variables().label(row.node);
  }
  // "<label>/<depth>/<qualifiers>" of every row.
  std::vector<std::string> rows() {
    std::vector<std::string> out;
    for (const Row& r : view.rows())
      out.push_back(label(r) + "/" + std::to_string(r.depth) + "/" + std::to_string(r.qualifiers));
    return out;
  }
  std::vector<std::string> tree() {
    std::vector<std::string> out;
    for (const TreeItem& t : view.tree().items())
      out.push_back(t.label + (t.parent >= 0 ? " in " + view.tree().item(t.parent).label : "") +
                    (t.expanded ? " +" : ""));
    return out;
  }

  tavrin::testing::TempDir dir;
  ui::FakeUserInterface ui;
  model::Session model{ui, TAVRIN_DIST_DIR};
  MenuScript script;
  ScriptedMenus menus{model, script};
  MenuView view{model, menus};
};

TEST_F(MenuViewTest, ParameterWalkNestsMenusAsBandsWithDepth) {
  view.walk(object("Table_Main_Specialist"), walk::Menus | walk::Variables | walk::Tree);
  EXPECT_EQ(rows(), (std::vector<std::string>{"Parameters/1/0", "Pressure/0/0", "Setup/2/0", "Damping/1/0",
                                              "Mode/1/2", "Advanced/3/0", "Alarms/2/4", "text Configuration/495/" +
                                                  std::to_string(model.description().findId("Configuration")),
                                              "Service/2/64"}))
      << "the invalid variable and, without the method flag, the method stay out";
  EXPECT_EQ(tree(), (std::vector<std::string>{"Parameters +", "Setup in Parameters", "Advanced in Setup"}))
      << "qualifier 64 keeps Service out of the tree";

  view.fill(0);
  const auto& t = view.table().rows;
  ASSERT_EQ(t.size(), 9u);
  EXPECT_TRUE(t[0].merged);
  EXPECT_EQ(t[0].cells[0].text, "Parameters");
  EXPECT_EQ(t[2].cells[0].text, ">>  Setup");
  EXPECT_EQ(t[5].cells[0].text, ">>  >>  Advanced") << "a menu at depth 3";
  EXPECT_EQ(t[5].cells[0].background, kBandBackground);
  EXPECT_TRUE(t[7].merged);
  EXPECT_EQ(t[7].cells[0].text, "Configuration");
  EXPECT_EQ(t[7].height, 25);
  EXPECT_EQ(t[6].height, 0) << "qualifier 4 hides the row";
  for (const auto& row : t)
    for (const auto& cell : row.cells) EXPECT_EQ(cell.image, kNoImage);
}

TEST_F(MenuViewTest, ValueCellsAreWritableOnlyWhenHandlingAndQualifierAllow) {
  view.walk(object("setup"), walk::Menus | walk::Variables);
  view.walk(object("Table_Main_Specialist"), walk::Menus | walk::Variables);
  view.fill(fill::VariableImages);
  const auto& t = view.table().rows;
  const TableRow& pressure = t[1];
  EXPECT_EQ(pressure.cells[0].text, "Pressure");
  EXPECT_TRUE(pressure.cells[1].readOnly) << "handling read only";
  EXPECT_EQ(pressure.cells[1].background, kReadOnlyBackground);
  EXPECT_EQ(pressure.cells[0].image, kImageReadOnly);
  EXPECT_EQ(pressure.cells[3].text, "Initial value");

  const TableRow& damping = t[3];
  EXPECT_FALSE(damping.cells[1].readOnly);
  EXPECT_EQ(damping.cells[1].background, kWritableBackground);
  EXPECT_EQ(damping.cells[0].image, kImageWritable);
  EXPECT_TRUE(damping.cells[0].readOnly && damping.cells[2].readOnly && damping.cells[3].readOnly);

  const TableRow& mode = t[4];
  EXPECT_TRUE(mode.cells[1].readOnly) << "qualifier 2 despite a writing handling";
  EXPECT_EQ(mode.cells[0].image, kImageReadOnly);
  EXPECT_EQ(mode.cells[1].kind, CellKind::Combo);
  EXPECT_EQ(mode.cells[1].items, (std::vector<std::string>{"Linear", "Square root"}));
  EXPECT_EQ(mode.cells[1].text, "Linear");

  const TableRow& alarms = t[6];
  EXPECT_EQ(alarms.cells[1].kind, CellKind::CheckCombo);
  EXPECT_EQ(alarms.cells[1].items, (std::vector<std::string>{"Low", "High"}));
  EXPECT_FALSE(alarms.cells[1].readOnly) << "no handling is not read-only";
  EXPECT_EQ(alarms.cells[0].image, kImageReadOnly) << "but does not include writing either";
}

TEST_F(MenuViewTest, ChangedValuesStandOut) {
  ASSERT_TRUE(model.variables().assign(model.description().findId("damping"), methods::Entry::ofFloat(3.0f)));
  view.walk(object("setup"), walk::Variables);
  view.fill(0);
  const TableRow& damping = view.table().rows[0];
  EXPECT_EQ(damping.cells[3].text, "Changed");
  EXPECT_EQ(damping.cells[3].foreground, kChangedForeground);
  EXPECT_EQ(view.table().rows[1].cells[3].foreground, kBlack);
}

TEST_F(MenuViewTest, FunctionWalkListsMethodsAndSubMenusWithoutRecursion) {
  view.walk(object("Table_Main_Specialist"), walk::Menus | walk::Variables | walk::Methods | walk::Tree);
  EXPECT_EQ(view.tree().items().size(), 3u);
  view.walk(object("setup"), walk::Variables | walk::Methods);
  EXPECT_EQ(rows(), (std::vector<std::string>{"Damping/0/0", "Mode/0/2", "Advanced/0/0"}));
  EXPECT_EQ(view.tree().items().size(), 3u) << "the tree stays as it was";
  view.fill(fill::VariableImages | fill::MenuImages | fill::MethodImages);
  EXPECT_FALSE(view.table().rows[2].merged);
  EXPECT_EQ(view.table().rows[2].cells[0].image, kImageMenu);

  view.walk(object("advanced"), walk::Variables | walk::Methods | walk::Invalid);
  EXPECT_EQ(rows(), (std::vector<std::string>{"Alarms/0/4", "Spare/0/0", "Set damping/0/0"}))
      << "flag 32 keeps the invalid variable";
  view.fill(fill::MethodImages);
  EXPECT_EQ(view.table().rows[2].cells[0].image, kImageMethod);
  EXPECT_EQ(view.table().rows[0].cells[0].image, kNoImage);
}

TEST_F(MenuViewTest, TreeStateSurvivesARebuild) {
  view.walk(object("Table_Main_Specialist"), walk::Menus | walk::Tree);
  view.tree().item(1).expanded = true;
  view.tree().select(2);
  std::vector<int> restored;
  view.setRestoredSelectionHandler([&](int item) { restored.push_back(item); });
  view.walk(object("Table_Main_Specialist"), walk::SaveTree | walk::RestoreTree | walk::Tree | walk::Menus);
  EXPECT_TRUE(view.tree().item(1).expanded);
  EXPECT_FALSE(view.tree().item(2).expanded);
  EXPECT_EQ(view.tree().selected(), 2);
  EXPECT_EQ(restored, std::vector<int>{2});

  script.menus["Table_Main_Specialist"].insert(script.menus["Table_Main_Specialist"].begin(),
                                               MenuScript::item("service"));
  view.walk(object("Table_Main_Specialist"), walk::SaveTree | walk::RestoreTree | walk::Tree | walk::Menus);
  EXPECT_FALSE(view.tree().item(1).expanded) << "another menu in its place now";
  EXPECT_EQ(view.tree().item(1).label, "Service");
}

TEST_F(MenuViewTest, AMenuThatContainsItselfEndsTheWalk) {
  script.menus["advanced"].push_back(MenuScript::item("setup"));
  view.walk(object("Table_Main_Specialist"), walk::Menus | walk::Variables | walk::Tree);
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"Error: The menu \"Setup\" contains itself!"});
  EXPECT_EQ(view.tree().items().size(), 4u);
}

TEST_F(MenuViewTest, UnknownEntriesAndObjectsAreReported) {
  script.menus["service"] = {{MenuEntry::Kind::Other, {}, 0}, {MenuEntry::Kind::Layout, {}, 0},
                             MenuScript::item("Configuration"), MenuScript::item("set_damping")};
  view.walk(object("service"), walk::Methods);
  EXPECT_EQ(rows(), std::vector<std::string>{"Set damping/0/0"}) << "a text is no object";
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"Error: The Menu tag is error!"});
}

}  // namespace
}  // namespace tavrin::app
