// The trim database: one key file per transmitter in <program folder>
// DataBase/, named after the transmitter's identification text, that holds
// every reference value and every collected value of a batch calibration as
// soon as it is taken, so that a calibration can stop and go on later. Both
// procedures share the file, each in a section of its own. The reference-
// point files (*.szz) keep the reference values of a procedure without any
// collected value.
//
// Numbers are stored as text: counts as "%d", collected values as "%f"
// (six decimals), reference values exactly as typed. An absent key reads as
// the empty text, which counts as 0.
//
// A transmitter's file is read and rewritten as a whole: TrimFile loads it,
// takes any number of keys and saves them in one atomic rewrite, so that a
// step is in the file completely or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/key_file.h"

namespace tavrin::calibration {

inline constexpr size_t kIdentificationSize = 16;

namespace keys {
inline constexpr std::string_view kLinearization = "Linearization";
inline constexpr std::string_view kTrimPoints = "TrimPoints";
inline constexpr std::string_view kTrimedData = "Trimed_Data_";          // + point
inline constexpr std::string_view kCollectionData = "Collection_Data_";  // + point

inline constexpr std::string_view kTemperatureTrim = "Temperature_Trim";
inline constexpr std::string_view kTempPoints = "TempPoints";
inline constexpr std::string_view kPresPoints = "PresPoints";
inline constexpr std::string_view kTrimedTempData = "Trimed_Temp_Data_";            // + row
inline constexpr std::string_view kTrimedPresData = "Trimed_Pres_Data_";            // + column
inline constexpr std::string_view kCollectionTempData = "Collection_Temp_Data_";    // + row
inline constexpr std::string_view kCollectionPresData = "Collection_Pres_Data_";    // + 5 x row + column

// The reference-point files.
inline constexpr std::string_view kFileTrimPoints = "TRIM_POINTS";
inline constexpr std::string_view kFileTrimedValue = "TrimedValue";  // + point
inline constexpr std::string_view kFileTempPoints = "TEMP_POINTS";
inline constexpr std::string_view kFilePresPoints = "PRES_POINTS";
inline constexpr std::string_view kFileTrimedTempValue = "TrimedTempValue";  // + row
inline constexpr std::string_view kFileTrimedPresValue = "TrimedPresValue";  // + column

inline std::string numbered(std::string_view prefix, int n) { return std::string(prefix) + std::to_string(n); }
}  // namespace keys

// The filter of the reference-point file dialogs.
inline constexpr std::string_view kReferenceFileFilter = "*.szz|*.szz||";
inline constexpr std::string_view kReferenceFileExtension = "szz";

// "%d", "%f", "%.03f", "%.02f", independent of the C locale.
std::string formatCount(long long n);
std::string formatFixed(double value, int decimals = 6);
// atoi and atof: leading blanks, an optional sign, as much of a number as
// there is; nothing usable gives 0.
long long countOf(std::string_view text);
double numberOf(std::string_view text);
// A number typed by a person: the whole trimmed text must be one (finite).
std::optional<double> typedNumber(std::string_view text);

// The identification text of the bytes a transmitter returned from slot 0,
// index 28: the 16 bytes taken up to the length received and zero-filled,
// up to the first zero byte, without trailing blanks.
std::string identificationText(std::span<const uint8_t> bytes, size_t received);
// The database's name for an identification text: "/", "\", control
// characters and a leading "." become "_"; nothing for an empty text, which
// names no file.
std::optional<std::string> databaseName(std::string_view identification);

class TrimFile {
 public:
  // A missing or unreadable file reads as empty.
  static TrimFile open(const std::string& path);

  const std::string& path() const { return path_; }
  // The profile string: empty when missing, at most 1023 bytes.
  std::string get(std::string_view section, std::string_view key) const;
  void set(std::string_view section, std::string_view key, std::string_view value);
  // Writes the whole file in one atomic rewrite, creating its folder when
  // missing. False when it could not be written.
  bool save() const;

 private:
  std::string path_;
  platform::KeyFile file_;
};

// The folder of a program's databases and the file of a transmitter.
class TrimDatabase {
 public:
  // folder ends with '/'.
  explicit TrimDatabase(std::string folder) : folder_(std::move(folder)) {}
  static TrimDatabase ofProgram(const std::string& programFolder) { return TrimDatabase(programFolder + "DataBase/"); }

  const std::string& folder() const { return folder_; }
  // "<folder><name>.db" for the identification text; nothing for an empty one.
  std::optional<std::string> path(std::string_view identification) const;
  std::optional<TrimFile> open(std::string_view identification) const;

 private:
  std::string folder_;
};

}  // namespace tavrin::calibration
