// The built-ins' texts, word for word.
#pragma once

namespace tavrin::builtins::msg {

inline constexpr const char* IvarType = "Error: The variable type value of function 'ivar_value' is error!";
inline constexpr const char* FvarType = "Error: The variable type value of function 'fvar_value' is error!";
inline constexpr const char* Dictionary = "Error: The 'get_dictionary_string' function isn't supported by system!";
inline constexpr const char* UserString = "Error: The user defined string is error!";
inline constexpr const char* Protocol = "Error: The Communication protocol is error!";
inline constexpr const char* CountdownTitle = "Waiting... ...";
inline constexpr const char* MonitorCaption = "Dynamic monitoring of variables---";
inline constexpr const char* ResistanceUnit = "\xCE\xA9";  // the ohm sign

// our own
inline constexpr const char* BatchCalibration = "Error: Batch calibration is not available in this program!";
inline constexpr const char* PathTooLong = "Error: The path \"%s\" is longer than the method's array of %s characters!";
inline constexpr const char* NoSuchFile = "Error: The file \"%s\" does not exist!";
inline constexpr const char* TimeArray = "Error: The method's array holds %s of the 6 bytes of the current time!";
inline constexpr const char* MonitorNoValue = "Error: The value of \"%s\" could not be read!";
inline constexpr const char* FileWrite = "Error: The file \"%s\" cannot be written!";

}  // namespace tavrin::builtins::msg
