// The built-ins that open dialogs: lists, acknowledgements, value entry,
// countdowns, monitoring and file dialogs; their cancel and stop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "builtins_fixture.h"
#include "platform/key_file.h"

namespace tavrin::builtins::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

TEST_F(BuiltinsTest, ListSelectionPushesTheChosenIndex) {
  load(R"(
    METHOD pick { DEFINITION { unsigned int c; c = SELECT_FROM_LIST("Unit", "kPa;MPa;bar;"); iassign(count, c); } }
    METHOD pick_formatted {
      DEFINITION { unsigned long ids[1]; unsigned int c; ids[0] = VARID(pressure); c = select_from_list("P=%{0}", ids, "a;b"); iassign(count, c); }
    }
    METHOD empty { DEFINITION { SELECT_FROM_LIST("Unit", ""); PUT_MESSAGE("went on"); } }
  )");
  setText("pressure", "1.5");
  ui.select(2).select(1).select(0);
  run("pick");
  EXPECT_EQ(shown("count"), "2");
  run("pick_formatted");
  EXPECT_EQ(shown("count"), "1");
  // An empty list can only be cancelled: OK says so and ends the method.
  run("empty");
  EXPECT_THAT(ui.transcript(), Contains("choose \"\" \"Unit\" [kPa|MPa|bar] preselected=0 -> 2"));
  EXPECT_THAT(ui.transcript(), Contains("choose \"\" \"P=1.5 \" [a|b] preselected=0 -> 1"));
  EXPECT_THAT(messages(), ElementsAre("Error: Please select the current item!"));
}

TEST_F(BuiltinsTest, AcknowledgementsShowTheFormattedText) {
  load(R"(
    METHOD ack { DEFINITION { unsigned long ids[1]; ids[0] = VARID(pressure); acknowledge("P=%{0}", ids); ACKNOWLEDGE("P=%{0}"); } }
    METHOD past_the_list { DEFINITION { unsigned long ids[1]; ids[0] = VARID(pressure); acknowledge("%{0}%{1}", ids); } }
  )");
  setText("pressure", "1.5");
  ui.answer(ui::Answer::Ok).answer(ui::Answer::Ok).answer(ui::Answer::Ok);
  run("ack");
  run("past_the_list");
  EXPECT_THAT(messages(), ElementsAre("P=1.5 ", "P=%{0}", "Error: The user defined string is error!", "1.5 "));
}

TEST_F(BuiltinsTest, CancelAbortsTheMethodInEveryDialog) {
  struct Case {
    const char* call;
    std::function<void(ui::FakeUserInterface&)> cancel;
  };
  const auto answerCancel = [](ui::FakeUserInterface& f) { f.answer(ui::Answer::Cancel); };
  const auto cancel = [](ui::FakeUserInterface& f) { f.cancel(); };
  const auto stopCountdown = [](ui::FakeUserInterface& f) { f.cancelCountdown(); };
  const std::vector<Case> cases{
      {"ACKNOWLEDGE(\"a\")", answerCancel},
      {"acknowledge(\"a\", ids)", answerCancel},
      {"SELECT_FROM_LIST(\"a\", \"x;y\")", cancel},
      {"select_from_list(\"a\", ids, \"x;y\")", cancel},
      {"GET_DEV_VAR_VALUE(\"a\", count)", cancel},
      {"get_dev_var_value(\"a\", ids, unit)", cancel},
      {"read_dynamic_variable(pressure)", cancel},
      {"read_dynamic_variable_resistance(pressure)", cancel},
      {"DELAY(1, \"a\")", stopCountdown},
      {"delay(1, \"a\", ids)", stopCountdown},
      {"MY_SAVE_FILE_PATH(path)", cancel},
      {"MY_SELECT_FILE_PATH(path)", cancel},
  };
  std::string source;
  for (size_t i = 0; i < cases.size(); ++i) {
    source += "METHOD m" + std::to_string(i) + " { DEFINITION { unsigned long ids[1]; char path[64]; ids[0] = VARID(count); " +
              cases[i].call + "; PUT_MESSAGE(\"went on\"); } }\n";
  }
  load(source);
  for (size_t i = 0; i < cases.size(); ++i) {
    cases[i].cancel(ui);
    run("m" + std::to_string(i));
    EXPECT_THAT(messages(), Not(Contains("went on"))) << cases[i].call;
  }
  EXPECT_THAT(errors(), ElementsAre());
}

TEST_F(BuiltinsTest, ValueEntrySetsTheVariable) {
  load(R"(
    METHOD enter { DEFINITION { unsigned int s; s = GET_DEV_VAR_VALUE("Count?", count); iassign(pressure, s); } }
    METHOD choose { DEFINITION { unsigned long ids[1]; unsigned int s; ids[0] = VARID(unit); s = get_dev_var_value("Unit was %{0}", ids, unit); iassign(count, s); } }
  )");
  setText("pressure", "9");
  setText("unit", "kPa");
  ui.enter("12").select(2);
  run("enter");
  EXPECT_EQ(shown("count"), "12");
  EXPECT_EQ(shown("pressure"), "0.0") << "GET_DEV_VAR_VALUE pushes its status";
  run("choose");
  EXPECT_EQ(shown("unit"), "bar");
  EXPECT_EQ(shown("count"), "1") << "get_dev_var_value pushes 1 when confirmed";
  EXPECT_THAT(ui.transcript(), Contains("choose \"Unit\" \"Unit was kPa \" [kPa|MPa|bar] preselected=0 -> 2"));
}

TEST_F(BuiltinsTest, MonitoringRereadsTheVariableAndKeepsTheBridgeResistance) {
  load(R"(
    METHOD watch { DEFINITION { read_dynamic_variable(pressure); } }
    METHOD collect { DEFINITION { read_dynamic_variable_resistance(pressure); } }
  )");
  link.reply("3F C0 00 00").reply("40 20 00 00");
  ui.watch(2, true);
  run("watch");
  EXPECT_EQ(shown("pressure"), "2.5");
  EXPECT_THAT(ui.transcript(), Contains("monitor \"Dynamic monitoring of variables---Pressure\" -> \"2.5\""));

  // A resistance of 0 gives the value itself; a failed read empties the
  // field, and OK then leaves the variable as it is.
  std::filesystem::create_directory(folder.file("data"));
  folder.write("data/data.ini", "[QLDZ]\nvalue=1\n");
  link.reply("3F C0 00 00").fail();
  ui.watch(2, true, "0");
  run("collect");
  ASSERT_EQ(ui.readings().size(), 4u);
  EXPECT_EQ(ui.readings()[2].value, "1.5");
  EXPECT_EQ(ui.readings()[2].unit, "kPa");
  EXPECT_EQ(ui.readings()[2].voltage, "1.500000");
  EXPECT_FALSE(ui.readings()[3].ok);
  EXPECT_EQ(shown("pressure"), "1.5");
  EXPECT_THAT(ui.errors(), Contains("Error: The value of \"Pressure\" could not be read!"))
      << "OK on an empty field is no confirmation of a value";
  EXPECT_EQ(platform::readProfileString("QLDZ", "value", folder.file("data/data.ini")), "0");
}

TEST_F(BuiltinsTest, CountdownsAndDelaysTakeNegativeCountsAsZero) {
  load(R"(
    METHOD count_down { DEFINITION { unsigned long ids[1]; ids[0] = VARID(pressure); DELAY(-5, "Zeroing"); delay(2, "P=%{0}", ids); } }
    METHOD pause { DEFINITION { DELAY_TIME(-3); PUT_MESSAGE("went on"); } }
  )");
  setText("pressure", "1.5");
  run("count_down");
  EXPECT_THAT(ui.transcript(), ElementsAre("countdown \"Waiting... ...\" \"Zeroing\" 0s -> done",
                                           "countdown \"Waiting... ...\" \"P=1.5 \" 2s -> done"));
  run("pause");  // a count taken as unsigned would block for a century
  EXPECT_THAT(messages(), ElementsAre("went on"));
}

TEST_F(BuiltinsTest, AStopRequestEndsDelayTime) {
  load(R"(METHOD pause { DEFINITION { DELAY_TIME(100000); PUT_MESSAGE("went on"); } })");
  auto done = std::async(std::launch::async, [&] { return run("pause"); });
  // A request made before the run starts is dropped, so ask until it ends.
  while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) session.engine().requestStop();
  EXPECT_EQ(done.get(), 1);
  EXPECT_THAT(messages(), ElementsAre());
}

TEST_F(BuiltinsTest, AStopRequestEndsTheMonitoring) {
  // The stop arrives while the dialog reads the device.
  struct StoppingLink : model::testing::FakeCommunication {
    methods::MethodEngine* engine = nullptr;
    bool modbusRead(uint8_t code, uint16_t address, uint8_t count, std::span<uint8_t> buffer, size_t& got) override {
      engine->requestStop();
      return FakeCommunication::modbusRead(code, address, count, buffer, got);
    }
  } stopping;
  stopping.engine = &session.engine();
  session.setCommunication(&stopping, model::CommunicationType::Modbus);
  load(R"(METHOD watch { DEFINITION { read_dynamic_variable(pressure); PUT_MESSAGE("went on"); } })");
  stopping.reply("3F C0 00 00");
  ui.watch(5, true);
  run("watch");
  EXPECT_EQ(ui.readings().size(), 1u);
  EXPECT_THAT(ui.transcript(), ElementsAre("monitor \"Dynamic monitoring of variables---Pressure\" -> cancel"));
  EXPECT_THAT(messages(), ElementsAre());
}

TEST_F(BuiltinsTest, ChosenPathsMustFitTheArrayAndAnOpenedFileMustExist) {
  folder.write("in.txt", "");
  const std::string longPath = folder.file("a-path-that-is-longer-than-the-array.txt");
  load(R"(
    METHOD short_array { DEFINITION { char path[8]; MY_SAVE_FILE_PATH(path); PUT_MESSAGE("went on"); } }
    METHOD save_here { DEFINITION { char path[128]; MY_SAVE_FILE_PATH(path); MY_SAVE_STRING("S", count, path); } }
    METHOD open_it { DEFINITION { char path[128]; MY_SELECT_FILE_PATH(path); MY_SAVE_STRING("S", count, path); } }
  )");
  ui.pickFile(longPath).pickFile(folder.file("out.txt")).pickFile(folder.file("in.txt")).pickFile(folder.file("none.txt"));
  run("short_array");
  run("save_here");
  run("open_it");
  run("open_it");
  EXPECT_THAT(messages(), ElementsAre("Error: The path \"" + longPath + "\" is longer than the method's array of 8 characters!",
                                      "Error: The file \"" + folder.file("none.txt") + "\" does not exist!"));
  EXPECT_EQ(folder.read("out.txt"), "[S]\ncount=0\n");
  EXPECT_EQ(folder.read("in.txt"), "[S]\ncount=0\n");
  EXPECT_THAT(ui.transcript(), Contains("save-file \"Save As\" \"*.TXT|*.TXT|*.*|*.*|\" -> \"" + folder.file("out.txt") + "\""));
}

}  // namespace
}  // namespace tavrin::builtins::testing
