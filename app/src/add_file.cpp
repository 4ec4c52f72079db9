#include "app/add_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "lirrand.h"
#include "platform/dynamic_library.h"
#include "platform/key_file.h"
#include "ui/user_interface.h"

namespace tavrin::app {
namespace {

constexpr size_t kPathLimit = 259;

std::string hex4(const char* prefix, uint16_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%04X", prefix, static_cast<unsigned>(value));
  return text;
}

bool blank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The loader's reader and writer, bound for one file.
class Loader {
 public:
  explicit Loader(const ProgramFiles& files) {
    if (!library_.open(files.driver("Lirrand"))) return;
    read_ = library_.function<decltype(Binary_ReadEDD)>("Binary_ReadEDD");
    print_ = library_.function<decltype(Binary_PrintEDD)>("Binary_PrintEDD");
    release_ = library_.function<decltype(Binary_DeleteALL)>("Binary_DeleteALL");
  }
  ~Loader() {
    if (release_) release_(&block_);
  }
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  bool usable() const { return read_ && print_ && release_; }
  bool read(const std::string& path) { return read_(&block_, path.c_str()) > 0; }
  bool print(const std::string& path) { return print_(&block_, path.c_str()) == 0; }

 private:
  platform::DynamicLibrary library_;
  decltype(Binary_ReadEDD)* read_ = nullptr;
  decltype(Binary_PrintEDD)* print_ = nullptr;
  decltype(Binary_DeleteALL)* release_ = nullptr;
  EddBlock block_{};
};

bool syncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Reads source with the loader and writes it to destination through a
// temporary file in the destination's folder.
bool install(const std::string& source, const std::string& folder, const std::string& destination,
             const ProgramFiles& files, ui::UserInterface& ui) {
  Loader loader(files);
  if (!loader.usable()) {
    ui.errorBox("Error: The description loader " + files.driver("Lirrand") + " cannot be used!");
    return false;
  }
  if (!loader.read(source)) {
    ui.errorBox("Error: " + source + " file cannot be read as a description!");
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string temporary = destination + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  bool ok = fd >= 0;
  if (fd >= 0) ::close(fd);
  ok = ok && loader.print(temporary) && syncFile(temporary) && ::chmod(temporary.c_str(), 0644) == 0 &&
       ::rename(temporary.c_str(), destination.c_str()) == 0;
  if (!ok) {
    if (fd >= 0) ::unlink(temporary.c_str());
    ui.errorBox("Error: " + destination + " file cannot be written!");
    return false;
  }
  syncFolder(folder);
  return true;
}

}  // namespace

std::optional<uint16_t> hexadecimalCode(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      i + 2 < text.size() && hexDigit(text[i + 2]) >= 0)
    i += 2;
  uint32_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && hexDigit(text[i]) >= 0; ++i, ++digits) {
    value = value * 16 + static_cast<uint32_t>(hexDigit(text[i]));
    if (value > 0xFFFF) return std::nullopt;
  }
  if (digits == 0) return std::nullopt;
  return static_cast<uint16_t>(value);
}

std::string libraryFileName(std::string_view path) {
  path = path.substr(0, std::min(path.size(), kPathLimit));
  const size_t slash = path.find_last_of("/\\");
  std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
  if (name == "." || name == "..") return {};
  return name;
}

DeviceTableEntry deviceTableEntry(int type, uint16_t manufacturer, uint16_t device) {
  if (type == 1) return {hex4("MD_MANUFACTURER_0x", manufacturer), hex4("MD_DEVICE_TYPE_0x", device)};
  return {hex4("MANUFACTURER_0x", manufacturer), hex4("DEVICE_TYPE_0x", device)};
}

std::optional<AddedFile> acceptAddFile(const AddFileForm& form, const ProgramFiles& files, ui::UserInterface& ui) {
  if (blank(form.manufacturerCode)) {
    ui.errorBox("Error: Please input 'Manufacture Code'!");
    return std::nullopt;
  }
  if (blank(form.deviceCode)) {
    ui.errorBox("Error: Please input 'Device Type'!");
    return std::nullopt;
  }
  if (blank(form.file)) {
    ui.errorBox("Error: Please select EDDL file!");
    return std::nullopt;
  }
  if (form.type != 0 && form.type != 1) {
    ui.errorBox("Error: Please select 'Meter Type'!");
    return std::nullopt;
  }
  // Refused before the question: a code without digits would register the
  // file under 0x0000, one above FFFF under a code no device reports.
  const auto manufacturer = hexadecimalCode(form.manufacturerCode);
  if (!manufacturer) {
    ui.errorBox("Error: The 'Manufacture Code' must be a hexadecimal number from 0 to FFFF!");
    return std::nullopt;
  }
  const auto device = hexadecimalCode(form.deviceCode);
  if (!device) {
    ui.errorBox("Error: The 'Device Type' must be a hexadecimal number from 0 to FFFF!");
    return std::nullopt;
  }
  const std::string name = libraryFileName(form.file);
  if (name.empty()) {
    ui.errorBox("Error: " + form.file + " is no file name!");
    return std::nullopt;
  }
  if (!ui.warningQuestion(kAddFileQuestion)) return std::nullopt;

  AddedFile added;
  added.entry = deviceTableEntry(form.type, *manufacturer, *device);
  added.name = name;
  if (!platform::writeKey(added.entry.section, added.entry.key, files.deviceTable(), name)) {
    ui.errorBox("Error: " + files.deviceTable() + " file cannot be written!");
    return std::nullopt;
  }
  const std::string folder = form.type == 1 ? files.modbusLibrary() : files.profibusLibrary();
  added.destination = folder + name;
  // A file chosen in the library itself is registered as it is.
  if (added.destination == form.file) return added;
  std::error_code ec;
  if (std::filesystem::exists(added.destination, ec) &&
      ui.message({"WARNING", std::string(kReplaceQuestion), ui::Icon::Warning, ui::Buttons::YesNo}) != ui::Answer::Yes)
    return added;
  if (!install(form.file, folder, added.destination, files, ui)) return std::nullopt;
  added.written = true;
  return added;
}

}  // namespace tavrin::app
