// Loading descriptions through the loader library, the object index and the
// role objects of the two user types.
#include <gtest/gtest.h>

#include <filesystem>

#include "model_fixture.h"

namespace tavrin::model::testing {
namespace {

using ::testing::ElementsAre;

constexpr const char* kRoles = R"(
  list 0
    variable
      identifier "pressure"
      type
        float
  list 14
    menu
      identifier "Table_Main_Specialist"
    menu
      identifier "Menu_Main_Specialist"
    menu
      identifier "Cali_Main_Maintenance"
  list 25
    menu
      identifier "hidden"
)";

TEST(ModelLoading, MissingLoaderStopsBeforeTheFileIsLookedAt) {
  ui::FakeUserInterface ui;
  tavrin::testing::TempDir folder;
  Session session(ui, folder.path());
  EXPECT_FALSE(session.loadDescription(folder.file("missing.bin")));
  EXPECT_THAT(ui.errors(), ElementsAre("Error: There is no language support file in program!"));
}

TEST(ModelLoading, LoaderThatIsNoLibraryOrLacksAnExportIsRefused) {
  ui::FakeUserInterface ui;
  tavrin::testing::TempDir folder;
  std::filesystem::create_directory(folder.file("Driver"));
  folder.write("Driver/Lirrand.so", "not a shared object");
  Session session(ui, folder.path());
  EXPECT_FALSE(session.loadDescription(folder.file("missing.bin")));

  // A real library without the loader's exports would crash the first call.
  std::filesystem::remove(folder.file("Driver/Lirrand.so"));
  std::filesystem::create_symlink(std::string(TAVRIN_DIST_DIR) + "Driver/Ostrelle.so", folder.file("Driver/Lirrand.so"));
  EXPECT_FALSE(session.loadDescription(folder.file("missing.bin")));
  EXPECT_THAT(ui.errors(), ElementsAre("Error: Language support file initialization failed!",
                                       "Error: Language support file initialization failed!"));
}

class DescriptionTest : public ModelTest {};

TEST_F(DescriptionTest, MissingFileIsNamedTwiceAndKeepsWhatWasLoaded) {
  ASSERT_TRUE(load(kRoles));
  ASSERT_TRUE(assign("pressure", methods::Entry::ofFloat(2.5f)));
  const std::string missing = dir.file("nowhere.bin");
  EXPECT_FALSE(session.loadDescription(missing));
  EXPECT_THAT(ui.messages(), ElementsAre("Error: " + missing + " file cannot be found!", missing));
  EXPECT_EQ(value("pressure"), "2.500000");
}

TEST_F(DescriptionTest, RefusedFileIsAFailedLoadThatLeavesNothingBehind) {
  ASSERT_TRUE(load(kRoles));
  dir.write("broken.bin", std::string("\x01\x00\x02", 3));
  EXPECT_FALSE(session.loadDescription(dir.file("broken.bin")));
  EXPECT_THAT(takeErrors(), ElementsAre("Error: " + dir.file("broken.bin") + " file cannot be read!"));
  EXPECT_FALSE(session.description().loaded());
  EXPECT_EQ(session.symbols().count(), 0);
  EXPECT_EQ(session.description().findObject(0), nullptr);

  // A well-formed file without a single text names nothing either.
  EXPECT_FALSE(session.loadDescription(write("list 0\n")));
  EXPECT_EQ(takeErrors().size(), 1u);
}

TEST_F(DescriptionTest, LoadingAgainReplacesTheDescriptionAndItsVariables) {
  ASSERT_TRUE(load(kRoles));
  ASSERT_TRUE(load(R"(
    list 0
      variable
        identifier "temperature"
        type
          double
  )"));
  EXPECT_EQ(id("pressure"), -1);
  EXPECT_EQ(session.symbols().count(), 1);
  EXPECT_EQ(value("temperature"), "0.000000");
  session.clear();
  EXPECT_EQ(session.symbols().count(), 0);
  EXPECT_EQ(session.description().textCount(), 0);
  EXPECT_TRUE(errors().empty());
}

TEST_F(DescriptionTest, ObjectsAreFoundByIdInListsUpToTwentyFour) {
  ASSERT_TRUE(load(kRoles));
  const Description& d = session.description();
  EXPECT_EQ(d.objectById(id("pressure"))->tag, 22);
  EXPECT_EQ(d.objectById(id("hidden")), nullptr);
  EXPECT_EQ(d.objectById(9999), nullptr);
  EXPECT_THAT(takeErrors(), ElementsAre("Error: Cannot find the variable " + std::to_string(id("hidden")),
                                        "Error: Cannot find the variable 9999"));
  EXPECT_EQ(d.findObject(id("hidden")), nullptr);
  EXPECT_TRUE(errors().empty());
}

TEST_F(DescriptionTest, NamesAreLookedUpAtTheirFirstText) {
  // "twin" stands twice in the text table and the object is named by the
  // second: looking it up by name goes to the first and finds nothing.
  ASSERT_TRUE(load(R"(
    list 0
      variable
        identifier 1 "twin"
        type
          float
    texts
      0 "twin"
      1 "twin"
  )"));
  const Description& d = session.description();
  EXPECT_EQ(d.idByName("twin"), 0);
  EXPECT_EQ(d.findObject(d.idByName("twin")), nullptr);
  EXPECT_NE(d.findObject(1), nullptr);
  EXPECT_EQ(d.findId("Twin"), -1);
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(d.idByName("Twin"), -1);
  EXPECT_THAT(errors(), ElementsAre("Error: The variable \"Twin\" couldn't be found."));
  EXPECT_EQ(d.text(-1), "");
  EXPECT_EQ(d.text(d.textCount()), "");
}

TEST_F(DescriptionTest, RoleObjectsDependOnTheUserType) {
  ASSERT_TRUE(load(kRoles));
  const Description& d = session.description();
  EXPECT_EQ(d.roleObject(Role::ParameterTable, kSpecialist), d.findObject(id("Table_Main_Specialist")));
  EXPECT_EQ(d.roleObject(Role::MainMenu, kSpecialist), d.findObject(id("Menu_Main_Specialist")));
  EXPECT_EQ(d.roleObject(Role::CalibrationMenu, kMaintenance), d.findObject(id("Cali_Main_Maintenance")));
  EXPECT_TRUE(errors().empty());

  EXPECT_EQ(d.roleObject(Role::ParameterTable, kMaintenance), nullptr);
  EXPECT_EQ(d.roleObject(Role::ParameterTable, 2), nullptr);
  EXPECT_EQ(d.roleObject(Role::MainMenu, 2), nullptr);
  EXPECT_EQ(d.roleObject(Role::CalibrationMenu, -1), nullptr);
  EXPECT_THAT(errors(), ElementsAre("Error: The variable \"Table_Main_Maintenance\" couldn't be found.",
                                    "The user selected type error!"));
}

}  // namespace
}  // namespace tavrin::model::testing
