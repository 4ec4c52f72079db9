#include "platform/program_folder.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace {

std::string currentFolder() {
  std::vector<char> cwd(PATH_MAX);
  while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
    if (errno != ERANGE) return {};
    cwd.resize(cwd.size() * 2);
  }
  return cwd.data();
}

bool isExecutableFile(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0;
}

}  // namespace

std::string startedFolder(const char* argv0, const char* path) {
  const std::string name = argv0 ? argv0 : "";
  std::string found;
  if (name.find('/') != std::string::npos) {
    found = name;
  } else if (!name.empty() && path) {
    // As the shell searched: the first PATH entry holding an executable of
    // that name; an empty entry is the working folder.
    const std::string entries = path;
    for (size_t start = 0; start <= entries.size();) {
      size_t end = entries.find(':', start);
      if (end == std::string::npos) end = entries.size();
      std::string folder = end > start ? entries.substr(start, end - start) : std::string(1, '.');
      folder += '/';
      folder += name;
      if (isExecutableFile(folder)) {
        found = std::move(folder);
        break;
      }
      start = end + 1;
    }
  }
  if (found.empty() || !isExecutableFile(found)) return executableFolder();
  if (found.front() != '/') {
    const std::string cwd = currentFolder();
    if (cwd.empty()) return executableFolder();
    std::string absolute = cwd;
    absolute += '/';
    absolute += found;
    found = std::move(absolute);
  }
  // "./tavrin" started from /home/u/f is /home/u/f/./tavrin: tidy the "."
  // steps so that the folder reads as people expect.
  std::string tidy;
  for (size_t i = 0; i < found.size();) {
    if (found.compare(i, 2, "./") == 0 && (i == 0 || found[i - 1] == '/')) {
      i += 2;
      continue;
    }
    if (found[i] == '/' && !tidy.empty() && tidy.back() == '/') {
      ++i;
      continue;
    }
    tidy += found[i++];
  }
  return parentFolder(tidy);
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
