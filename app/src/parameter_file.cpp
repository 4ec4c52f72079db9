#include "app/parameter_file.h"

#include <fstream>

#include "app/edit_commit.h"
#include "app/session.h"
#include "edd/tags.h"
#include "model/session.h"
#include "platform/key_file.h"
#include "ui/user_interface.h"

namespace tavrin::app {

using edd::Tag;

bool exportParameters(model::Session& model, const std::string& path) {
  // A pipe or a terminal (/dev/stdout) is not read back: the values go to it
  // plainly, and reading it first would wait for ever.
  platform::KeyFile file = platform::KeyFile::loadForUpdate(path);
  for (const model::SymbolEntry& e : model.symbols().entries()) {
    // A name that cannot be a key is lost, as a key that cannot be written.
    file.set(kParameterSection, model.description().nameById(e.id), model.variables().valueText(e.id));
  }
  if (file.save(path)) return true;
  model.ui().errorBox("Error: " + path + " file cannot be written!");
  return false;
}

bool importParameters(model::Session& model, const std::string& path) {
  // A file that is not there (or not readable) would read as empty keys and
  // set every value to 0 or empty: it is refused instead.
  if (!std::ifstream(path).is_open()) {
    model.ui().errorBox("Error: " + path + " file cannot be read!");
    return false;
  }
  const platform::KeyFile file = platform::KeyFile::load(path);
  model::Variables& vars = model.variables();
  bool all = true;
  for (const model::SymbolEntry& e : model.symbols().entries()) {
    std::string text = platform::readKey(file, kParameterSection, model.description().nameById(e.id));
    // Export writes hexadecimal values with their prefix; read back as
    // decimal they would all become 0.
    const bool hexShown = e.typeTag == +Tag::BitEnumerated || vars.hexFormat(e.id);
    if (hexShown && text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
      text = hexEntryToDecimal(text, e.typeTag == +Tag::Integer);
    if (!vars.assignText(e.id, text)) all = false;
  }
  return all;
}

bool ParameterFiles::inParameterView() {
  if (session_.viewMode() == ViewMode::Parameter) return true;
  session_.model().ui().errorBox("Error: The operation can only be operated in parameter table!");
  return false;
}

bool ParameterFiles::exportWithDialog() {
  if (!inParameterView()) return false;
  const auto path = session_.model().ui().saveFileName({"Save file", "(*.txt)|*.txt|", "txt", ""});
  return path && exportTo(*path);
}

bool ParameterFiles::importWithDialog() {
  if (!inParameterView()) return false;
  const auto path = session_.model().ui().openFileName({"", "*.TXT|*.TXT|*.TXT|*.TXT||", "TXT", "*.TXT"});
  return path && importFrom(*path);
}

bool ParameterFiles::exportTo(const std::string& path) {
  if (!inParameterView()) return false;
  currentFile_ = path;
  return exportParameters(session_.model(), path);
}

bool ParameterFiles::importFrom(const std::string& path) {
  if (!inParameterView()) return false;
  currentFile_ = path;
  session_.stopRefresh();
  const bool imported = importParameters(session_.model(), path);
  session_.showParameterTable();
  return imported;
}

}  // namespace tavrin::app
