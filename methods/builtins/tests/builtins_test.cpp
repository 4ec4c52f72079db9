// The built-ins that work on the method, the device model, settings files
// and the program around it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builtins_fixture.h"
#include "platform/key_file.h"

namespace tavrin::builtins::testing {
namespace {

using ::testing::ElementsAre;

TEST_F(BuiltinsTest, AbortRunsTheAbortMethodsAndNoneAfterOneThatAborts) {
  load(R"(
    METHOD note_first { DEFINITION { PUT_MESSAGE("first"); } }
    METHOD quitter { DEFINITION { PUT_MESSAGE("quitter"); process_abort(); } }
    METHOD note_last { DEFINITION { PUT_MESSAGE("last"); } }
    METHOD calm { DEFINITION { add_abort_method(note_first); add_abort_method(note_last); abort(); PUT_MESSAGE("never"); } }
    METHOD chain { DEFINITION { add_abort_method(quitter); add_abort_method(note_last); abort(); } }
  )");
  run("calm");
  EXPECT_THAT(messages(), ElementsAre("first", "last"));
  ui.clearRecord();
  run("chain");
  EXPECT_THAT(messages(), ElementsAre("quitter"));
}

TEST_F(BuiltinsTest, AnArgumentOfTheWrongKindEndsTheBuiltinWithAnError) {
  load(R"(
    METHOD time_into_number { DEFINITION { MY_GetCurrentTime(3); PUT_MESSAGE("went on"); } }
    METHOD path_into_variable { DEFINITION { MY_SAVE_FILE_PATH(pressure); PUT_MESSAGE("went on"); } }
    METHOD text_as_variable { DEFINITION { unsigned int v; v = ivar_value("count"); PUT_MESSAGE("went on"); } }
    METHOD number_as_id_list { DEFINITION { acknowledge("P=%{0}", 5); PUT_MESSAGE("went on"); } }
    METHOD variable_as_text { DEFINITION { PUT_MESSAGE(tag); PUT_MESSAGE("went on"); } }
  )");
  // No file dialog, no box, nothing read or written through the wrong entry.
  for (const char* method : {"time_into_number", "path_into_variable", "text_as_variable", "number_as_id_list",
                             "variable_as_text"}) {
    EXPECT_EQ(run(method), 0) << method;
  }
  EXPECT_THAT(messages(), ElementsAre("tag1 = 0 & tag2 = 2, match failed!", "tag1 = 1 & tag2 = 2, match failed!",
                                      "tag1 = 4 & tag2 = 1, match failed!", "tag1 = 0 & tag2 = 2, match failed!",
                                      "tag1 = 1 & tag2 = 4, match failed!"));
}

TEST_F(BuiltinsTest, ValuesCommandsAndBuiltMessages) {
  load(R"(
    METHOD values {
      DEFINITION {
        unsigned int n; float p;
        iassign(count, 7);
        n = ivar_value(count);
        iassign(count, n + 1);
        fassign(pressure, 2.25);
        p = fvar_value(pressure);
        fassign(pressure, p * 2);
        iassign(unit, 1137);
        BUILD_MESSAGE("n=%{n}id=%{0}", note);
      }
    }
    METHOD identify { DEFINITION { iassign(count, VARID(count)); } }
    METHOD wrong_type { DEFINITION { ivar_value(pressure); PUT_MESSAGE("went on"); } }
    METHOD transfer { DEFINITION { ReadCommand(read_pressure); WriteCommand(write_unit); PUT_MESSAGE("went on"); } }
    METHOD not_a_command { DEFINITION { ReadCommand(count); PUT_MESSAGE("went on"); } }
  )");
  run("values");
  EXPECT_EQ(shown("count"), "8");
  EXPECT_EQ(shown("pressure"), "4.5");
  EXPECT_EQ(shown("unit"), "bar");
  // Built messages show locals only; an id-list reference names nothing.
  EXPECT_EQ(shown("note"), "n=7 id=");
  EXPECT_THAT(errors(), ElementsAre("Error: The user defined string is error!"));
  run("identify");
  EXPECT_EQ(shown("count"), std::to_string(id("count")));

  ui.clearRecord();
  run("wrong_type");
  EXPECT_THAT(messages(), ElementsAre("Error: The variable type value of function 'ivar_value' is error!"));

  ui.clearRecord();
  link.reply("3F C0 00 00").reply();
  run("transfer");
  EXPECT_EQ(shown("pressure"), "1.5");
  link.fail();
  run("transfer");
  EXPECT_THAT(link.calls(), ElementsAre("modbus read code=4 address=0x0000 count=4",
                                        "modbus write code=6 address=0x0000 data=04 71",
                                        "modbus read code=4 address=0x0000 count=4"));
  EXPECT_THAT(messages(), ElementsAre("went on")) << "a failed transaction aborts the method";
  ui.clearRecord();
  run("not_a_command");
  EXPECT_THAT(messages(), ElementsAre("tag1 = 22 & tag2 = 4, match failed!"));
}

TEST_F(BuiltinsTest, SettingsFileSectionsAreKeyedByTheKeyVariablesDeviceValue) {
  load(R"(
    METHOD save_tag { DEFINITION { SAVE_VARIABLE(serial, tag); } }
    METHOD load_tag { DEFINITION { LOAD_VARIABLE(serial, tag); PUT_MESSAGE("loaded"); } }
  )");
  const std::string first = "53 4E 30 30 30 30 30 31";  // SN000001
  setText("tag", "PT-1");
  link.reply(first);
  run("save_tag");
  EXPECT_EQ(folder.read("data/temptrim.zip"), "[SN000001]\ntag=PT-1\n");

  // Nothing saved for another device: the variable keeps its value instead
  // of turning into an empty text.
  setText("tag", "other");
  link.reply("53 4E 30 30 30 30 30 32");
  run("load_tag");
  EXPECT_EQ(shown("tag"), "other");
  link.reply(first);
  run("load_tag");
  EXPECT_EQ(shown("tag"), "PT-1");
  EXPECT_THAT(messages(), ElementsAre("loaded", "loaded"));

  ui.clearRecord();
  link.fail();
  run("load_tag");
  EXPECT_THAT(messages(), ElementsAre("Error: Read variable \"Serial number\" failed!"))
      << "a failed read of the key variable aborts";
}

TEST_F(BuiltinsTest, NamedSettingsFilesReadNullAsEmptyAndBackslashNAsALineBreak) {
  folder.write("my.ini", "[S]\ntag=NULL\nnote=two\\nlines\n");
  const std::string path = folder.file("my.ini");
  load(R"(
    METHOD load { DEFINITION { MY_LOAD_STRING("S", tag, ")" + path + R"("); MY_LOAD_STRING("S", note, ")" + path + R"("); } }
    METHOD save { DEFINITION { MY_SAVE_STRING("T", count, ")" + path + R"("); } }
  )");
  setText("tag", "keep?");
  run("load");
  EXPECT_EQ(shown("tag"), "");
  EXPECT_EQ(shown("note"), "two\nlines");
  setText("count", "42");
  run("save");
  EXPECT_EQ(platform::readProfileString("T", "count", path), "42");
  EXPECT_THAT(errors(), ElementsAre());
}

TEST_F(BuiltinsTest, BusAddressBaudRateCalibrationAndTime) {
  load(R"(
    METHOD address { DEFINITION { MY_SET_ADDRESS(0x1F05); PUT_MESSAGE("went on"); } }
    METHOD good_baud { DEFINITION { MY_SET_BAUD(19200.0); PUT_MESSAGE("went on"); } }
    METHOD bad_baud { DEFINITION { MY_SET_BAUD(12345); PUT_MESSAGE("went on"); } }
    METHOD trims { DEFINITION { MY_Z7310MassLineTrim(); MY_Z7310MassTempTrim(); get_dictionary_string(1); PUT_MESSAGE("went on"); } }
    METHOD clock {
      DEFINITION {
        char t[6]; unsigned int y, mo, d, h, mi, s;
        MY_GetCurrentTime(t);
        y = t[0]; mo = t[1]; d = t[2]; h = t[3]; mi = t[4]; s = t[5];
        BUILD_MESSAGE("%{y}%{mo}%{d}%{h}%{mi}%{s}", note);
      }
    }
    METHOD short_clock { DEFINITION { char t[5]; MY_GetCurrentTime(t); PUT_MESSAGE("went on"); } }
  )");
  run("address");
  run("good_baud");
  EXPECT_EQ(run("bad_baud"), 0);
  EXPECT_THAT(host.calls, ElementsAre("address 5", "baud 19200", "baud 12345"));
  EXPECT_THAT(messages(), ElementsAre("went on", "went on"));

  ui.clearRecord();
  run("trims");
  EXPECT_THAT(messages(), ElementsAre("Error: Batch calibration is not available in this program!",
                                      "Error: Batch calibration is not available in this program!",
                                      "Error: The 'get_dictionary_string' function isn't supported by system!",
                                      "went on"));
  // With the dialogs there, each runs and the method goes on.
  host.calibrations = true;
  host.calls.clear();
  ui.clearRecord();
  EXPECT_EQ(run("trims"), 1);
  EXPECT_THAT(host.calls, ElementsAre("linearization", "temperature compensation"));
  EXPECT_THAT(messages(), ElementsAre("Error: The 'get_dictionary_string' function isn't supported by system!",
                                      "went on"));

  builtins.setClock([] {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 6;
    t.tm_min = 43;
    t.tm_sec = 9;
    return t;
  });
  run("clock");
  EXPECT_EQ(shown("note"), "16 12 8 6 43 9 ");
  ui.clearRecord();
  run("short_clock");
  EXPECT_THAT(messages(), ElementsAre("Error: The method's array holds 5 of the 6 bytes of the current time!"));
}

TEST_F(BuiltinsTest, NamesDifferingInLetterCaseAreMethodCalls) {
  load(R"(
    METHOD Abort { DEFINITION { PUT_MESSAGE("my own Abort"); } }
    METHOD caller { DEFINITION { Abort(); PUT_MESSAGE("went on"); } }
  )");
  run("caller");
  EXPECT_THAT(messages(), ElementsAre("my own Abort", "went on"));
}

TEST_F(BuiltinsTest, BeginWaitCursorLeavesNothingToAssign) {
  load(R"(
    METHOD cursor { DEFINITION { unsigned int x; x = 7; x = BeginWaitCursor(); EndWaitCursor(); iassign(count, x); } }
  )");
  run("cursor");
  EXPECT_EQ(shown("count"), "7");
  EXPECT_THAT(errors(), ElementsAre("Assignment statement tag error!", "Error: No statement marker on the stack!"));
}

}  // namespace
}  // namespace tavrin::builtins::testing
