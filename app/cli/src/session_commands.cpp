// Connecting, the views and their tables, methods, bulk transfers, the bus
// and the serial settings.
#include <algorithm>

#include "app/add_file.h"
#include "app/serial_settings.h"
#include "command_table.h"
#include "context.h"
#include "edd/tags.h"

namespace tavrin::cli {
namespace {

using app::ViewMode;
using edd::Tag;

std::string objectName(Context& c, const EddNode* node) {
  return std::string(c.session().model().description().nameById(app::objectIdOf(node)));
}

// A row of the current table is shown when it has a height.
void printTable(Context& c) {
  const auto& rows = c.session().view().rows();
  const auto& table = c.session().view().table().rows;
  for (size_t i = 0; i < rows.size() && i < table.size(); ++i) {
    const app::TableRow& t = table[i];
    if (t.height == 0) continue;
    if (rows[i].kind == app::RowKind::Text) {
      c.out() << escaped(t.cells[0].text) << '\n';
      continue;
    }
    c.out() << rows[i].depth;
    for (const app::Cell& cell : t.cells) c.out() << '\t' << escaped(cell.text);
    c.out() << '\n';
  }
}

bool connect(Context& c, const Args&) {
  if (c.offline()) {
    if (c.session().connected()) c.session().reset();
    return c.session().openDescription(c.options().offline);
  }
  return c.session().connect();
}

bool disconnect(Context& c, const Args&) {
  if (!c.needConnected()) return false;
  c.session().disconnect();
  return !c.session().connected();
}

bool view(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  const ViewMode wanted = a[0] == "parameter" ? ViewMode::Parameter
                          : a[0] == "function" ? ViewMode::Function
                                               : ViewMode::Calibration;
  if (c.session().viewMode() == wanted) return true;
  const bool entered = wanted == ViewMode::Parameter  ? c.session().enterParameterView()
                       : wanted == ViewMode::Function ? c.session().enterFunctionView()
                                                      : c.session().enterCalibrationView();
  return entered || c.fail("Error: The description has no " + a[0] + " view for this user type!");
}

// The tree: one line per item, its level, identifier and label; the
// selected item is marked with a star.
bool menu(Context& c, const Args&) {
  if (!c.needConnected()) return false;
  const app::MenuTree& tree = c.session().view().tree();
  for (size_t i = 0; i < tree.items().size(); ++i) {
    int level = 0;
    for (int p = tree.items()[i].parent; p >= 0; p = tree.item(p).parent) ++level;
    const app::TreeItem& item = tree.items()[i];
    c.out() << level << '\t' << objectName(c, item.node) << '\t' << escaped(item.label)
            << (static_cast<int>(i) == tree.selected() ? "\t*" : "") << '\n';
  }
  return true;
}

bool select(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  const auto& items = c.session().view().tree().items();
  for (size_t i = 0; i < items.size(); ++i) {
    if (objectName(c, items[i].node) == a[0] || items[i].label == a[0]) {
      c.session().selectTreeItem(static_cast<int>(i));
      return true;
    }
  }
  return c.fail("Error: The menu \"" + a[0] + "\" is not in the tree of this view!");
}

bool table(Context& c, const Args&) {
  if (!c.needConnected()) return false;
  printTable(c);
  return true;
}

bool get(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  model::Session& model = c.session().model();
  const int32_t id = model.description().findId(a[0]);
  const EddNode* object = id < 0 ? nullptr : model.description().findObject(id);
  if (!object || object->tag != +Tag::Variable || !model.symbols().find(id))
    return c.fail("Error: There is no variable named \"" + a[0] + "\"!");
  const auto text = model.variables().format(id, true);
  if (!text) return false;
  c.out() << escaped(text->value) << '\t' << escaped(text->unit) << '\t' << escaped(text->status) << '\n';
  return true;
}

// As a double-click on the method's row of the current table.
bool run(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  const auto& rows = c.session().view().rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].node || rows[i].node->tag != +Tag::Method || objectName(c, rows[i].node) != a[0]) continue;
    c.methodStarted();
    c.ui().statusLine("Running " + a[0] + " (Ctrl+C stops it)");
    const bool ran = c.session().doubleClick(static_cast<int>(i) + 1, 0);
    const bool interrupted = c.methodEnded();
    if (interrupted) return c.fail("Error: The method \"" + a[0] + "\" was stopped!");
    return ran;
  }
  return c.fail("Error: The method \"" + a[0] + "\" is not in the current table!");
}

bool read(Context& c, const Args&) { return c.needConnected() && c.session().readAll(); }
bool write(Context& c, const Args&) { return c.needConnected() && c.session().writeAll(); }
bool writeChanged(Context& c, const Args&) { return c.needConnected() && c.session().writeChanged(); }

bool bus(Context& c, const Args& a) {
  if (c.offline()) return c.fail("Error: There is no bus when working offline!");
  if (c.session().connected()) return c.fail("Error: Disconnect the transmitter before changing the bus!");
  const auto type = a[0] == "modbus" ? model::CommunicationType::Modbus : model::CommunicationType::Profibus;
  if (c.session().communicationType() == model::CommunicationType::None) {
    // The menu only switches between the two buses; a com.ini without a
    // valid type is given one here and the session starts again on it.
    if (!app::writeCommunicationType(app::ProgramFiles{c.options().folder}.comIni(), type))
      return c.fail("Error: com.ini cannot be written!");
    c.session().start();
    return c.session().communicationType() == type;
  }
  c.session().chooseCommunicationType(type);
  return true;
}

int heldPort(Context& c) { return c.session().links().heldPort(c.session().communicationType()); }

bool ports(Context& c, const Args&) {
  for (int port : app::serialPortChoices(c.options().folder, heldPort(c))) c.out() << "COM" << port << '\n';
  return true;
}

template <size_t N>
int indexOf(const std::array<std::string_view, N>& entries, std::string_view text) {
  for (size_t i = 0; i < N; ++i) {
    const std::string_view e = entries[i];
    if (e.size() == text.size() && std::equal(e.begin(), e.end(), text.begin(), [](char x, char y) {
          return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
        }))
      return static_cast<int>(i);
  }
  return -1;
}

// Without arguments prints the stored settings as the dialog shows them;
// with them it is the dialog's OK with those entries selected.
bool settings(Context& c, const Args& a) {
  const std::string comIni = app::ProgramFiles{c.options().folder}.comIni();
  app::SerialSettingsForm form =
      app::openSerialSettingsForm(c.options().folder, c.session().communicationType(), heldPort(c), c.ui());
  if (a.empty()) {
    auto entry = [](auto& list, int i) { return i < 0 ? std::string("-") : std::string(list[static_cast<size_t>(i)]); };
    c.out() << (form.port < 0 ? std::string("-") : "COM" + std::to_string(form.ports[static_cast<size_t>(form.port)]))
            << '\t' << entry(app::kBaudRateEntries, form.baudRate) << '\t' << entry(app::kParityEntries, form.parity)
            << '\t' << entry(app::kDataBitsEntries, form.dataBits) << '\t'
            << entry(app::kStopBitsEntries, form.stopBits) << '\n';
    return true;
  }
  std::string port = a[0];
  if (port.size() > 3 && indexOf(std::array<std::string_view, 1>{"COM"}, port.substr(0, 3)) == 0) port = port.substr(3);
  const auto found = std::find_if(form.ports.begin(), form.ports.end(),
                                  [&](int p) { return std::to_string(p) == port; });
  form.port = found == form.ports.end() ? -1 : static_cast<int>(found - form.ports.begin());
  if (form.lineParametersShown) {
    form.baudRate = indexOf(app::kBaudRateEntries, a[1]);
    form.parity = indexOf(app::kParityEntries, a[2]);
    form.dataBits = indexOf(app::kDataBitsEntries, a[3]);
    form.stopBits = indexOf(app::kStopBitsEntries, a[4]);
  }
  return app::acceptSerialSettingsForm(form, comIni, c.ui()).has_value();
}

bool password(Context& c, const Args&) {
  c.ui().restartPasswords();
  return c.session().changePassword();
}

// Add file: the same rules and questions as the window's dialog; prints
// the device.cfg entry and where the file is in the library.
bool addFile(Context& c, const Args& a) {
  app::AddFileForm form;
  form.type = a[0] == "modbus" ? 1 : 0;
  form.manufacturerCode = a[1];
  form.deviceCode = a[2];
  form.file = a[3];
  const auto added = app::acceptAddFile(form, c.session().files(), c.ui());
  if (!added) return false;
  c.out() << added->entry.section << '\t' << added->entry.key << '\t' << added->name << '\t' << added->destination
          << '\t' << (added->written ? "written" : "kept") << '\n';
  return true;
}

const CommandGroup kSessionCommands{{
    {"connect", "", "connect to the transmitter at the configured bus address", {0}, {}, connect},
    {"disconnect", "", "disconnect (asks first)", {0}, {}, disconnect},
    {"view", "parameter|function|calibration", "enter a view", {1}, {"parameter", "function", "calibration"}, view},
    {"menu", "", "print the menu tree of the view: level, name, label, * selected", {0}, {}, menu},
    {"select", "MENU", "select a menu of the tree by name or label", {1}, {}, select},
    {"table", "", "print the rows of the current table", {0}, {}, table},
    {"get", "NAME", "print a variable's value, unit and status", {1}, {}, get},
    {"run", "METHOD", "run a method of the current table, then refresh it", {1}, {}, run},
    {"read", "", "read all parameters from the transmitter", {0}, {}, read},
    {"write", "", "write all parameters to the transmitter (asks first)", {0}, {}, write},
    {"write-changed", "", "write the changed parameters only (asks first)", {0}, {}, writeChanged},
    {"bus", "modbus|profibus", "choose the bus (while disconnected)", {1}, {"modbus", "profibus"}, bus},
    {"ports", "", "list the serial ports that can be opened", {0}, {}, ports},
    {"settings", "[PORT BAUD PARITY DATABITS STOPBITS]",
     "print or store the serial settings (PARITY: Odd, Even,\n"
     "                                   None, Flag or Space; STOPBITS: 1, 1.5 or 2; on Profibus\n"
     "                                   only the port counts)",
     {0, 5}, {}, settings},
    {"password", "", "change the specialist password", {0}, {}, password},
    {"add-file", "profibus|modbus MANU DEVICE FILE",
     "put the description FILE into the library and register\n"
     "                                   it in device.cfg under the hexadecimal codes (asks first);\n"
     "                                   prints section, key, name, destination, written|kept",
     {4}, {"profibus", "modbus"}, addFile},
}};

}  // namespace
}  // namespace tavrin::cli
