#include "builtins/builtins.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "arguments.h"
#include "builtins/message_format.h"
#include "messages.h"
#include "model/session.h"
#include "platform/key_file.h"
#include "ui/user_interface.h"

namespace tavrin::builtins {

using methods::BuiltinId;
using methods::Entry;
using methods::MethodEngine;
using methods::TypeCode;

namespace {

constexpr int32_t kGoOn = methods::run_status::GoOn;
constexpr int32_t kError = methods::run_status::ErrorStop;
constexpr int32_t kAbort = methods::run_status::Abort;

std::string withText(std::string_view pattern, std::string_view value) {
  std::string out(pattern);
  if (const size_t at = out.find("%s"); at != std::string::npos) out.replace(at, 2, value);
  return out;
}
std::string withTexts(std::string_view pattern, std::string_view first, std::string_view second) {
  return withText(withText(pattern, first), second);
}

// The settings files live in a folder that a fresh installation may lack.
void makeParentFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) ::mkdir(path.substr(0, slash).c_str(), 0777);
}

std::tm localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

// One call of a built-in: the engine, the model and the program around it.
class Call {
 public:
  Call(model::Session& session, MethodHost* host, const Clock& clock)
      : session_(session),
        host_(host),
        clock_(clock),
        engine_(session.engine()),
        ui_(session.ui()),
        args_(engine_) {}

  int32_t run(BuiltinId id);

 private:
  // --- the device model ---
  int32_t command(bool write);
  int32_t assign();
  int32_t varValue(bool floating);
  int32_t varId();
  int32_t buildMessage();
  int32_t settingsFile(bool save);
  int32_t saveString();
  int32_t loadString();
  // --- dialogs ---
  int32_t putMessage();
  int32_t acknowledge(bool formatted);
  int32_t selectFromList(bool formatted);
  int32_t getDevVarValue(bool formatted);
  int32_t monitor(bool withResistance);
  int32_t countdown(bool formatted);
  int32_t delayTime();
  int32_t filePath(bool save);
  // --- the method and the program ---
  int32_t abort();
  int32_t addAbortMethod();
  int32_t dictionaryString();
  int32_t setAddress();
  int32_t setBaud();
  int32_t batchCalibration(BatchCalibration which);
  int32_t currentTime();

  void push(const Entry& e) { engine_.stack().push(e); }
  void pushInt(int32_t v) { push(Entry::ofInt(v)); }
  std::string format(std::string_view text, const Entry* idList);
  std::string variableName(int32_t id) const { return std::string(session_.description().nameById(id)); }
  std::string programFolder() const { return session_.description().programFolder(); }
  // Copies text and its NUL into a method's array; false (said) when it
  // does not fit.
  bool copyIntoArray(const Entry& array, std::string_view text);

  model::Session& session_;
  MethodHost* host_;
  const Clock& clock_;
  MethodEngine& engine_;
  ui::UserInterface& ui_;
  Arguments args_;
};

// Every built-in of the list has its case; the compiler refuses a switch
// that misses one.
int32_t Call::run(BuiltinId id) {
  switch (id) {
    case BuiltinId::ReadCommand:
      return command(false);
    case BuiltinId::WriteCommand:
      return command(true);
    case BuiltinId::iassign:
    case BuiltinId::fassign:
      return assign();
    case BuiltinId::fvar_value:
      return varValue(true);
    case BuiltinId::ivar_value:
      return varValue(false);
    case BuiltinId::VARID:
      return varId();
    case BuiltinId::PUT_MESSAGE:
      return putMessage();
    case BuiltinId::ACKNOWLEDGE:
      return acknowledge(false);
    case BuiltinId::acknowledge:
      return acknowledge(true);
    case BuiltinId::SELECT_FROM_LIST:
      return selectFromList(false);
    case BuiltinId::select_from_list:
      return selectFromList(true);
    case BuiltinId::GET_DEV_VAR_VALUE:
      return getDevVarValue(false);
    case BuiltinId::get_dev_var_value:
      return getDevVarValue(true);
    case BuiltinId::get_dictionary_string:
      return dictionaryString();
    case BuiltinId::read_dynamic_variable:
      return monitor(false);
    case BuiltinId::read_dynamic_variable_resistance:
      return monitor(true);
    case BuiltinId::abort:
    case BuiltinId::process_abort:
      return abort();
    case BuiltinId::DELAY:
      return countdown(false);
    case BuiltinId::delay:
      return countdown(true);
    case BuiltinId::DELAY_TIME:
      return delayTime();
    case BuiltinId::BUILD_MESSAGE:
      return buildMessage();
    case BuiltinId::add_abort_method:
      return addAbortMethod();
    case BuiltinId::BeginWaitCursor:
    case BuiltinId::EndWaitCursor:
      return kGoOn;
    case BuiltinId::LOAD_VARIABLE:
      return settingsFile(false);
    case BuiltinId::SAVE_VARIABLE:
      return settingsFile(true);
    case BuiltinId::MY_SAVE_FILE_PATH:
      return filePath(true);
    case BuiltinId::MY_SELECT_FILE_PATH:
      return filePath(false);
    case BuiltinId::MY_SAVE_STRING:
      return saveString();
    case BuiltinId::MY_LOAD_STRING:
      return loadString();
    case BuiltinId::MY_SET_ADDRESS:
      return setAddress();
    case BuiltinId::MY_SET_BAUD:
      return setBaud();
    case BuiltinId::MY_Z7310MassLineTrim:
      return batchCalibration(BatchCalibration::Linearization);
    case BuiltinId::MY_Z7310MassTempTrim:
      return batchCalibration(BatchCalibration::TemperatureCompensation);
    case BuiltinId::MY_GetCurrentTime:
      return currentTime();
  }
  return kError;
}

std::string Call::format(std::string_view text, const Entry* idList) {
  MessageSources sources;
  sources.local = [this](std::string_view name) -> std::optional<std::string> {
    const methods::SymbolTable& locals = engine_.symbols();
    for (int32_t i = 0; i < locals.count(); ++i) {
      const methods::Symbol& s = locals[i];
      if (s.level == engine_.methodLevel() && s.name == name) return engine_.printLocal(s.identifier);
    }
    return std::nullopt;
  };
  sources.listed = [this, idList](size_t index) -> std::optional<std::string> {
    const auto id = idList ? idListElement(*idList, index) : std::nullopt;
    if (!id || !session_.symbols().find(*id)) return std::nullopt;
    return session_.variables().valueText(*id);
  };
  sources.badReference = [this] { ui_.errorBox(msg::UserString); };
  return formatMessage(text, sources);
}

bool Call::copyIntoArray(const Entry& array, std::string_view text) {
  const std::span<std::byte> bytes = array.addressed();
  if (text.size() + 1 > bytes.size()) {
    ui_.errorBox(withTexts(msg::PathTooLong, text, std::to_string(bytes.size())));
    return false;
  }
  std::memcpy(bytes.data(), text.data(), text.size());
  bytes[text.size()] = std::byte{0};
  return true;
}

// --- the device model ------------------------------------------------------

int32_t Call::command(bool write) {
  const int32_t id = args_.reference();
  if (!args_.ok()) return kError;
  model::Transfer& transfer = session_.transfer();
  const int result = write ? transfer.writeCommandByName(id) : transfer.readCommandByName(id);
  pushInt(result == 1 ? 1 : 0);
  return result == 1 ? result : kAbort;
}

int32_t Call::assign() {
  const Entry value = args_.value();
  const int32_t id = args_.reference();
  if (!args_.ok()) return kError;
  session_.assignVariable(id, value);
  pushInt(1);
  return kGoOn;
}

int32_t Call::varValue(bool floating) {
  const int32_t id = args_.reference();
  if (!args_.ok()) return kError;
  const auto value = session_.variableValue(id);
  if (!value) return kAbort;
  const bool fits = value->kind == methods::kind::Value &&
                    (floating ? methods::isFloatType(value->type)
                              : (value->type == +TypeCode::Int || value->type == +TypeCode::UnsignedInt));
  if (!fits) {
    ui_.errorBox(floating ? msg::FvarType : msg::IvarType);
    return kAbort;
  }
  push(*value);
  return kGoOn;
}

int32_t Call::varId() {
  const int32_t id = args_.reference();
  if (!args_.ok()) return kError;
  push(Entry::ofUnsigned(static_cast<uint32_t>(id)));
  return kGoOn;
}

int32_t Call::buildMessage() {
  const int32_t id = args_.reference();
  const std::string text = args_.text();
  if (!args_.ok()) return kError;
  session_.variables().assignText(id, format(text, nullptr));
  pushInt(1);
  return kGoOn;
}

// The section is the key variable's value as the device has it, so that
// every device value keeps settings of its own.
int32_t Call::settingsFile(bool save) {
  const int32_t id = args_.reference();
  const int32_t keyId = args_.reference();
  if (!args_.ok()) return kError;
  pushInt(1);
  if (session_.transfer().readVariable(keyId) != 1) return kAbort;
  model::Variables& variables = session_.variables();
  const std::string section = variables.valueText(keyId);
  const std::string key = variableName(id);
  const std::string path = settingsFilePath(programFolder());
  if (save) {
    makeParentFolder(path);
    if (!platform::writeProfileString(section, key, variables.valueText(id), path))
      ui_.errorBox(withText(msg::FileWrite, path));
    return kGoOn;
  }
  // Nothing saved for this section leaves the variable as it is: an empty
  // text would turn a number into 0.
  const auto stored = platform::KeyFile::load(path).get(section, key);
  if (stored) variables.assignText(id, platform::readProfileString(section, key, path));
  return kGoOn;
}

int32_t Call::saveString() {
  const std::string path = args_.text();
  const int32_t id = args_.reference();
  const std::string section = args_.text();
  if (!args_.ok()) return kError;
  if (!platform::writeProfileString(section, variableName(id), session_.variables().valueText(id), path))
    ui_.errorBox(withText(msg::FileWrite, path));
  pushInt(1);
  return kGoOn;
}

int32_t Call::loadString() {
  const std::string path = args_.text();
  const int32_t id = args_.reference();
  const std::string section = args_.text();
  if (!args_.ok()) return kError;
  session_.variables().assignText(id, platform::readKey(section, variableName(id), path));
  pushInt(1);
  return kGoOn;
}

// --- dialogs -----------------------------------------------------------------

int32_t Call::putMessage() {
  const std::string text = args_.text();
  if (!args_.ok()) return kError;
  ui_.message({"Message", text, ui::Icon::Information, ui::Buttons::Ok});
  pushInt(1);
  return kGoOn;
}

int32_t Call::acknowledge(bool formatted) {
  const Entry ids = formatted ? args_.array() : Entry{};
  std::string text = args_.text();
  if (!args_.ok()) return kError;
  if (formatted) text = format(text, &ids);
  pushInt(1);
  const ui::Answer a = ui_.message({"Acknowledge", text, ui::Icon::Information, ui::Buttons::OkCancel});
  return a == ui::Answer::Ok ? kGoOn : kAbort;
}

int32_t Call::selectFromList(bool formatted) {
  const std::string options = args_.text();
  const Entry ids = formatted ? args_.array() : Entry{};
  std::string prompt = args_.text();
  if (!args_.ok()) return kError;
  if (formatted) prompt = format(prompt, &ids);
  const auto chosen = session_.dialogs().selectFromList(prompt, options);
  if (!chosen) return kAbort;
  push(Entry::ofUnsigned(static_cast<uint32_t>(*chosen)));
  return kGoOn;
}

int32_t Call::getDevVarValue(bool formatted) {
  const int32_t id = args_.reference();
  const Entry ids = formatted ? args_.array() : Entry{};
  std::string prompt = args_.text();
  if (!args_.ok()) return kError;
  if (formatted) prompt = format(prompt, &ids);
  const bool confirmed = session_.dialogs().edit(id, prompt);
  const int32_t status = confirmed ? kGoOn : kAbort;
  pushInt(formatted ? (confirmed ? 1 : 0) : status);
  return status;
}

// The monitoring dialogs re-read the variable on every tick; OK sets it from
// what the value field shows. The collect-value form also keeps the bridge
// resistance in data/data.ini and shows the voltage it gives.
int32_t Call::monitor(bool withResistance) {
  const int32_t id = args_.reference();
  if (!args_.ok()) return kError;
  model::Variables& variables = session_.variables();
  const model::SymbolEntry* entry = variables.entry(id);
  if (!entry) {
    pushInt(0);
    return kAbort;
  }
  const std::string dataIni = programFolder() + "data/data.ini";
  ui::MonitorSpec spec;
  spec.label = variables.label(entry->root);
  spec.caption = msg::MonitorCaption + spec.label;
  spec.withResistance = withResistance;
  spec.unit = withResistance ? msg::ResistanceUnit : variables.unitText(id, false);
  if (withResistance) spec.resistance = platform::readProfileString("QLDZ", "value", dataIni);

  const ui::MonitorTick tick = [&](const std::string& resistanceField) {
    ui::MonitorReading r;
    if (session_.transfer().readVariable(id) != 1) return r;
    r.ok = true;
    r.value = variables.valueText(id);
    r.unit = variables.unitText(id, false);
    if (withResistance) {
      const double c = std::strtod(r.value.c_str(), nullptr);
      const double ohms = std::strtod(resistanceField.c_str(), nullptr);
      makeParentFolder(dataIni);
      platform::writeProfileString("QLDZ", "value", resistanceField, dataIni);
      char voltage[64];
      std::snprintf(voltage, sizeof voltage, "%f", 3.3 / (ohms + 3.3) * c);
      r.voltage = voltage;
    }
    return r;
  };
  const auto shown = ui_.monitor(spec, tick, engine_.stopToken());
  if (!shown) {
    pushInt(0);
    return kAbort;
  }
  // An empty field means the last read failed: there is no value to set,
  // and going on as confirmed would pass the old value off as read.
  if (shown->empty()) {
    ui_.errorBox(withText(msg::MonitorNoValue, spec.label));
    pushInt(0);
    return kAbort;
  }
  variables.assignText(id, *shown);
  pushInt(1);
  return kGoOn;
}

int32_t Call::countdown(bool formatted) {
  const Entry ids = formatted ? args_.array() : Entry{};
  std::string text = args_.text();
  const int32_t seconds = toInt(args_.value());
  if (!args_.ok()) return kError;
  if (formatted) text = format(text, &ids);
  pushInt(1);
  const bool ranOut = ui_.countdown({msg::CountdownTitle, text, std::max(seconds, 0)}, engine_.stopToken());
  return ranOut ? kGoOn : kAbort;
}

int32_t Call::delayTime() {
  const int32_t seconds = std::max(toInt(args_.value()), 0);
  if (!args_.ok()) return kError;
  pushInt(1);
  return ui::sleepUnlessStopped(std::chrono::seconds(seconds), engine_.stopToken()) ? kGoOn : kAbort;
}

int32_t Call::filePath(bool save) {
  const Entry array = args_.array();
  if (!args_.ok()) return kError;
  ui::FileDialog d;
  std::optional<std::string> path;
  if (save) {
    d = {"Save As", "*.TXT|*.TXT|*.*|*.*|", ".TXT", ""};
    path = ui_.saveFileName(d);
  } else {
    d = {"Open", "*.TXT|*.TXT|*.TXT|*.TXT||", "TXT", ""};
    path = ui_.openFileName(d);
    struct stat st {};
    if (path && (::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode))) {
      ui_.errorBox(withText(msg::NoSuchFile, *path));
      path.reset();
    }
  }
  if (!path || !copyIntoArray(array, *path)) {
    pushInt(0);
    return kAbort;
  }
  pushInt(1);
  return kGoOn;
}

// --- the method and the program ---------------------------------------------

int32_t Call::abort() {
  pushInt(1);
  return kAbort;
}

int32_t Call::addAbortMethod() {
  const int32_t id = args_.reference();
  if (!args_.ok()) return kError;
  engine_.addAbortMethod(id);
  return kGoOn;
}

int32_t Call::dictionaryString() {
  ui_.errorBox(msg::Dictionary);
  return kGoOn;
}

int32_t Call::setAddress() {
  const int32_t address = toInt(args_.value());
  if (!args_.ok()) return kError;
  if (!host_) {
    ui_.errorBox(msg::Protocol);
    return kGoOn;
  }
  host_->setBusAddress(static_cast<uint8_t>(address & 0xFF));
  return kGoOn;
}

int32_t Call::setBaud() {
  const int32_t rate = toInt(args_.value());
  if (!args_.ok()) return kError;
  if (!host_) {
    ui_.errorBox(msg::Protocol);
    return kError;
  }
  return host_->setBaudRate(rate) ? kGoOn : kError;
}

int32_t Call::batchCalibration(BatchCalibration which) {
  if (!host_ || !host_->runBatchCalibration(which)) ui_.errorBox(msg::BatchCalibration);
  return 1;
}

int32_t Call::currentTime() {
  const Entry array = args_.array();
  if (!args_.ok()) return kError;
  const std::span<std::byte> bytes = array.addressed();
  if (bytes.size() < 6) {
    ui_.errorBox(withText(msg::TimeArray, std::to_string(bytes.size())));
    return kAbort;
  }
  const std::tm t = clock_ ? clock_() : localNow();
  const int fields[6] = {t.tm_year + 1900 - 2010, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
  for (int i = 0; i < 6; ++i) bytes[static_cast<size_t>(i)] = static_cast<std::byte>(fields[i]);
  return 1;
}

}  // namespace

std::string settingsFilePath(const std::string& programFolder) { return programFolder + "data/temptrim.zip"; }

Builtins::Builtins(model::Session& session, MethodHost* host) : session_(session), host_(host) {}

void Builtins::install() {
  methods::BuiltinTable& table = session_.engine().builtins();
#define TAVRIN_INSTALL_BUILTIN(name, number, arguments) \
  table.add(BuiltinId::name, [this](MethodEngine&) { return call(BuiltinId::name); });
  TAVRIN_METHOD_BUILTINS(TAVRIN_INSTALL_BUILTIN)
#undef TAVRIN_INSTALL_BUILTIN
}

int32_t Builtins::call(BuiltinId id) { return Call(session_, host_, clock_).run(id); }

}  // namespace tavrin::builtins
