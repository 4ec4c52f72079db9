// Compare with file: the device's values beside an export file's. The
// table's variables are read from the device (the Read command, the usual
// upload with progress), then every variable read is compared, as its
// value text, with the file's key of its name (section CONFIG_VARIABLES, as
// export writes it). Listed: the variables whose values differ, the
// variables the file has no key for, and the file's keys that name no
// variable of the connected device's description.
//
// Values are compared as export would store them and import read them back
// (blanks around a value trimmed, line feeds as backslash-n, "NULL" empty),
// so a file exported from the same values never differs. Variables not read
// from the device (state other than Loaded) are not compared: their values
// say nothing about the device; nor are dynamic variables (measured values,
// class DYNAMIC), which change by themselves.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrin::model {
class Session;
}

namespace tavrin::app {

class DeviceSession;

struct VariableDifference {
  std::string name;
  std::string label;
  std::string deviceValue;
  std::string fileValue;
  std::string unit;
  bool operator==(const VariableDifference&) const = default;
};

struct MissingVariable {
  std::string name;
  std::string label;  // empty for a key that names no variable
  std::string value;  // the device's value, or the file's for a key without a variable
  bool operator==(const MissingVariable&) const = default;
};

struct ParameterComparison {
  std::vector<VariableDifference> differences;  // in the description's order
  std::vector<MissingVariable> missingInFile;   // variables without a key
  std::vector<MissingVariable> missingOnDevice;  // keys without a variable, in file order
  bool differs() const { return !differences.empty() || !missingInFile.empty() || !missingOnDevice.empty(); }
};

// The values the program holds against the file's; nothing (said: "Error:
// <path> file cannot be read!") when the file cannot be read.
std::optional<ParameterComparison> compareParameters(model::Session& model, const std::string& path);

// The comparison as lines of tab-separated fields, as tavrin-cli prints it:
//   differs<TAB>name<TAB>label<TAB>device value<TAB>file value<TAB>unit
//   missing in file<TAB>name<TAB>label<TAB>device value
//   missing on device<TAB>name<TAB>file value
// Tabs and line feeds inside a field are written as \t and \n.
std::vector<std::string> comparisonLines(const ParameterComparison& comparison);

// Device -> "Compare with file...": in the parameter view only, the file
// from an open dialog, the Read, then the comparison. Nothing when
// cancelled, refused or when the read failed (its message was shown).
std::optional<ParameterComparison> compareWithDialog(DeviceSession& session, std::string* path = nullptr);
std::optional<ParameterComparison> compareWithFile(DeviceSession& session, const std::string& path);

}  // namespace tavrin::app
