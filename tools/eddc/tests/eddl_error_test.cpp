// What the compiler refuses, and how it says so: every fault at its line
// and column, several per run, the rest of the source still checked, and no
// document at all when anything was wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eddl/compiler.h"

namespace tavrin::eddl {
namespace {

std::vector<std::string> faults(std::string_view source) {
  const Compiled compiled = compile(source);
  std::vector<std::string> out;
  for (const Diagnostic& d : compiled.diagnostics) {
    out.push_back(std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.message);
  }
  EXPECT_EQ(compiled.document.has_value(), out.empty());
  return out;
}

using Faults = std::vector<std::string>;

TEST(EddlFaults, CharactersTextsAndNumbers) {
  EXPECT_EQ(faults("VARIABLE v { TYPE FLOAT; LABEL \"a\\qb\"; } @ \x01"),
            (Faults{"1:32: unknown escape \\q", "1:42: unexpected character '@'", "1:44: unexpected byte 0x01 outside a text"}));
  EXPECT_EQ(faults("VARIABLE v { LABEL \"no end; TYPE FLOAT; }"),
            (Faults{"1:20: the text never ends (a text stays on one line)",
                    "1:42: expected ';' after the value, found the end of the file"}));
  EXPECT_EQ(faults("/* open\n\nVARIABLE"), (Faults{"1:1: the comment never ends"}));
  EXPECT_EQ(faults("VARIABLE v { TYPE FLOAT; LABEL \"\\x00\"; }"), (Faults{"1:32: a text cannot hold a zero byte"}));
  EXPECT_EQ(faults(std::string("VARIABLE v { TYPE FLOAT; LABEL \"a\0b\"; }", 39)),
            (Faults{"1:32: a text cannot hold a zero byte"}));
  EXPECT_EQ(faults("VARIABLE v { TYPE FLOAT { MIN_VALUE 4294967296; MAX_VALUE 1e39; } }"),
            (Faults{"1:37: an integer outside 32 bits"}));
  EXPECT_EQ(faults("VARIABLE v { TYPE FLOAT { MAX_VALUE 1e39; } }"), (Faults{"1:37: a number too large for a float"}));
  EXPECT_EQ(faults("VARIABLE v { TYPE FLOAT { MAX_VALUE 12abc; } }"), (Faults{"1:37: a number runs into a name"}));
  EXPECT_EQ(faults("VARIABLE v { TYPE FLOAT; LABEL \"" + std::string(10240, 'x') + "\"; }"),
            (Faults{"1:32: a text longer than 10239 bytes"}));
}

TEST(EddlFaults, DefinitionsAndAttributes) {
  EXPECT_EQ(faults("RECORD r { }\nVARIABLE v { TYPE FLOAT; COLOUR 1; }\nVARIABLE v { TYPE FLOAT; LABEL \"a\"; LABEL \"b\"; }\n"
                   "VARIABLE w { LABEL \"w\"; }\nVARIABLE x { TYPE INDEX (1); }\nVARIABLE y { TYPE ENUMERATED (1); }"),
            (Faults{"1:1: unknown or unsupported definition 'RECORD' (VARIABLE, COMMAND, MENU, METHOD, COLLECTION, ARRAY, "
                    "UNIT and BLOCK are understood)",
                    "2:26: unknown or unsupported variable attribute 'COLOUR'", "3:37: LABEL is given twice", "4:10: the variable 'w' has no TYPE",
                    "5:19: unknown or unsupported type 'INDEX'",
                    "6:33: ENUMERATED needs its enumerators: ENUMERATED { { value, \"text\" }, ... }"}));
}

TEST(EddlFaults, Names) {
  EXPECT_EQ(faults(R"(
    VARIABLE v { TYPE FLOAT; }
    VARIABLE v { TYPE INTEGER; }
    METHOD m { DEFINITION { v = w; nothing(); m(1); PUT_MESSAGE(); ReadCommand(v, v); } }
    COLLECTION c { MEMBERS { A, v; } }
    COMMAND k { SLOT 1; INDEX 1; OPERATION READ; TRANSACTION { REPLY { m, c.B, v[1], c } } }
    MENU menu { ITEMS { k } PRE_READ_ACTIONS { v } }
    UNIT u { c : v })"),
            (Faults{"3:14: 'v' is defined twice (first at line 2)", "4:33: 'w' is not defined",
                    "4:36: 'nothing' is not defined", "4:47: a method takes no arguments",
                    "4:53: PUT_MESSAGE takes 1 argument, not 0", "4:68: ReadCommand takes 1 argument, not 2",
                    "6:72: 'm' is a METHOD, not a VARIABLE, COLLECTION or ARRAY",
                    "6:75: the collection 'c' has no member 'B'", "6:80: 'v' is a VARIABLE, not an ARRAY",
                    "7:25: 'k' is a COMMAND, not a VARIABLE, MENU, METHOD, COLLECTION or ARRAY",
                    "7:48: 'v' is a VARIABLE, not a METHOD", "8:14: 'c' is a COLLECTION, not a VARIABLE"}));
}

TEST(EddlFaults, Commands) {
  EXPECT_EQ(faults(R"(
    VARIABLE v { TYPE INTEGER (1); }
    COMMAND a { SLOT 1; OPERATION READ; TRANSACTION { REPLY { v } } }
    COMMAND b { FUNCTION_CODE 3; INDEX 2; OPERATION WRITE; TRANSACTION { REQUEST { v } } }
    COMMAND c { ADDRESS 3; TRANSACTION { REPLY { v } } }
    COMMAND d { OPERATION READ; }
    COMMAND e { SLOT 256; }
    COMMAND f { SLOT 1; INDEX 1; OPERATION READ; TRANSACTION 1 { } }
    COMMAND g { SLOT 1; INDEX 1; OPERATION READ; TRANSACTION { REPLY { v (QUALITY), 256 } } }
    COMMAND h { SLOT 1; INDEX 1; OPERATION VERIFY; }
    COMMAND i { SLOT 1; INDEX 1; OPERATION READ; TRANSACTION { RESPONSE_CODES { } } })"),
            (Faults{"3:13: the command 'a' needs INDEX and either SLOT or BLOCK",
                    "4:13: the command 'b' mixes Profibus (SLOT, BLOCK, INDEX) and Modbus (FUNCTION_CODE, ADDRESS) "
                    "addressing",
                    "5:13: the command 'c' has no OPERATION", "5:13: the command 'c' needs both FUNCTION_CODE and ADDRESS",
                    "6:13: the command 'd' has no TRANSACTION",
                    "6:13: the command 'd' has no address: SLOT or BLOCK with INDEX (Profibus), or FUNCTION_CODE and "
                    "ADDRESS (Modbus)",
                    "7:22: the slot must lie in 0 to 255",
                    "8:62: transactions are numbered in order from 0; this one is transaction 0",
                    "9:75: a data item qualifier is INFO or INDEX",
                    "10:44: an operation is READ, WRITE or COMMAND",
                    "11:64: a transaction holds REQUEST and REPLY, found 'RESPONSE_CODES'"}));
}

TEST(EddlFaults, TypesAndValues) {
  EXPECT_EQ(faults(R"(
    VARIABLE a { TYPE ASCII; }
    VARIABLE b { TYPE FLOAT (4); }
    VARIABLE c { TYPE ASCII (4) { MIN_VALUE 1; } }
    VARIABLE d { TYPE FLOAT { MIN_VALUE32 1; } }
    VARIABLE e { TYPE DATE { DISPLAY_FORMAT "x"; } }
    VARIABLE f { TYPE FLOAT; DEFAULT_VALUE "text"; }
    VARIABLE g { TYPE ASCII (2); INITIAL_VALUE 3; }
    VARIABLE h { TYPE FLOAT { { 1, "x" } } }
    VARIABLE i { TYPE BIT_ENUMERATED { { 1.5, "x" } } }
    VARIABLE j { TYPE ENUMERATED { { 1, "x" } IF (a) { { 2, "y" } } } }
    VARIABLE k { TYPE FLOAT; CLASS LOCAL & GLOBAL; }
    VARIABLE l { TYPE FLOAT; HANDLING READ & EXECUTE; }
    VARIABLE m { TYPE FLOAT; VALIDITY MAYBE; }
    VARIABLE n { TYPE FLOAT; LABEL [dictionary_entry]; }
    VARIABLE o { TYPE FLOAT { MIN_VALUE x = 1; MAX_VALUE f(1); } })"),
            (Faults{"2:28: ASCII needs its size in bytes: ASCII (n)", "3:29: FLOAT takes no size",
                    "4:35: MIN_VALUE needs a numeric type", "5:31: indexed ranges are numbered 1 to 31",
                    "6:28: DATE takes no attributes", "7:30: DEFAULT_VALUE of a numeric variable must be a number",
                    "8:34: INITIAL_VALUE of a text variable must be a text",
                    "9:31: only ENUMERATED and BIT_ENUMERATED types hold enumerators",
                    "10:42: a bit enumerator's value is an integer", "11:51: 'a' is not defined",
                    "11:71: enumerators are either a list or one IF or SELECT, not both",
                    "12:44: unknown class 'GLOBAL'", "13:46: a handling is READ, WRITE or READ & WRITE",
                    "14:39: a validity is TRUE or FALSE, found 'MAYBE'",
                    "15:36: dictionary texts ([name]) are not supported; write the text itself",
                    "16:41: 'x' is not defined", "16:43: assignments belong in methods, not in description expressions"}));
}

TEST(EddlFaults, MethodBodies) {
  EXPECT_EQ(faults(R"(
    VARIABLE v { TYPE FLOAT; }
    METHOD a { DEFINITION { int i; i = 1; int j; } }
    METHOD b { DEFINITION { int x[2][0]; } }
    METHOD c { DEFINITION { int x[1][1][1][1][1]; } }
    METHOD d { DEFINITION { double x[10000]; } }
    METHOD e { DEFINITION { int x[v]; } }
    METHOD f { DEFINITION { int x = 1; } }
    METHOD g { DEFINITION { int i; switch (i) { case v: break; } } }
    METHOD h { DEFINITION { int i; i = 1 ? 2 : 3; } }
    METHOD i { DEFINITION { int i; i = (int) v; } }
    METHOD j { DEFINITION { return; } }
    METHOD k { DEFINITION { break; } }
    METHOD l { DEFINITION { while (1) { switch (1) { case 1: continue; } } continue; } }
    METHOD m { DEFINITION { case 1: v = 1; } }
    METHOD n { DEFINITION { 1 = v; v++ ++; } }
    METHOD o { DEFINITION { v(1); } }
    METHOD p { DEFINITION { const int i; } }
    METHOD q { DEFINITION { unsigned float f; } }
    METHOD r { DEFINITION { int i; switch (i) { case 1 / 0: break; } } })"),
            (Faults{"3:43: declarations come before the statements of a block", "4:37: an array size is at least 1",
                    "5:46: an array has at most 4 dimensions", "6:37: a local array holds at most 65535 bytes",
                    "7:35: an array size must be a constant: numbers joined by + - * / %",
                    "8:35: a declaration takes no initial value; assign it in a statement",
                    "9:54: a case label must be a constant: numbers joined by + - * / %",
                    "10:42: the conditional operator ?: is not supported",
                    "11:40: casts are not supported; assign the value to a variable of the type instead",
                    "12:29: 'return' is not supported; a method ends after its last statement, or with abort()",
                    "13:29: 'break' outside a loop or switch", "14:76: 'continue' outside a loop",
                    "15:29: 'case' outside a switch statement",
                    "16:31: only a variable or an array element can be assigned",
                    "17:29: a method takes no arguments", "17:29: 'v' is a VARIABLE, not a METHOD", "18:29: 'const' is not supported in declarations",
                    "19:44: these type words do not make one type", "20:54: a case label divides by zero"}));
}

TEST(EddlFaults, DescriptionExpressions) {
  EXPECT_EQ(faults(R"(
    VARIABLE v { TYPE FLOAT; }
    VARIABLE a { TYPE FLOAT { MIN_VALUE v++; } }
    VARIABLE b { TYPE FLOAT { MIN_VALUE abort(); } }
    VARIABLE c { TYPE FLOAT { MIN_VALUE v ? 1 : 2; } }
    VARIABLE d { TYPE FLOAT; HANDLING SELECT (v) { CASE 1: READ; OTHER: WRITE; } }
    VARIABLE e { TYPE FLOAT; HANDLING IF (v) READ; })"),
            (Faults{"3:42: expected ';' after the value, found '++'",
                    "4:41: function calls belong in methods, not in description expressions",
                    "5:43: the conditional operator ?: is not supported",
                    "6:66: a SELECT holds CASE and DEFAULT branches, found 'OTHER'",
                    "7:46: expected '{' to start the branch, found 'READ'"}));
}

TEST(EddlFaults, RecoveryGoesOnAndStopsAtFifty) {
  // A fault inside one definition leaves the next ones checked.
  EXPECT_EQ(faults("VARIABLE a { TYPE { } }  VARIABLE b { TYPE FLOAT; LABEL x; }  VARIABLE c { TYPE FLOAT; } }"),
            (Faults{"1:19: expected a type, found '{'", "1:57: 'x' is not defined",
                    "1:90: expected a definition, found '}'"}));
  std::string many;
  for (int i = 0; i < 80; ++i) many += "VARIABLE v" + std::to_string(i) + " { TYPE NONE; }\n";
  EXPECT_EQ(faults(many).size(), kMaxDiagnostics);
  // Nesting that would exhaust the stack is refused instead.
  EXPECT_EQ(faults("VARIABLE v { TYPE FLOAT { MIN_VALUE " + std::string(100000, '(') + "1; } }"),
            (Faults{"1:136: nesting deeper than 200 levels"}));
  EXPECT_EQ(faults("METHOD m { DEFINITION { " + std::string(100000, '{') + " } }").size(), 1u);
}

}  // namespace
}  // namespace tavrin::eddl
