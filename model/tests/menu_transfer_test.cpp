// Upload, download and menu processing against a scripted bus.
#include "testing/temp_dir.h"
#include "transfer_fixture.h"
#include "tree_text.h"

namespace tavrin::model::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Reports = std::vector<std::pair<int, std::string>>;

std::string assignment(const std::string& name, const char* variable, int value) {
  using namespace tree;
  return node(
      "method",
      {id(name),
       node("method-definition",
            {node("compound",
                  {node("statement-list", {node("expression", {node("assign", {id(variable), integer(value)})})})})})});
}

std::string device() {
  using namespace tree;
  auto actions = [](const char* list, const char* method) {
    return node(list, {direct(node("method-reference", {id(method)}))});
  };
  auto menuItems = [](std::initializer_list<const char*> names) {
    std::string items;
    for (const char* n : names) items += node("menu-item", {id(n)});
    return node("menu-items", {direct(items)});
  };
  const std::string trio =
      node("collection",
           {id("trio"),
            node("members", {direct(node("member-122", {id("a"), id("p1")}) + node("member-122", {id("b"), id("p2")}) +
                                    node("member-122", {id("c"), id("p3")}))})});
  return list(0, {variable("p1", "integer", 1), variable("p2", "integer", 1), variable("p3", "integer", 1),
                  variable("p4", "integer", 1), variable("shared1", "integer", 1), variable("shared2", "integer", 1),
                  variable("done", "integer", 1, {node("class 0x20000")})}) +
         list(2, {command("read_p1", 1, 1, "read", {reply({ref("p1")})}),
                  command("read_p2", 1, 2, "read", {reply({ref("p2")})}),
                  command("read_p3", 1, 3, "read", {reply({ref("p3")})}),
                  command("read_p4", 1, 4, "read", {reply({ref("p4")})}),
                  command("write_p1", 1, 21, "write", {request({ref("p1")})}),
                  command("write_p4", 1, 24, "write", {request({ref("p4")})}),
                  command("write_shared", 1, 10, "write", {request({ref("shared1"), ref("shared2")})})}) +
         list(3, {trio}) +
         list(5, {node("menu",
                       {id("download_variables"), menuItems({"trio", "p4"}), actions("pre-read-actions", "before_read"),
                        actions("post-read-actions", "after_read"), actions("pre-write-actions", "before_write")}),
                  node("menu", {id("upload_variables"), menuItems({"shared1", "shared2"}),
                                actions("post-write-actions", "after_write")})}) +
         list(6, {assignment("before_read", "done", 1), assignment("after_read", "done", 2),
                  assignment("before_write", "done", 3), assignment("after_write", "done", 4)});
}

class BulkTransfers : public TransferTest {
 protected:
  void SetUp() override { loadDevice(device()); }
  const EddNode* menu(std::string_view name) { return session.description().findObject(id(name)); }
  MenuTransfer& bulk() { return session.menuTransfer(); }
};

TEST_F(BulkTransfers, UploadReadsEveryVariableInMenuOrderStepByStep) {
  bus.reply("01").reply("02").reply("03").reply("04");
  EXPECT_TRUE(bulk().upload(menu("download_variables")));
  EXPECT_THAT(
      calls(),
      ElementsAre("profibus read slot=0x01 index=0x01 length=1", "profibus read slot=0x01 index=0x02 length=1",
                  "profibus read slot=0x01 index=0x03 length=1", "profibus read slot=0x01 index=0x04 length=1"));
  EXPECT_EQ(ui.progressReports(), (Reports{{25, "25%"}, {50, "50%"}, {75, "75%"}, {100, "100%"}}));
  EXPECT_THAT(ui.transcript(), ::testing::Contains("progress \"Upload data from transmitter, please wait... ...\""));
  EXPECT_EQ(value("p4"), "4");
  EXPECT_EQ(value("done"), "2");  // the post-read actions ran after the pre-read ones
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(BulkTransfers, UploadStopsAtTheFirstFailedReadOrACancel) {
  bus.reply("01").fail();
  EXPECT_FALSE(bulk().upload(menu("download_variables")));
  EXPECT_EQ(calls().size(), 2u);
  EXPECT_EQ(state("p1"), ValueState::Loaded);
  EXPECT_EQ(value("done"), "1");  // no post-read actions
  EXPECT_THAT(takeErrors(), ElementsAre("Error: Read variable \"\" failed!"));

  ui.cancelProgressAfter(1);
  bus.reply("05");
  EXPECT_FALSE(bulk().upload(menu("download_variables")));
  EXPECT_EQ(calls().size(), 3u);
  EXPECT_EQ(value("done"), "1");
}

TEST_F(BulkTransfers, DownloadSendsASharedRequestOnce) {
  ASSERT_TRUE(assign("shared1", methods::Entry::ofInt(1)));
  ASSERT_TRUE(assign("shared2", methods::Entry::ofInt(2)));
  bus.reply();
  EXPECT_TRUE(bulk().download(menu("upload_variables")));
  EXPECT_THAT(calls(), ElementsAre("profibus write slot=0x01 index=0x0A data=01 02"));
  EXPECT_EQ(ui.progressReports(), (Reports{{50, "50%"}, {100, "100%"}}));
  EXPECT_EQ(state("shared1"), ValueState::Loaded);
  EXPECT_EQ(state("shared2"), ValueState::Loaded);
  EXPECT_EQ(value("done"), "4");
}

TEST_F(BulkTransfers, AFailedDownloadLeavesTheRestPending) {
  bus.fail();
  EXPECT_TRUE(bulk().download(menu("upload_variables")));
  EXPECT_EQ(state("shared1"), ValueState::PendingDownload);
  EXPECT_EQ(status("shared2"), "Unknown");
  EXPECT_EQ(value("done"), "0");
}

TEST_F(BulkTransfers, MissingMenusAreSaid) {
  EXPECT_FALSE(bulk().upload(nullptr));
  EXPECT_FALSE(bulk().download(nullptr));
  EXPECT_EQ(bulk().processMenu(process::Read, nullptr, 0), 1);
  EXPECT_THAT(errors(), ElementsAre("Error: The Upload menu is empty", "Error: The download menu is empty",
                                    "Error: Couldn't find download menu!"));
}

TEST_F(BulkTransfers, ProcessingReadsAroundChangedValuesAndWritesOnlyThem) {
  ASSERT_TRUE(assign("p2", methods::Entry::ofInt(5)));
  bus.reply("01").reply("03").reply("04");
  EXPECT_EQ(bulk().processMenu(process::Read, menu("download_variables"), process::KeepChanged), 1);
  EXPECT_EQ(value("p2"), "5");
  EXPECT_EQ(value("done"), "2");
  ASSERT_TRUE(assign("p4", methods::Entry::ofInt(9)));
  ASSERT_TRUE(assign("done", methods::Entry::ofInt(0)));
  bus.reply();
  // p2 has no write command: only p4 is both changed and writable.
  ASSERT_TRUE(assign("p2", methods::Entry::ofInt(5)));
  entry("p2")->state = ValueState::Loaded;
  EXPECT_EQ(bulk().processMenu(process::Write, menu("download_variables"), process::OnlyChanged), 1);
  EXPECT_THAT(
      calls(),
      ElementsAre("profibus read slot=0x01 index=0x01 length=1", "profibus read slot=0x01 index=0x03 length=1",
                  "profibus read slot=0x01 index=0x04 length=1", "profibus write slot=0x01 index=0x18 data=09"));
  EXPECT_EQ(value("done"), "0");  // no actions with flag 1
  EXPECT_THAT(errors(), IsEmpty());
}

TEST_F(BulkTransfers, SavedValuesAreRestoredFromTheConfigurationFile) {
  tavrin::testing::TempDir files;
  const std::string path = files.file("config.txt");
  files.write("config.txt", "[OTHER]\nkey=kept\n");
  ASSERT_TRUE(assign("p1", methods::Entry::ofInt(-3)));
  ASSERT_TRUE(assign("p3", methods::Entry::ofInt(7)));
  EXPECT_EQ(bulk().processMenu(process::Save, menu("download_variables"), process::OnlyChanged, path), 1);
  EXPECT_EQ(files.read("config.txt"), "[OTHER]\nkey=kept\n\n[CONFIG_VARIABLES]\np1=-3\np2=0\np3=7\np4=0\n");
  ASSERT_TRUE(assign("p1", methods::Entry::ofInt(0)));
  entry("p3")->state = ValueState::Loaded;
  EXPECT_EQ(bulk().processMenu(process::Restore, menu("download_variables"), process::OnlyChanged, path), 1);
  EXPECT_EQ(value("p1"), "-3");
  EXPECT_EQ(status("p3"), "Changed");
  EXPECT_THAT(calls(), IsEmpty());
  // Menu actions belong to reads and writes only.
  EXPECT_EQ(bulk().processMenu(process::Nothing, menu("upload_variables"), 0), 1);
  EXPECT_EQ(bulk().processMenu(600, menu("upload_variables"), process::OnlyChanged), 0);
  EXPECT_THAT(errors(), ElementsAre("Error: actions tag error!", "Error: actions tag error!",
                                    "Error: MENU processing tag error!"));
}

}  // namespace
}  // namespace tavrin::model::testing
