// eddc, the description tool:
//   eddc FILE.edd -o FILE.bin     compile EDDL source into a description file
//   eddc dump FILE.bin            print a description file as a readable tree
//   eddc asm FILE.txt -o FILE.bin turn that readable form back into the file
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "eddl/compiler.h"
#include "eddtext/binary.h"
#include "eddtext/text_form.h"

namespace {

using namespace tavrin::eddtext;

constexpr const char* kUsage =
    "usage: eddc FILE.edd -o FILE.bin\n"
    "       eddc dump FILE.bin\n"
    "       eddc asm FILE.txt -o FILE.bin\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

bool slurp(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return !in.bad();
}

int dump(const std::vector<std::string>& args) {
  if (args.size() != 1) return usage();
  std::string bytes;
  if (!slurp(args[0], bytes)) {
    std::fprintf(stderr, "eddc: cannot read %s: %s\n", args[0].c_str(), std::strerror(errno));
    return 1;
  }
  ParsedBinary parsed = parseBinary(bytes);
  std::string text = dumpText(parsed.document);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "eddc: cannot write the dump: %s\n", std::strerror(errno));
    return 1;
  }
  if (parsed.error) {
    std::fprintf(stderr, "%s: at byte %zu: %s (the dump above shows what came before)\n", args[0].c_str(),
                 parsed.error->offset, parsed.error->message.c_str());
    return 1;
  }
  return 0;
}

// A regular file (or a link to one) is replaced atomically: the bytes go to
// a fresh file beside it that is renamed over it, so a failed run leaves the
// old file. Anything else (a device such as /dev/stdout, a pipe) is written
// into directly; renaming over it would replace the device itself.
bool writeFile(const std::string& path, const std::string& bytes) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
  }
  const std::string target = fs::is_symlink(fs::symlink_status(path, ec)) ? fs::canonical(path, ec).string() : path;
  if (target.empty()) return false;
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    done += ok ? static_cast<size_t>(n) : 0;
  }
  ok = ::close(fd) == 0 && ok;
  // mkstemp makes the file private; give it the usual mode.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ok = ok && ::chmod(temporary.c_str(), 0666 & ~mask) == 0;
  if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

// INPUT -o OUTPUT, in either order; 2 for anything else.
int inputAndOutput(const std::vector<std::string>& args, std::string& input, std::string& output) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size() && output.empty())
      output = args[++i];
    else if (input.empty() && !args[i].starts_with("-"))
      input = args[i];
    else
      return usage();
  }
  return input.empty() || output.empty() ? usage() : 0;
}

int write(const std::string& output, const Document& document) {
  if (!writeFile(output, writeBinary(document))) {
    std::fprintf(stderr, "eddc: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

int assemble(const std::vector<std::string>& args) {
  std::string input, output, source;
  if (int bad = inputAndOutput(args, input, output)) return bad;
  if (!slurp(input, source)) {
    std::fprintf(stderr, "eddc: cannot read %s: %s\n", input.c_str(), std::strerror(errno));
    return 1;
  }
  Assembled assembled = assembleText(source, input);
  if (!assembled.document) {
    std::fprintf(stderr, "%s\n", assembled.error.c_str());
    return 1;
  }
  return write(output, *assembled.document);
}

int compile(const std::vector<std::string>& args) {
  std::string input, output, source;
  if (int bad = inputAndOutput(args, input, output)) return bad;
  if (!slurp(input, source)) {
    std::fprintf(stderr, "eddc: cannot read %s: %s\n", input.c_str(), std::strerror(errno));
    return 1;
  }
  const tavrin::eddl::Compiled compiled = tavrin::eddl::compile(source);
  if (!compiled.document) {
    const std::string report = compiled.report(input);
    std::fwrite(report.data(), 1, report.size(), stderr);
    return 1;
  }
  return write(output, *compiled.document);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string_view command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "dump") return dump(args);
    if (command == "asm") return assemble(args);
    if (command == "-h" || command == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    return compile(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "eddc: %s\n", e.what());
    return 1;
  }
  return usage();
}
