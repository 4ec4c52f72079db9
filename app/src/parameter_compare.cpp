#include "app/parameter_compare.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>

#include "app/parameter_file.h"
#include "app/session.h"
#include "model/session.h"
#include "platform/key_file.h"
#include "ui/user_interface.h"

namespace tavrin::app {
namespace {

// Keys are matched without regard to letter case, as the key file does.
std::string folded(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

std::string field(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

bool inParameterView(DeviceSession& session) {
  if (session.viewMode() == ViewMode::Parameter) return true;
  session.model().ui().errorBox("Error: The operation can only be operated in parameter table!");
  return false;
}

}  // namespace

std::optional<ParameterComparison> compareParameters(model::Session& model, const std::string& path) {
  if (!std::ifstream(path).is_open()) {
    model.ui().errorBox("Error: " + path + " file cannot be read!");
    return std::nullopt;
  }
  const platform::KeyFile file = platform::KeyFile::load(path);
  model::Variables& vars = model.variables();

  // The device's values as export would store them, read back as the file's.
  platform::KeyFile asExported;
  for (const model::SymbolEntry& e : model.symbols().entries())
    asExported.set(kParameterSection, model.description().nameById(e.id), vars.valueText(e.id));
  const platform::KeyFile stored = platform::KeyFile::parse(asExported.text());

  ParameterComparison out;
  std::set<std::string> names;
  for (const model::SymbolEntry& e : model.symbols().entries()) {
    const std::string name(model.description().nameById(e.id));
    names.insert(folded(name));
    if (!file.get(kParameterSection, name)) {
      out.missingInFile.push_back({name, vars.label(e.root), platform::readKey(stored, kParameterSection, name)});
      continue;
    }
    if (e.state != model::ValueState::Loaded) continue;
    // A measured value changes by itself; it says nothing about the set-up.
    if ((vars.classFlags(e.root) & model::kClassDynamic) != 0) continue;
    const std::string fileValue = platform::readKey(file, kParameterSection, name);
    const std::string deviceValue = platform::readKey(stored, kParameterSection, name);
    if (fileValue != deviceValue)
      out.differences.push_back({name, vars.label(e.root), deviceValue, fileValue, vars.unitText(e.id, false)});
  }
  for (const auto& [key, value] : file.entries(kParameterSection))
    if (!names.contains(folded(key))) out.missingOnDevice.push_back({key, "", platform::readKey(file, kParameterSection, key)});
  return out;
}

std::vector<std::string> comparisonLines(const ParameterComparison& c) {
  std::vector<std::string> lines;
  for (const VariableDifference& d : c.differences)
    lines.push_back("differs\t" + field(d.name) + "\t" + field(d.label) + "\t" + field(d.deviceValue) + "\t" +
                    field(d.fileValue) + "\t" + field(d.unit));
  for (const MissingVariable& m : c.missingInFile)
    lines.push_back("missing in file\t" + field(m.name) + "\t" + field(m.label) + "\t" + field(m.value));
  for (const MissingVariable& m : c.missingOnDevice)
    lines.push_back("missing on device\t" + field(m.name) + "\t" + field(m.value));
  return lines;
}

std::optional<ParameterComparison> compareWithDialog(DeviceSession& session, std::string* path) {
  if (!inParameterView(session)) return std::nullopt;
  const auto chosen =
      session.model().ui().openFileName({"Compare with file", "*.TXT|*.TXT|*.TXT|*.TXT||", "TXT", "*.TXT"});
  if (!chosen) return std::nullopt;
  if (path) *path = *chosen;
  return compareWithFile(session, *chosen);
}

std::optional<ParameterComparison> compareWithFile(DeviceSession& session, const std::string& path) {
  if (!inParameterView(session)) return std::nullopt;
  // The file first: a missing one should not cost a whole read.
  if (!std::ifstream(path).is_open()) {
    session.model().ui().errorBox("Error: " + path + " file cannot be read!");
    return std::nullopt;
  }
  // A read that failed somewhere leaves values that are not the device's.
  if (!session.readAll()) return std::nullopt;
  return compareParameters(session.model(), path);
}

}  // namespace tavrin::app
