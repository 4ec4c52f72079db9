#include "platform/key_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/program_folder.h"
#include "platform/text.h"

namespace tavrin::platform {
namespace {


bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The name of a [section] line, or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view content) {
  std::string_view s = trim(content);
  if (s.empty() || s.front() != '[') return std::nullopt;
  size_t close = s.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return trim(s.substr(1, close - 1));
}

struct Entry {
  std::string_view key;
  std::string_view value;
};

std::optional<Entry> keyLine(std::string_view content) {
  std::string_view s = trim(content);
  if (s.empty() || s.front() == ';' || s.front() == '[') return std::nullopt;
  size_t eq = s.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::string_view value = trim(s.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return Entry{trim(s.substr(0, eq)), value};
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string escapeLineFeeds(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

// Follows symbolic links (also dangling ones) to the file that a write must
// replace. Empty on a link loop.
std::string resolveLinks(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string target(PATH_MAX, '\0');
    ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
    if (n < 0) return p;
    target.resize(static_cast<size_t>(n));
    p = (target.front() == '/') ? target : parentFolder(p) + target;
  }
  errno = ELOOP;
  return {};
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::mutex& profileMutex() {
  static std::mutex m;
  return m;
}

}  // namespace

KeyFile KeyFile::parse(std::string_view text) {
  KeyFile file;
  while (!text.empty()) {
    size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
      file.lines_.push_back({std::string(text), ""});
      break;
    }
    std::string_view content = text.substr(0, lf);
    bool crlf = !content.empty() && content.back() == '\r';
    if (crlf) content.remove_suffix(1);
    file.lines_.push_back({std::string(content), crlf ? "\r\n" : "\n"});
    text.remove_prefix(lf + 1);
  }
  return file;
}

KeyFile KeyFile::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return parse(buffer.str());
}

KeyFile KeyFile::loadForUpdate(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return load(path);
}

std::optional<KeyFile::Range> KeyFile::findSection(std::string_view section) const {
  section = trim(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto name = sectionName(lines_[i].content);
    if (!name || !equalNoCase(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !sectionName(lines_[end].content)) ++end;
    return Range{i, end};
  }
  return std::nullopt;
}

std::optional<std::string> KeyFile::get(std::string_view section, std::string_view key) const {
  auto range = findSection(section);
  if (!range) return std::nullopt;
  key = trim(key);
  for (size_t i = range->header + 1; i < range->end; ++i) {
    auto entry = keyLine(lines_[i].content);
    if (entry && equalNoCase(entry->key, key)) return std::string(entry->value);
  }
  return std::nullopt;
}

bool KeyFile::hasSection(std::string_view section) const { return findSection(section).has_value(); }

std::vector<std::string> KeyFile::sectionNames() const {
  std::vector<std::string> names;
  for (const auto& line : lines_) {
    auto name = sectionName(line.content);
    if (!name) continue;
    bool seen = false;
    for (const auto& n : names) seen = seen || equalNoCase(n, *name);
    if (!seen) names.emplace_back(*name);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> KeyFile::entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  auto range = findSection(section);
  if (!range) return out;
  for (size_t i = range->header + 1; i < range->end; ++i) {
    auto entry = keyLine(lines_[i].content);
    if (!entry) continue;
    bool seen = false;
    for (const auto& kv : out) seen = seen || equalNoCase(kv.first, entry->key);
    if (!seen) out.emplace_back(std::string(entry->key), std::string(entry->value));
  }
  return out;
}

std::string KeyFile::lineEnding() const {
  for (const auto& line : lines_)
    if (!line.ending.empty()) return line.ending;
  return "\n";
}

bool KeyFile::set(std::string_view section, std::string_view key, std::string_view value) {
  std::string_view k = trim(key);
  std::string_view s = trim(section);
  if (hasLineBreak(section) || hasLineBreak(key) || k.empty() || k.find('=') != std::string_view::npos ||
      k.front() == '[' || k.front() == ';')
    return false;
  const std::string eol = lineEnding();
  std::string newLine = std::string(k) + "=" + escapeLineFeeds(value);

  auto range = findSection(s);
  if (range) {
    for (size_t i = range->header + 1; i < range->end; ++i) {
      auto entry = keyLine(lines_[i].content);
      if (entry && equalNoCase(entry->key, k)) {
        lines_[i].content = std::move(newLine);
        return true;
      }
    }
    size_t after = range->header;
    for (size_t i = range->header + 1; i < range->end; ++i)
      if (!trim(lines_[i].content).empty()) after = i;
    if (lines_[after].ending.empty()) lines_[after].ending = eol;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1), Line{std::move(newLine), eol});
    return true;
  }

  if (!lines_.empty()) {
    if (lines_.back().ending.empty()) lines_.back().ending = eol;
    if (!trim(lines_.back().content).empty()) lines_.push_back({"", eol});
  }
  lines_.push_back({"[" + std::string(s) + "]", eol});
  lines_.push_back({std::move(newLine), eol});
  return true;
}

std::string KeyFile::text() const {
  std::string out;
  for (const auto& line : lines_) {
    out += line.content;
    out += line.ending;
  }
  return out;
}

bool KeyFile::save(const std::string& path) const { return writeFileAtomically(path, text()); }

namespace {

constexpr std::string_view kTemporaryTag = ".tmp";

std::string temporaryPrefix(std::string_view name) { return "." + std::string(name) + std::string(kTemporaryTag); }

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The writer's process of a temporary file of name (".<name>.tmp<pid>.<n>"),
// or nothing when entry is no such file.
std::optional<pid_t> temporaryOwner(std::string_view entry, std::string_view name) {
  const std::string prefix = temporaryPrefix(name);
  if (!entry.starts_with(prefix)) return std::nullopt;
  entry.remove_prefix(prefix.size());
  const size_t dot = entry.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string_view pid = entry.substr(0, dot);
  if (!allDigits(pid) || pid.size() > 9 || !allDigits(entry.substr(dot + 1))) return std::nullopt;
  return static_cast<pid_t>(std::stol(std::string(pid)));
}

// Removes what writers of folder/name that were killed before their rename
// left behind. A temporary file of a process that still runs (this one
// included) may be a write in progress and stays.
void removeStaleTemporaries(const std::string& folder, std::string_view name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* e = ::readdir(dir)) {
    const auto owner = temporaryOwner(e->d_name, name);
    if (!owner || *owner <= 0 || *owner == ::getpid()) continue;
    if (::kill(*owner, 0) == 0 || errno != ESRCH) continue;
    stale.emplace_back(e->d_name);
  }
  for (const std::string& entry : stale) {
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
      ::unlinkat(::dirfd(dir), entry.c_str(), 0);
  }
  ::closedir(dir);
}

// A pipe, a terminal or a device cannot be replaced: it gets the text as it
// is. Opened without waiting, so a FIFO without a reader refuses instead of
// blocking; the writes then wait for the reader as any pipe write does.
bool writePlainly(const std::string& path, std::string_view content) {
  int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  bool ok = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && writeAll(fd, content);
  ok = (::close(fd) == 0) && ok;
  return ok;
}

bool replaceFile(const std::string& path, std::string_view content, std::optional<unsigned> mode) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return writePlainly(path, content);
  const std::string target = resolveLinks(path);
  if (target.empty()) return false;
  std::string folder = parentFolder(target);
  std::string name = folder.empty() ? target : target.substr(folder.size());
  if (name.empty()) return false;
  removeStaleTemporaries(folder, name);

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + temporaryPrefix(name) + std::to_string(::getpid()) + "." + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode ? (*mode & 0777) : 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  struct stat old {};
  if (mode) {
    ::fchmod(fd, *mode & 07777);
  } else if (::stat(target.c_str(), &old) == 0) {
    ::fchmod(fd, old.st_mode & 07777);
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
      [[maybe_unused]] int ignored = ::fchown(fd, old.st_uid, old.st_gid);
  }
  bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return false;
  }
  int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view content) {
  return replaceFile(path, content, std::nullopt);
}

bool writeFileAtomically(const std::string& path, std::string_view content, unsigned mode) {
  return replaceFile(path, content, mode);
}

namespace {

// What the profile interface hands out of a stored value: at most its
// buffer's worth.
std::string profileValue(std::optional<std::string> value) {
  if (!value) return {};
  std::string v = std::move(*value);
  if (v.size() >= kProfileBufferSize) {
    size_t cut = kProfileBufferSize - 1;
    // Never leave half a UTF-8 character at the end.
    size_t back = 0;
    while (back < 3 && cut > back && (static_cast<unsigned char>(v[cut - back]) & 0xC0) == 0x80) ++back;
    if (back > 0 && (static_cast<unsigned char>(v[cut - back]) & 0xC0) == 0xC0) cut -= back;
    v.resize(cut);
  }
  return v;
}

std::string keyValue(const std::string& raw) {
  if (raw == "NULL") return {};
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += raw[i];
    }
  }
  return out;
}

}  // namespace

std::string readProfileString(std::string_view section, std::string_view key, const std::string& path) {
  std::optional<std::string> value;
  {
    std::lock_guard lock(profileMutex());
    value = KeyFile::load(path).get(section, key);
  }
  return profileValue(std::move(value));
}

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
  const KeyValue one{section, key, value};
  return writeKeys(path, {&one, 1});
}

std::string readKey(std::string_view section, std::string_view key, const std::string& path) {
  return keyValue(readProfileString(section, key, path));
}

std::string readKey(const KeyFile& file, std::string_view section, std::string_view key) {
  return keyValue(profileValue(file.get(section, key)));
}

bool writeKey(std::string_view section, std::string_view key, const std::string& path, std::string_view value) {
  return writeProfileString(section, key, value, path);
}

bool writeKeys(const std::string& path, std::span<const KeyValue> keys) {
  std::lock_guard lock(profileMutex());
  KeyFile file = KeyFile::loadForUpdate(path);
  for (const KeyValue& k : keys)
    if (!file.set(k.section, k.key, k.value)) return false;
  return file.save(path);
}

}  // namespace tavrin::platform
