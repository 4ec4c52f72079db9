// The bus monitor on the command line (--trace FILE) and the comparison of
// the device with an export file (compare FILE).
#include <atomic>
#include <fstream>
#include <iostream>
#include <thread>

#include "app/bus_monitor.h"
#include "app/frame_format.h"
#include "app/parameter_compare.h"
#include "command_table.h"
#include "context.h"

namespace tavrin::cli {
namespace {

// The frames go to the file as they come, from a thread of their own, so
// that a long command (a poll) neither fills the queue nor waits for the
// file.
class TraceFile {
 public:
  static constexpr std::chrono::milliseconds kWriteInterval{100};

  explicit TraceFile(Context& c) : context_(c), out_(c.options().trace, std::ios::trunc) {
    monitor_.attach(c.session().links());
    writer_ = std::thread([this] {
      while (!stop_) {
        monitor_.queue().waitFor(kWriteInterval);
        write();
      }
    });
  }
  ~TraceFile() {
    stop_ = true;
    writer_.join();
    write();
    const app::CommunicationType type = context_.session().communicationType();
    const bool traced = type == app::CommunicationType::None ||
                        monitor_.supported(type == app::CommunicationType::Modbus ? app::Bus::Modbus
                                                                                  : app::Bus::Profibus);
    if (!traced && !context_.offline())
      std::cerr << "tavrin-cli: the driver has no frame monitor, " << context_.options().trace << " stays empty\n";
    monitor_.detach();
    if (const uint64_t lost = monitor_.queue().dropped())
      std::cerr << "tavrin-cli: " << lost << " frames were not traced (queue full)\n";
  }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

 private:
  void write() {
    for (const app::MonitorFrame& frame : monitor_.queue().take())
      out_ << app::frameLine(frame, decoder_.decode(frame), monitor_.origin()) << '\n';
    out_.flush();
  }

  Context& context_;
  std::ofstream out_;
  app::BusMonitor monitor_;
  app::FrameDecoder decoder_;
  std::atomic<bool> stop_{false};
  std::thread writer_;
};

const ContextSetup kTrace{[](Context& c) {
  if (!c.options().trace.empty()) c.groupState<TraceFile>();
}};

bool compare(Context& c, const Args& a) {
  if (!c.needConnected()) return false;
  const auto comparison = app::compareWithFile(c.session(), a[0]);
  if (!comparison) return false;
  for (const std::string& line : app::comparisonLines(*comparison)) c.out() << line << '\n';
  return !comparison->differs();
}

const CommandGroup kMonitorCommands{{
    {"compare", "FILE",
     "read the table from the device and list what differs from\n"
     "                                   the export FILE: differs, name, label, device value, file\n"
     "                                   value, unit; missing in file / on device, name; fails\n"
     "                                   when anything differs",
     {1}, {}, compare},
}};

}  // namespace
}  // namespace tavrin::cli
