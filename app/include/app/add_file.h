// Add file: a description file enters the library (Profibus/ or Modbus/ of
// the program folder) and is registered in device.cfg under a manufacturer
// code and a device type, so that a later connect finds it.
//
// The file enters the library through the loader (Driver/Lirrand.so): read
// with Binary_ReadEDD and written with Binary_PrintEDD, as the sample
// descriptions are installed. A file the loader refuses never enters the
// library, the library holds what the loader writes (English texts only),
// and the write goes to a temporary file beside the destination that is
// renamed over it, so a failed write never leaves half a description and
// a file can even be added over itself.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/configuration.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::app {

// "Transmitter Type:" entries, in order (index 0 PROFIBUS, 1 MODBUS).
inline constexpr std::array<std::string_view, 2> kTransmitterTypes{"PROFIBUS", "MODBUS"};

// The dialog "Add transmitter file" as data, with its initial texts.
struct AddFileForm {
  int type = 0;  // index into kTransmitterTypes, -1 for none
  std::string manufacturerCode = "0A5D";
  std::string deviceCode = "0B72";
  std::string file;  // "EDDL File:", a path
};

inline constexpr std::string_view kAddFileTitle = "Add transmitter file";
inline constexpr std::string_view kAddFileFilter = "*.bin|*.bin||";
inline constexpr std::string_view kAddFileQuestion = "WARNING: Are you sure to add new file?";
inline constexpr std::string_view kReplaceQuestion =
    "WARNING! The original file will be replaced, Do you wish to continue?";

// A code as hexadecimal: leading blanks, an optional "0x" or "0X", digits up
// to the first other character. Nothing when there is no digit or the value
// is above FFFF (a code the device table could not tell apart).
std::optional<uint16_t> hexadecimalCode(std::string_view text);

// The file's name in the library: the text cut to 259 characters, then the
// part after its last '/' or '\'. Empty, ".", ".." are no names.
std::string libraryFileName(std::string_view path);

// Where device.cfg keeps the name for that type (0 PROFIBUS, 1 MODBUS).
struct DeviceTableEntry {
  std::string section;
  std::string key;
};
DeviceTableEntry deviceTableEntry(int type, uint16_t manufacturer, uint16_t device);

struct AddedFile {
  DeviceTableEntry entry;
  std::string name;
  std::string destination;
  bool written = false;  // false: the file was in the library already, or the overwrite was refused
};

// OK of the dialog: the checks in order (each failure said, nothing
// changed), the question, the device.cfg entry, the file into the library
// (the overwrite asked first). Nothing when the dialog stays open: a
// failed check, No to the question, or a file that could not be read or
// written (said; the entry has been written then, as it is when the
// overwrite is refused).
std::optional<AddedFile> acceptAddFile(const AddFileForm& form, const ProgramFiles& files, ui::UserInterface& ui);

}  // namespace tavrin::app
