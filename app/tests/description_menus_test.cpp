// The views over the sample library's own menus, compiled from its trees.
#include "app/description_menus.h"

#include <gtest/gtest.h>

#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using Lines = std::vector<std::string>;

class DescriptionMenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(model.loadDescription(TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin"));
    model.registerVariables();
    model.variables().setViewMode(model::ViewMode::Parameter);
  }
  const EddNode* menu(std::string_view name) {
    return model.description().findObject(model.description().findId(name));
  }
  // "<depth> <label or text> <qualifiers>" of every row.
  Lines rows() {
    Lines out;
    for (const Row& r : view.rows()) {
      const std::string text = r.kind == RowKind::Text
                                   ? "text " + std::string(model.description().text(static_cast<int32_t>(r.qualifiers)))
                                   : model.variables().label(r.node);
      out.push_back(std::to_string(r.depth) + " " + text + (r.qualifiers && r.kind == RowKind::Item
                                                                 ? " q" + std::to_string(r.qualifiers)
                                                                 : ""));
    }
    return out;
  }

  ui::FakeUserInterface ui;
  model::Session model{ui, TAVRIN_DIST_DIR};
  std::unique_ptr<MenuAccess> menus = descriptionMenus()(model);
  MenuView view{model, *menus};
};

TEST_F(DescriptionMenusTest, ParameterTablesShowTitleBreaksAndQualifiers) {
  view.walk(menu("Table_Main_Specialist"), walk::Menus | walk::Variables | walk::Tree);
  // Labels show as stored, every language included.
  EXPECT_EQ(rows(), (Lines{"1 Parameters", "495 text Measurement", "0 Pressure",
                           "0 Sensor temperature", "0 Status",
                           "495 text Configuration", "0 Pressure unit",
                           "0 Temperature unit", "0 Lower range value",
                           "0 Upper range value", "0 Damping",
                           "0 Output mode", "0 Alarm enable mask",
                           "0 Display options", "495 text Device",
                           "0 Tag", "0 Serial number"}))
      << "the measuring range collection stands for its two variables";

  view.walk(menu("Table_Main_Maintenance"), walk::Menus | walk::Variables);
  view.fill(0);
  const Lines maintenance = rows();
  EXPECT_EQ(maintenance.at(4), "0 Pressure unit q2");
  EXPECT_TRUE(view.table().rows.at(4).cells[1].readOnly) << "READ_ONLY in the menu overrides a writable handling";
  EXPECT_FALSE(view.table().rows.at(5).cells[1].readOnly);
  EXPECT_EQ(ui.errors(), Lines{});
}

TEST_F(DescriptionMenusTest, FunctionTreeKeepsInlineMenusOutAndMenuReadsGoToTheBus) {
  model.variables().setViewMode(model::ViewMode::Function);
  view.walk(menu("Menu_Main_Maintenance"), walk::Menus | walk::Variables | walk::Methods | walk::Tree);
  std::vector<std::string> tree;
  for (const TreeItem& t : view.tree().items()) tree.push_back(t.label);
  EXPECT_EQ(tree, (Lines{"Transmitter", "Measurement"}));

  // No link: the read is tried and refused, not passed off as done.
  EXPECT_EQ(menus->readMenu(*menu("measurement_menu"), 8), 0);
  ASSERT_FALSE(ui.errors().empty());
  EXPECT_EQ(ui.errors().front(), "Error: Communication type error!");
}

}  // namespace
}  // namespace tavrin::app
