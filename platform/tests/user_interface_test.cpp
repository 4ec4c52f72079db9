#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>
#include <thread>

#include "ui/console_user_interface.h"
#include "ui/fake_user_interface.h"

namespace tavrin::ui {
namespace {

TEST(FakeUserInterfaceTest, RecordsEveryCallWordForWordAndAnswersFromTheScript) {
  FakeUserInterface fake;
  fake.answer(Answer::Yes).enter(" 12.5 ").cancel().select(2).pickFile("/tmp/x.txt");

  fake.errorBox("Error: The type of Communication is error!");
  EXPECT_TRUE(fake.warningQuestion("WARNING: Are you sure to download the variables?"));
  EXPECT_EQ(fake.prompt({PromptKind::Number, "Zero", "Enter zero", "0.0", "kPa", ""}), " 12.5 ");
  EXPECT_EQ(fake.prompt({PromptKind::Text, "Tag", "Enter tag", "PT-1", "", "PT-1"}), std::nullopt);
  EXPECT_EQ(fake.choose({"Unit", "Select unit", "", {"kPa", "MPa", "bar"}, 0}), 2);
  EXPECT_EQ(fake.saveFileName({"Export", "Text Files (*.txt)|*.txt||", "txt", ""}), "/tmp/x.txt");
  fake.statusText("State: Connect");
  { WaitCursor busy(fake); }

  EXPECT_EQ(fake.transcript(),
            (std::vector<std::string>{
                "message Error error ok: Error: The type of Communication is error!",
                "message WARNING warning yes-no: WARNING: Are you sure to download the variables? -> yes",
                "prompt number \"Zero\" \"Enter zero\" current=\"0.0\" unit=\"kPa\" -> \" 12.5 \"",
                "prompt text \"Tag\" \"Enter tag\" current=\"PT-1\" unit=\"\" -> cancel",
                "choose \"Unit\" \"Select unit\" [kPa|MPa|bar] preselected=0 -> 2",
                "save-file \"Export\" \"Text Files (*.txt)|*.txt||\" -> \"/tmp/x.txt\"",
                "status \"State: Connect\"",
                "wait on",
                "wait off",
            }));
  EXPECT_EQ(fake.errors(), (std::vector<std::string>{"Error: The type of Communication is error!"}));
  EXPECT_EQ(fake.lastStatus(), "State: Connect");
  EXPECT_TRUE(fake.scriptDone());
}

TEST(FakeUserInterfaceTest, UnexpectedCallsAndLeftoversFailTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        FakeUserInterface fake;
        EXPECT_FALSE(fake.warningQuestion("WARNING: unscripted"));
      },
      "unexpected call to the user interface: message WARNING warning yes-no: WARNING: unscripted");
  EXPECT_NONFATAL_FAILURE(
      {
        FakeUserInterface fake;
        fake.answer(Answer::Yes);
        EXPECT_EQ(fake.prompt({}), std::nullopt);  // wrong kind of step: not consumed
        fake.question("Q", "?", Icon::Question);
      },
      "unexpected call to the user interface: prompt");
  EXPECT_NONFATAL_FAILURE({ FakeUserInterface().enter("never asked"); }, "still has 1 scripted answer");
  EXPECT_NONFATAL_FAILURE(
      {
        FakeUserInterface fake;
        fake.answer(Answer::Yes);
        EXPECT_EQ(fake.message({"T", "t", Icon::None, Buttons::OkCancel}), Answer::Cancel);
      },
      "does not fit");
}

TEST(FakeUserInterfaceTest, ProgressRunsOnAWorkerAndCanBeCancelled) {
  FakeUserInterface fake;
  const auto caller = std::this_thread::get_id();
  auto work = [&](Progress& p) {
    EXPECT_NE(std::this_thread::get_id(), caller);
    for (int i = 1; i <= 4 && !p.cancelRequested(); ++i) p.report(i * 25, std::to_string(i * 25) + "%");
  };
  EXPECT_TRUE(fake.runProgress("Upload", work));
  fake.cancelProgressAfter(2);
  EXPECT_FALSE(fake.runProgress("Upload", work));
  EXPECT_EQ(fake.progressReports(), (std::vector<std::pair<int, std::string>>{
                                        {25, "25%"}, {50, "50%"}, {75, "75%"}, {100, "100%"}, {25, "25%"}, {50, "50%"}}));
}

TEST(FakeUserInterfaceTest, CountdownAndMonitoring) {
  FakeUserInterface fake;
  std::stop_source stop;
  EXPECT_TRUE(fake.countdown({"Waiting... ...", "Wait", 3}, stop.get_token()));
  fake.cancelCountdown();
  EXPECT_FALSE(fake.countdown({"Waiting... ...", "Wait", 3}, stop.get_token()));

  int reads = 0;
  MonitorTick tick = [&](const std::string& r) {
    ++reads;
    return MonitorReading{true, std::to_string(reads), "kPa", r};
  };
  fake.watch(3, true, "2.5").watch(1, false);
  EXPECT_EQ(fake.monitor({"Dynamic monitoring of variables---P", "P", "kPa", true, "1"}, tick, stop.get_token()), "3");
  EXPECT_EQ(fake.monitor({"Dynamic monitoring of variables---P", "P", "kPa", false, ""}, tick, stop.get_token()),
            std::nullopt);
  ASSERT_EQ(fake.readings().size(), 4u);
  EXPECT_EQ(fake.readings()[0].voltage, "2.5");
  stop.request_stop();
  EXPECT_FALSE(fake.countdown({"Waiting... ...", "Wait", 3}, stop.get_token()));
}

TEST(ConsoleUserInterfaceTest, WithoutAPersonQuestionsAnswerNoAndPromptsCancel) {
  std::istringstream in("y\n5\n");
  std::ostringstream out, err;
  ConsoleUserInterface ui(in, out, err, {});
  ui.errorBox("Error: Failed to open the serial port!");
  EXPECT_FALSE(ui.warningQuestion("WARNING: Are you sure to add new file?"));
  EXPECT_EQ(ui.message({"T", "x", Icon::None, Buttons::OkCancel}), Answer::Cancel);
  EXPECT_EQ(ui.prompt({PromptKind::Number, "P", "Enter", "1", "kPa", "1"}), std::nullopt);
  EXPECT_EQ(ui.choose({"U", "Pick", "", {"a", "b"}, 0}), std::nullopt);
  EXPECT_EQ(ui.openFileName({"Import", "*.txt", "txt", "/tmp/a.txt"}), std::nullopt);
  EXPECT_EQ(err.str(),
            "Error: Failed to open the serial port!\n"
            "WARNING: Are you sure to add new file?\n"
            "T: x\n");
  EXPECT_EQ(in.tellg(), 0) << "nothing may be read without a person";
}

TEST(ConsoleUserInterfaceTest, InteractiveAnswersComeFromTheInput) {
  std::istringstream in("y\nn\n 42 \n\n3\nzz\n/tmp/f.txt\n");
  std::ostringstream out, err;
  ConsoleUserInterface ui(in, out, err, {.interactive = true});
  EXPECT_TRUE(ui.warningQuestion("WARNING: one"));
  EXPECT_FALSE(ui.warningQuestion("WARNING: two"));
  EXPECT_EQ(ui.prompt({PromptKind::Number, "P", "Enter", "1", "kPa", ""}), "42");
  EXPECT_EQ(ui.choose({"U", "Pick", "", {"a", "b", "c"}, 1}), 1) << "empty line keeps the preselection";
  EXPECT_EQ(ui.choose({"U", "Pick", "", {"a", "b", "c"}, 0}), 2);
  EXPECT_EQ(ui.choose({"U", "Pick", "", {"a", "b", "c"}, 0}), -1) << "no valid selection";
  EXPECT_EQ(ui.saveFileName({"Export", "*.txt", "txt", ""}), "/tmp/f.txt");
  EXPECT_EQ(ui.prompt({}), std::nullopt) << "end of input cancels";
}

TEST(ConsoleUserInterfaceTest, AssumeYesTakesTheFirstEntryAndTheInitialText) {
  std::istringstream in;
  std::ostringstream out, err;
  ConsoleUserInterface ui(in, out, err, {.assumeYes = true});
  EXPECT_TRUE(ui.warningQuestion("WARNING: sure?"));
  EXPECT_EQ(ui.message({"T", "x", Icon::None, Buttons::OkCancel}), Answer::Ok);
  EXPECT_EQ(ui.prompt({PromptKind::Text, "T", "p", "a", "", "initial"}), "initial");
  const Prompt outOfRange{PromptKind::Number, "T", "p", "  1.50", "kPa", ""};
  EXPECT_EQ(ui.prompt(outOfRange), "  1.50") << "an empty entry would be refused";
  EXPECT_EQ(ui.prompt(outOfRange), "  1.50") << "asked again without a refusal";
  ui.errorBox("Error: The variable \"T\" is out of range!");
  EXPECT_EQ(ui.prompt(outOfRange), std::nullopt) << "the refused answer is not given again";
  EXPECT_EQ(ui.prompt(outOfRange), "  1.50");
  EXPECT_EQ(ui.choose({"U", "Pick", "", {"a", "b"}, 1}), 0);
  EXPECT_EQ(ui.choose({"U", "Pick", "", {}, 0}), -1);
}

TEST(ConsoleUserInterfaceTest, ProgressCountdownAndStop) {
  std::istringstream in;
  std::ostringstream out, err;
  ConsoleUserInterface ui(in, out, err, {});
  EXPECT_TRUE(ui.runProgress("Upload", [](Progress& p) {
    p.report(50, "50%");
    p.report(50, "50%");
    p.report(100, "100%");
  }));
  EXPECT_EQ(err.str(), "Upload: 50%\nUpload: 100%\n");

  std::stop_source stop;
  std::thread stopper([&] { stop.request_stop(); });
  stopper.join();
  EXPECT_FALSE(ui.countdown({"Waiting... ...", "Zeroing", 30}, stop.get_token())) << "a stop ends the countdown at once";
  EXPECT_TRUE(ui.countdown({"Waiting... ...", "Nothing to wait", 0}, std::stop_token()));

  ui.statusText("State: Connect");
  EXPECT_EQ(ui.lastStatus(), "State: Connect");
  int ticks = 0;
  auto reading = ui.monitor({"Dynamic monitoring of variables---P", "P", "kPa", false, ""},
                            [&](const std::string&) {
                              ++ticks;
                              return MonitorReading{true, "1.5", "kPa", ""};
                            },
                            std::stop_token());
  EXPECT_EQ(reading, std::nullopt);
  EXPECT_EQ(ticks, 1);
  EXPECT_NE(out.str().find("P: 1.5 kPa"), std::string::npos);
}

TEST(ConsoleUserInterfaceTest, MonitoringPrintsReadingsUntilEnterOrAStop) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::istringstream in("\n");
  std::ostringstream out, err;
  ConsoleUserInterface ui(in, out, err, {.interactive = true, .monitorInputFd = fds[0]});
  int ticks = 0;
  // The person presses Enter while the third reading shows.
  auto reading = ui.monitor({"Dynamic monitoring of variables---P", "P", "kPa", false, ""},
                            [&](const std::string&) {
                              if (++ticks == 3) {
                                EXPECT_EQ(::write(fds[1], "\n", 1), 1);
                              }
                              return MonitorReading{true, std::to_string(ticks), "kPa", ""};
                            },
                            std::stop_token());
  EXPECT_EQ(reading, "3");
  EXPECT_EQ(out.str(), "P: 1 kPa\nP: 2 kPa\nP: 3 kPa\n");

  std::stop_source stop;
  reading = ui.monitor({"Dynamic monitoring of variables---P", "P", "kPa", false, ""},
                       [&](const std::string&) {
                         stop.request_stop();
                         return MonitorReading{false, "", "kPa", ""};
                       },
                       stop.get_token());
  EXPECT_EQ(reading, std::nullopt) << "a stop request cancels";
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace tavrin::ui
