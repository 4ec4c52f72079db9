// Editing values, export and import of parameter sets, polling for
// transmitters and the bus address.
#include "app/edit_commit.h"
#include "app/parameter_file.h"
#include "app/polling.h"
#include "command_table.h"
#include "context.h"

namespace tavrin::cli {
namespace {

// As a value typed into the variable's cell of the current table.
bool set(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  app::EditCommit commit(c.session());
  return commit.commitVariable(a[0], a[1]);
}

bool exportFile(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  return app::ParameterFiles(c.session()).exportTo(a[0]);
}

bool importFile(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  return app::ParameterFiles(c.session()).importFrom(a[0]);
}

bool busAvailable(Context& c) {
  return !c.offline() || c.fail("Error: There is no bus when working offline!");
}

// Prints one line per transmitter that answered: the list's columns.
bool poll(Context& c, const Args& a) {
  if (!busAvailable(c)) return false;
  // Polling moves the bus address away from the connected transmitter.
  if (c.session().connected()) return c.fail("Error: Disconnect the transmitter before polling!");
  app::Poller poller(c.session().links(), c.session().files(), c.ui());
  poller.setObserver({[&c](std::string_view status) {
                        if (!status.empty()) c.ui().statusText(status);
                      },
                      {},
                      {}});
  if (!poller.start(c.session().communicationType(), {a[0], a[1]})) return false;
  poller.wait();
  for (const app::PolledDevice& device : poller.devices()) {
    for (size_t i = 0; i < device.texts.size(); ++i) c.out() << (i ? "\t" : "") << escaped(device.texts[i]);
    c.out() << '\n';
  }
  return true;
}

bool address(Context& c, const Args& a) { return busAvailable(c) && app::setAddress(c.session(), a[0]); }

const CommandGroup kEditCommands{{
    {"set", "NAME VALUE",
     "set a variable as its table cell would (range check,\n"
     "                                   \"0x..\" for hexadecimal formats, edit actions, unit\n"
     "                                   conversion); write-changed sends it",
     {2}, {}, set},
    {"export", "FILE", "save every variable's shown value in FILE", {1}, {}, exportFile},
    {"import", "FILE",
     "set every variable from FILE (a missing key sets 0 or\n"
     "                                   empty), all marked Changed",
     {1}, {}, importFile},
    {"poll", "START END",
     "list the transmitters at addresses START to END (0 to\n"
     "                                   255; disconnected): address, then Tag, Serial No., Manu,\n"
     "                                   Device (Profibus) or Manu, Device, Device Ver (Modbus)",
     {2}, {}, poll},
    {"address", "N", "talk to bus address N (0 to 255), kept in com.ini", {1}, {}, address},
}};

}  // namespace
}  // namespace tavrin::cli
