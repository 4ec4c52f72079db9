// Export and import of parameter sets: the values of all variables of the
// loaded description as a key file, section CONFIG_VARIABLES, one key per
// variable (its name) in the description's order, each value as the table
// shows it. Export never reads the device; import only changes the values
// the program holds (state "Changed"); writing them is a separate Write.
// Other sections and keys of the file are left alone.
#pragma once

#include <string>

namespace tavrin::model {
class Session;
}

namespace tavrin::app {

class DeviceSession;

inline constexpr const char* kParameterSection = "CONFIG_VARIABLES";

// Writes every registered variable's value text. False with "Error: <path>
// file cannot be written!" when the file could not be written. A target
// that is no regular file (a pipe, /dev/stdout) gets the section alone,
// without being read first; a FIFO that nobody reads is refused.
bool exportParameters(model::Session& model, const std::string& path);

// Sets every registered variable from its key's text. A missing key reads
// as the empty text (a number becomes 0), "NULL" as empty, "\n" as a line
// feed; a value shown in hexadecimal ("0x" and digits) is read back as the
// number it shows. A file that cannot be read: "Error: <path> file cannot
// be read!" and nothing changes. False also when a variable refused its
// text (said); the others are set all the same.
bool importParameters(model::Session& model, const std::string& path);

// The Export and Import commands of the device window, both for the
// parameter view only. Each remembers its path as the current configuration
// file; import shows the parameter table again from its root.
class ParameterFiles {
 public:
  explicit ParameterFiles(DeviceSession& session) : session_(session) {}

  // With the save or open dialog; false when cancelled.
  bool exportWithDialog();
  bool importWithDialog();
  bool exportTo(const std::string& path);
  bool importFrom(const std::string& path);

  const std::string& currentFile() const { return currentFile_; }

 private:
  bool inParameterView();

  DeviceSession& session_;
  std::string currentFile_;
};

}  // namespace tavrin::app
