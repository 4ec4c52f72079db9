// The two models and the table's view and delegate on tables made by hand:
// roles, spans and hidden rows, edits and what a screen reader hears.
#include <QAccessible>
#include <QComboBox>
#include <QSignalSpy>
#include <QStyleOptionViewItem>

#include "cell_delegate.h"
#include "check_combo_box.h"
#include "gui_harness.h"

namespace tavrin::gui::testing {
namespace {

app::Table sampleTable() {
  app::Table t;
  app::TableRow band;
  band.merged = true;
  band.cells[0].text = ">>  Setup";
  for (auto& c : band.cells) c.background = app::kBandBackground;
  t.rows.push_back(band);

  app::TableRow value;
  value.cells[0].text = "Damping";
  value.cells[0].image = app::kImageWritable;
  value.cells[1].text = "2.5";
  value.cells[1].readOnly = false;
  value.cells[1].background = app::kWritableBackground;
  value.cells[2].text = "s";
  value.cells[3].text = "Changed";
  value.cells[3].foreground = app::kChangedForeground;
  t.rows.push_back(value);

  app::TableRow hidden;
  hidden.height = 0;
  hidden.cells[0].text = "Hidden";
  t.rows.push_back(hidden);

  app::TableRow bits;
  bits.cells[0].text = "Alarms";
  bits.cells[1].text = "0x5";
  bits.cells[1].kind = app::CellKind::CheckCombo;
  bits.cells[1].items = {"Low", "High", "Sensor"};
  bits.cells[1].itemBits = {1, 2, 4};
  bits.cells[1].bitValue = 5;
  bits.cells[1].readOnly = false;
  t.rows.push_back(bits);

  app::TableRow bytes;
  bytes.cells[0].text = std::string("Bad \xFF\xFE text");
  bytes.cells[1].text = "Start";
  bytes.cells[1].kind = app::CellKind::Button;
  bytes.cells[1].readOnly = false;
  t.rows.push_back(bytes);
  return t;
}

class Models : public ::testing::Test {
 protected:
  Models() {
    view.setTableModel(&model);
    view.resize(800, 400);
    model.reset(table);
  }
  app::Table table = sampleTable();
  ParameterTableModel model;
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Warning};
  ParameterTableView view;
};

TEST_F(Models, TableRolesSpansAndHiddenRows) {
  ASSERT_EQ(model.rowCount(), 5);
  EXPECT_EQ(model.columnCount(), 4);
  EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Status"));
  EXPECT_EQ(view.columnSpan(0, 0), 4) << "a band is one cell";
  EXPECT_EQ(view.columnSpan(1, 0), 1);
  EXPECT_TRUE(view.isRowHidden(2));
  EXPECT_EQ(view.rowHeight(1), app::Table::kRowHeight);
  EXPECT_EQ(model.index(1, 3).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 255, 0));
  EXPECT_EQ(model.index(1, 1).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 255, 255));
  EXPECT_EQ(model.index(0, 2).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0, 255, 255));
  EXPECT_FALSE(model.index(1, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_FALSE(model.index(1, 1).data(Qt::DecorationRole).isValid());
  EXPECT_TRUE(model.flags(model.index(1, 1)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(model.index(1, 0)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(model.index(4, 1)) & Qt::ItemIsEditable) << "a button is pressed, not edited";
  EXPECT_TRUE(model.index(4, 0).data().toString().startsWith(QStringLiteral("Bad "))) << "bytes that are no UTF-8";
  EXPECT_EQ(model.index(3, 1).data(ParameterTableModel::CheckedItemsRole).value<QList<bool>>(),
            (QList<bool>{true, false, true}));
  EXPECT_EQ(view.font().family(), QStringLiteral("Times New Roman"));
  EXPECT_EQ(view.font().pixelSize(), app::Table::kFontHeight);
  EXPECT_TRUE(view.font().bold());

  // A row that changes its look is laid out again.
  table.rows[1].merged = true;
  table.rows[2].height = 25;
  table.rows[1].cells[1].text = "3.0";
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  model.updateRows(table, 2, 3);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(view.columnSpan(1, 0), 4);
  EXPECT_FALSE(view.isRowHidden(2));
  EXPECT_EQ(model.index(1, 1).data().toString(), QStringLiteral("3.0"));
  model.updateRows(table, 9, 12);
  EXPECT_EQ(changed.count(), 1) << "rows that are not there change nothing";

  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  table.rows.pop_back();
  model.updateRows(table, 1, 1);
  EXPECT_EQ(reset.count(), 1) << "another row count is a new table";
  EXPECT_EQ(model.rowCount(), 4);
}

TEST_F(Models, EditsAreKeptAndReportedWithTheSessionsRowNumbers) {
  QSignalSpy edited(&model, &ParameterTableModel::valueEdited);
  EXPECT_FALSE(model.setData(model.index(1, 0), QStringLiteral("x"))) << "read-only";
  EXPECT_FALSE(model.setData(model.index(1, 1), QStringLiteral("x"), Qt::DisplayRole));
  EXPECT_TRUE(model.setData(model.index(1, 1), QStringLiteral("4.5")));
  ASSERT_EQ(edited.count(), 1);
  EXPECT_EQ(edited.at(0).at(0).toInt(), 2) << "row 1 of the model is the session's row 2";
  EXPECT_EQ(edited.at(0).at(2).toString(), QStringLiteral("4.5"));
  EXPECT_EQ(model.index(1, 1).data().toString(), QStringLiteral("4.5")) << "shown until the commit answers";

  // The check-combo editor commits the text the session's bits make of it.
  CellDelegate delegate;
  QWidget parent;
  const QModelIndex bits = model.index(3, 1);
  std::unique_ptr<QWidget> editor(delegate.createEditor(&parent, QStyleOptionViewItem(), bits));
  auto* checks = qobject_cast<CheckComboBox*>(editor.get());
  ASSERT_TRUE(checks);
  delegate.setEditorData(checks, bits);
  EXPECT_EQ(checks->checkedItems(), (QList<bool>{true, false, true}));
  delegate.setModelData(checks, &model, bits);
  EXPECT_EQ(edited.count(), 1) << "nothing changed, nothing committed";
  checks->setItemChecked(0, false);
  checks->setItemChecked(1, true);
  delegate.setModelData(checks, &model, bits);
  ASSERT_EQ(edited.count(), 2);
  EXPECT_EQ(edited.at(1).at(2).toString(), QStringLiteral("0x6"));
  EXPECT_EQ(delegate.createEditor(&parent, QStyleOptionViewItem(), model.index(4, 1)), nullptr);

  QSignalSpy pressed(&delegate, &CellDelegate::buttonClicked);
  QStyleOptionViewItem option;
  option.rect = QRect(0, 0, 100, 25);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  EXPECT_TRUE(delegate.editorEvent(&release, &model, option, model.index(4, 1)));
  ASSERT_EQ(pressed.count(), 1);
  EXPECT_EQ(pressed.at(0).at(0).toInt(), 5);
}

TEST_F(Models, AScreenReaderHearsColumnValueAndState) {
  EXPECT_EQ(model.index(1, 1).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Value: 2.5"));
  EXPECT_EQ(model.index(1, 1).data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("editable"));
  EXPECT_EQ(model.index(1, 2).data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("read-only"));
  EXPECT_EQ(model.index(0, 0).data(Qt::AccessibleTextRole).toString(), QStringLiteral(">>  Setup"));
  EXPECT_EQ(model.index(0, 2).data(Qt::AccessibleTextRole).toString(), QStringLiteral(">>  Setup")) << "one heading";
  EXPECT_EQ(model.index(3, 1).data(Qt::AccessibleDescriptionRole).toString(),
            QStringLiteral("set: Low, Sensor; editable"));
  EXPECT_EQ(model.index(1, 0).data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("read-only"));
  EXPECT_EQ(model.index(2, 1).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Value: empty"));

  // Through Qt's accessibility, as AT-SPI asks it.
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(&view);
  ASSERT_TRUE(grid);
  EXPECT_EQ(grid->text(QAccessible::Name), QStringLiteral("Parameter table"));
  QAccessibleTableInterface* cells = grid->tableInterface();
  ASSERT_TRUE(cells);
  QAccessibleInterface* damping = cells->cellAt(1, 1);
  ASSERT_TRUE(damping);
  EXPECT_EQ(damping->text(QAccessible::Name), QStringLiteral("Value: 2.5"));
  EXPECT_EQ(damping->text(QAccessible::Description), QStringLiteral("editable"));
}

TEST(MenuTreeModelTest, KeepsItsItemsWhileTheShapeStays) {
  MenuTreeModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
  app::MenuTree tree;
  const EddNode nodes[4]{};
  const int root = tree.add("Transmitter", &nodes[0], -1);
  tree.add("Measurement", &nodes[1], root);
  const int setup = tree.add("Configuration", &nodes[2], root);
  tree.add("Advanced", &nodes[3], setup);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  EXPECT_TRUE(model.update(tree));
  EXPECT_EQ(model.rowCount(), 1);
  const QModelIndex r = model.index(0, 0);
  EXPECT_EQ(model.rowCount(r), 2);
  const QModelIndex advanced = model.index(0, 0, model.index(1, 0, r));
  EXPECT_EQ(advanced.data().toString(), QStringLiteral("Advanced"));
  EXPECT_EQ(model.itemOf(advanced), 3);
  EXPECT_EQ(model.indexOf(3), advanced);
  EXPECT_EQ(model.parent(advanced), model.indexOf(setup));
  EXPECT_FALSE(advanced.data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_EQ(model.indexOf(9), QModelIndex());

  tree.select(2);
  tree.item(2).expanded = true;
  EXPECT_FALSE(model.update(tree)) << "selection and expansion are the view's";
  tree.item(3).label = "Expert";
  EXPECT_TRUE(model.update(tree));
  EXPECT_EQ(reset.count(), 2);
  tree.clear();
  EXPECT_TRUE(model.update(tree));
  EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace tavrin::gui::testing
