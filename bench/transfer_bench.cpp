// What variable transfer costs on a full table, with a bus that answers at
// once: 1,024 one-byte variables carried four to a command by 256 read and
// 256 write commands, and bulk menus listing every variable. Every transfer
// searches object list 2 from the start and compiles each command it
// passes, so this is the number to watch as descriptions grow.
//
//   transfer_bench [REPEATS]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "eddtext/binary.h"
#include "model/session.h"
#include "ui/console_user_interface.h"

namespace {

using namespace tavrin::eddtext;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kVariables = 1024;
constexpr uint32_t kPerCommand = 4;
constexpr uint32_t kCommands = kVariables / kPerCommand;
// Texts: variables, read commands, write commands, the two menus.
enum : uint32_t { kReads = kVariables, kWrites = kReads + kCommands, kUpload = kWrites + kCommands, kDownload };

class InstantBus : public tavrin::model::Communication {
 public:
  bool profibusRead(uint8_t, uint8_t, uint8_t length, std::span<uint8_t> buffer, size_t& received) override {
    received = length;
    for (size_t i = 0; i < received; ++i) buffer[i] = static_cast<uint8_t>(i);
    return true;
  }
  bool profibusWrite(uint8_t, uint8_t, std::span<const uint8_t>) override { return true; }
  bool modbusRead(uint8_t, uint16_t, uint8_t, std::span<uint8_t>, size_t&) override { return false; }
  bool modbusWrite(uint8_t, uint16_t, std::span<const uint8_t>) override { return false; }
};

Tree command(uint32_t n, bool read) {
  Tree t{{4, 0, 0, {}},   {30, (read ? kReads : kWrites) + n, 1, {}}, {96, 0, 1, {}}, {58, 0, 2, {}},
         {399, 1, 3, {}}, {38, 0, 1, {}},  {58, 0, 2, {}},  {399, n, 3, {}},  {98, 0, 1, {}},
         {58, 0, 2, {}},  {uint16_t(read ? 394 : 395), 0, 3, {}},           {109, 0, 1, {}},
         {399, 0, 2, {}}, {uint16_t(read ? 110 : 111), 0, 2, {}}};
  for (uint32_t v = 0; v < kPerCommand; ++v) t.insert(t.end(), {{113, 0, 3, {}}, {30, n * kPerCommand + v, 4, {}}});
  return t;
}

Tree menu(uint32_t name) {
  Tree t{{14, 0, 0, {}}, {30, name, 1, {}}, {179, 0, 1, {}}, {58, 0, 2, {}}};
  for (uint32_t v = 0; v < kVariables; ++v) t.insert(t.end(), {{180, 0, 3, {}}, {30, v, 4, {}}});
  return t;
}

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 3;
  Document d;
  for (uint32_t i = 0; i < kVariables; ++i) d.texts.push_back("variable_" + std::to_string(i));
  for (uint32_t i = 0; i < kCommands; ++i) d.texts.push_back("read_" + std::to_string(i));
  for (uint32_t i = 0; i < kCommands; ++i) d.texts.push_back("write_" + std::to_string(i));
  d.texts.insert(d.texts.end(), {"download_variables", "upload_variables"});
  for (uint32_t i = 0; i < kVariables; ++i)
    d.lists[0].push_back({{22, 0, 0, {}}, {30, i, 1, {}}, {300, 0, 1, {}}, {32, 0, 2, {}}, {399, 1, 3, {}}});
  for (uint32_t i = 0; i < kCommands; ++i) d.lists[2].push_back(command(i, true));
  for (uint32_t i = 0; i < kCommands; ++i) d.lists[2].push_back(command(i, false));
  d.lists[5].push_back(menu(kUpload));
  d.lists[5].push_back(menu(kDownload));

  char folder[] = "/tmp/tavrin-transfer-bench-XXXXXX";
  const std::string path = std::string(::mkdtemp(folder)) + "/device.bin";
  std::ofstream(path, std::ios::binary) << writeBinary(d);

  std::ostream nowhere(nullptr);
  tavrin::ui::ConsoleUserInterface ui(std::cin, nowhere, nowhere, {});
  tavrin::model::Session session(ui, TAVRIN_DIST_DIR);
  if (!session.loadDescription(path)) return 1;
  session.registerVariables();
  InstantBus bus;
  session.setCommunication(&bus, tavrin::model::CommunicationType::Profibus);
  const EddNode* upload = session.description().findObject(kUpload);
  const EddNode* download = session.description().findObject(kDownload);

  double first = 0, last = 0, uploads = 0, downloads = 0;
  for (int r = 0; r < repeats; ++r) {
    Clock::time_point start = Clock::now();
    session.transfer().readVariable(0);
    first += millisecondsSince(start);
    start = Clock::now();
    session.transfer().readVariable(kVariables - 1);
    last += millisecondsSince(start);
    start = Clock::now();
    if (!session.menuTransfer().upload(upload)) return 1;
    uploads += millisecondsSince(start);
    for (auto& e : session.symbols().entries()) e.state = tavrin::model::ValueState::Changed;
    start = Clock::now();
    session.menuTransfer().download(download);
    downloads += millisecondsSince(start);
  }
  std::printf("%u variables, %u read and %u write commands, %d repeats\n", kVariables, kCommands, kCommands,
              repeats);
  std::printf("read the first variable:                 %8.3f ms\n", first / repeats);
  std::printf("read the last variable (whole search):   %8.3f ms\n", last / repeats);
  std::printf("upload all (1,024 reads):                %8.1f ms\n", uploads / repeats);
  std::printf("download all (256 writes):               %8.1f ms\n", downloads / repeats);
  std::filesystem::remove_all(folder);
  return 0;
}
