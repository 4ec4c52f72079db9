#include "calibration/trim_database.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

namespace tavrin::calibration {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view skipBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

// The longest prefix from_chars takes as a double, after an optional '+'
// (which from_chars does not take itself).
std::optional<double> leadingNumber(std::string_view s, size_t* used) {
  size_t skip = 0;
  if (!s.empty() && s.front() == '+') skip = 1;
  double value = 0;
  const char* begin = s.data() + skip;
  const auto [end, ec] = std::from_chars(begin, s.data() + s.size(), value);
  if (end == begin) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone; atof gives the overflow's infinity
    // or the underflow's zero.
    const bool negative = *begin == '-';
    const std::string_view digits(begin, static_cast<size_t>(end - begin));
    const bool tiny = digits.find("e-") != std::string_view::npos || digits.find("E-") != std::string_view::npos;
    value = tiny ? (negative ? -0.0 : 0.0)
                 : (negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity());
  }
  if (used) *used = static_cast<size_t>(end - s.data());
  return value;
}

}  // namespace

std::string formatCount(long long n) { return std::to_string(n); }

std::string formatFixed(double value, int decimals) {
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return value < 0 ? "-inf" : "inf";
  return std::string(buffer, end);
}

long long countOf(std::string_view text) {
  text = skipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  long long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (n > (std::numeric_limits<long long>::max() - 9) / 10) return negative ? std::numeric_limits<long long>::min()
                                                                               : std::numeric_limits<long long>::max();
    n = n * 10 + (c - '0');
  }
  return negative ? -n : n;
}

double numberOf(std::string_view text) { return leadingNumber(skipBlanks(text), nullptr).value_or(0.0); }

std::optional<double> typedNumber(std::string_view text) {
  text = skipBlanks(text);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  size_t used = 0;
  const auto v = leadingNumber(text, &used);
  if (!v || used != text.size() || !std::isfinite(*v)) return std::nullopt;
  return v;
}

std::string identificationText(std::span<const uint8_t> bytes, size_t received) {
  std::string text;
  const size_t n = std::min({received, bytes.size(), kIdentificationSize});
  for (size_t i = 0; i < n && bytes[i] != 0; ++i) text.push_back(static_cast<char>(bytes[i]));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

std::optional<std::string> databaseName(std::string_view identification) {
  if (identification.empty()) return std::nullopt;
  std::string name(identification);
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
  }
  if (name.front() == '.') name.front() = '_';
  return name;
}

TrimFile TrimFile::open(const std::string& path) {
  TrimFile f;
  f.path_ = path;
  f.file_ = platform::KeyFile::load(path);
  return f;
}

std::string TrimFile::get(std::string_view section, std::string_view key) const {
  std::string value = file_.get(section, key).value_or(std::string());
  if (value.size() >= platform::kProfileBufferSize) value.resize(platform::kProfileBufferSize - 1);
  return value;
}

void TrimFile::set(std::string_view section, std::string_view key, std::string_view value) {
  file_.set(section, key, value);
}

bool TrimFile::save() const {
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  return file_.save(path_);
}

std::optional<std::string> TrimDatabase::path(std::string_view identification) const {
  const auto name = databaseName(identification);
  if (!name) return std::nullopt;
  return folder_ + *name + ".db";
}

std::optional<TrimFile> TrimDatabase::open(std::string_view identification) const {
  const auto p = path(identification);
  if (!p) return std::nullopt;
  return TrimFile::open(*p);
}

}  // namespace tavrin::calibration
