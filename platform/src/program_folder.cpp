#include "platform/program_folder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace tavrin::platform {

std::string parentFolder(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  auto slash = p.rfind('/');
  if (slash == std::string::npos) return {};
  return p.substr(0, slash + 1);
}

std::string executableFolder() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) return parentFolder(std::string(buf.data(), static_cast<size_t>(n)));
    buf.resize(buf.size() * 2);
  }
}

std::string libraryProgramFolder(const void* addressInLibrary) {
  Dl_info info{};
  if (::dladdr(addressInLibrary, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') return {};
  std::string path = info.dli_fname;
  if (path.front() != '/') {
    // A relative dlopen path is relative to the working folder of that moment;
    // the best we can do is the current one.
    std::vector<char> cwd(PATH_MAX);
    if (::getcwd(cwd.data(), cwd.size()) == nullptr) return {};
    path = std::string(cwd.data()) + "/" + path;
  }
  std::string driverFolder = parentFolder(path);
  if (driverFolder.empty()) return {};
  return parentFolder(driverFolder);
}

}  // namespace tavrin::platform
