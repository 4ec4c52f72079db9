// Description files come from outside. The reader gets arbitrary bytes and
// is checked against the independent parser of the description tools: a file
// the format cannot hold, or one the loader must refuse, gives 0 and an empty
// block; any other file loads with the same trees and writes back to them.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "eddtext/binary.h"
#include "lirrand.h"

namespace {

using namespace tavrin::eddtext;

std::string memoryFile(const uint8_t* data, size_t size, int& fd) {
  fd = memfd_create("edd", 0);
  if (fd < 0) std::abort();
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  return "/proc/self/fd/" + std::to_string(fd);
}

std::string contents(int fd) {
  std::string out;
  char buffer[65536];
  ssize_t n;
  lseek(fd, 0, SEEK_SET);
  while ((n = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  return out;
}

bool loaderAccepts(const ParsedBinary& parsed) {
  if (parsed.error) return false;
  for (const auto& trees : parsed.document.lists)
    for (const Tree& tree : trees) {
      if (!objectId(tree)) return false;
      for (const Node& node : tree)
        if (node.depth >= 10000) return false;
    }
  for (const std::string& text : parsed.document.texts)
    if (text.size() >= 10240) return false;
  return true;
}

bool sameShape(const Tree& a, const Tree& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].tag != b[i].tag || a[i].value != b[i].value || a[i].depth != b[i].depth) return false;
  return true;
}

}  // namespace

// Refused roots are reported on standard output; keep the fuzzer's own
// output readable.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ParsedBinary parsed = parseBinary(std::string_view(reinterpret_cast<const char*>(data), size));
  int in = -1;
  const std::string path = memoryFile(data, size, in);
  EddBlock block;
  std::memset(&block, 0x77, sizeof block);
  const int32_t result = Binary_ReadEDD(&block, path.c_str());
  close(in);

  if (!loaderAccepts(parsed)) {
    static const EddBlock zero{};
    if (result != 0 || std::memcmp(&block, &zero, sizeof block) != 0) std::abort();
    Binary_DeleteALL(&block);
    return 0;
  }
  const Document& doc = parsed.document;
  const int32_t texts = static_cast<int32_t>(doc.texts.size());
  if (result != texts || block.textCount != texts) std::abort();
  for (int32_t i = 0; i < texts; ++i)
    if (doc.texts[static_cast<size_t>(i)] != block.texts[i]) std::abort();

  int out = memfd_create("edd-out", 0);
  const std::string outPath = "/proc/self/fd/" + std::to_string(out);
  if (Binary_PrintEDD(&block, outPath.c_str()) != 0) std::abort();
  const ParsedBinary written = parseBinary(contents(out));
  close(out);
  if (written.error || written.document.header != doc.header || written.document.texts.size() != doc.texts.size())
    std::abort();
  for (int list = 0; list < kListCount; ++list) {
    if (written.document.lists[list].size() != doc.lists[list].size()) std::abort();
    for (size_t t = 0; t < doc.lists[list].size(); ++t)
      if (!sameShape(written.document.lists[list][t], doc.lists[list][t])) std::abort();
  }
  Binary_DeleteALL(&block);
  Binary_DeleteALL(&block);
  return 0;
}
