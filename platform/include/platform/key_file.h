// Windows-style key files ("private profiles"): [section] lines and
// key=value lines, as com.ini, device.cfg, export files, settings files and
// trim databases use them.
//
// Reading behaves like GetPrivateProfileString: sections and keys match
// without regard to ASCII letter case; blanks (spaces, tabs) around keys and
// values are trimmed; one pair of matching enclosing quotes (" or ') is
// removed from a value; lines starting with ';' and lines without '=' are
// ignored; of duplicate sections or keys the first wins; LF and CRLF line
// ends both read. A missing file, section or key reads as the empty text.
//
// Writing behaves like WritePrivateProfileString: the key's line is replaced
// (or added after the last non-blank line of its section, or a new section
// is appended), every other line is kept byte for byte, and new lines use
// the file's own line ends (LF for a new file). A line feed inside a value is
// written as the two characters backslash and n, so no value can break the
// file; readKey() turns them back. Section or key names that could not be
// read back (line breaks, '=' in a key, an empty key) are refused.
//
// Every write replaces the whole file atomically and durably (temporary file
// in the same folder, fsync, rename, fsync of the folder), keeps the file's
// mode and owner where permitted, and writes through a symbolic link to its
// target. A crash leaves the old or the new file, never a mix. Several keys
// of one file that belong together (serial settings, a polling range, a
// calibration step) go through writeKeys(): one rewrite for all of them.
//
// Temporary files are named ".<name>.tmp<pid>.<n>" beside the file. A writer
// killed before its rename leaves one behind; the next write of that file
// removes those whose process no longer runs.
//
// A target that exists and is not a regular file (a pipe, a terminal,
// /dev/stdout, /dev/null) is never read and cannot be replaced: a write
// sends it the new text plainly, opened without waiting for a reader. A
// FIFO that nobody reads, a folder or a socket refuse the write.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin::platform {

// The read buffer of the private-profile interface: a value reads as at most
// kProfileBufferSize - 1 bytes (cut back to a UTF-8 character boundary).
inline constexpr std::size_t kProfileBufferSize = 1024;

class KeyFile {
 public:
  static KeyFile parse(std::string_view text);
  // A missing or unreadable file gives an empty key file.
  static KeyFile load(const std::string& path);
  // What a write starts from: the file's content when it is a regular file,
  // an empty key file for anything else (never opened, so a pipe cannot
  // block the writer).
  static KeyFile loadForUpdate(const std::string& path);

  // The value as stored (trimmed, quotes removed), in full length.
  std::optional<std::string> get(std::string_view section, std::string_view key) const;
  bool hasSection(std::string_view section) const;
  // Section names in file order, each name once (first spelling).
  std::vector<std::string> sectionNames() const;
  // Key/value pairs of the first section of that name, in file order, each
  // key once (first wins).
  std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;

  // False (and nothing changed) for a name that cannot be written.
  bool set(std::string_view section, std::string_view key, std::string_view value);

  std::string text() const;
  bool save(const std::string& path) const;

 private:
  struct Line {
    std::string content;
    std::string ending;  // "\r\n", "\n", or "" for a last line without one
  };
  struct Range {
    size_t header;  // index of the [section] line
    size_t end;     // one past the section's last line
  };
  std::optional<Range> findSection(std::string_view section) const;
  std::string lineEnding() const;

  std::vector<Line> lines_;
};

// Replaces the file at path (following symbolic links) with content,
// atomically and durably as described above.
bool writeFileAtomically(const std::string& path, std::string_view content);
// The same, but the file ends up with exactly the given permission bits
// (for secrets: 0600), whatever mode an old file had; the content is never
// readable with wider permissions, not even in the temporary file.
bool writeFileAtomically(const std::string& path, std::string_view content, unsigned mode);

// GetPrivateProfileString with an empty default and a 1024-byte buffer.
std::string readProfileString(std::string_view section, std::string_view key, const std::string& path);
// WritePrivateProfileString; creates the file and the section when missing.
bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

// The program's key helpers. readKey: the profile string with every
// backslash-n turned into a line feed and a value of "NULL" read as empty.
std::string readKey(std::string_view section, std::string_view key, const std::string& path);
// The same from a file already loaded, for reading many keys of one file.
std::string readKey(const KeyFile& file, std::string_view section, std::string_view key);
// writeKey: the profile write (line feeds stored as backslash-n).
bool writeKey(std::string_view section, std::string_view key, const std::string& path, std::string_view value);

// One key of a multi-key write.
struct KeyValue {
  std::string_view section;
  std::string_view key;
  std::string_view value;
};
// Writes every key, in order, as writeKey would one after the other, but in
// one atomic rewrite of the file: afterwards it holds all of them or (after a
// crash or a failure) none. False, with the file untouched, when a name
// cannot be written or the file cannot be replaced.
bool writeKeys(const std::string& path, std::span<const KeyValue> keys);

}  // namespace tavrin::platform
