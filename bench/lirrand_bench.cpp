// How much dearer loading a description is than reading its bytes: a
// synthetic description of about 10 MB (tens of thousands of objects in
// several lists, wide and deep trees, 50,000 texts) is written to a
// temporary file and read through Driver/Lirrand.so again and again.
//
//   lirrand_bench [REPEATS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "eddtext/binary.h"
#include "lirrand.h"
#include "platform/dynamic_library.h"

namespace {

using namespace tavrin::eddtext;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kTexts = 50000;

// A variable in the shape descriptions have: name, label, type with
// attributes, handling, and an IF around its validity.
Tree variable(uint32_t id, std::mt19937& rng) {
  Tree t{{22, 0, 0, {}}, {30, id, 1, {}}, {290, 0, 1, {}}, {58, 0, 2, {}}, {410, 0, 3, {}},
         {31, static_cast<uint32_t>(rng() % kTexts), 4, {}}, {300, 0, 1, {}}, {33, 0, 2, {}}, {399, 4, 3, {}},
         {286, 0, 3, {}}, {405, 0, 4, {}}, {399, id, 5, {}}, {308, 0, 3, {}}, {398, 0x3F800000, 4, {}},
         {309, 0, 3, {}}, {398, 0x42C80000, 4, {}}, {287, 0, 1, {}}, {58, 0, 2, {}}, {341, 3, 3, {}},
         {302, 0x20000, 1, {}}, {301, 0, 1, {}}, {54, 0, 2, {}}, {405, 0, 3, {}}, {399, 1, 4, {}},
         {62, 0, 3, {}}, {58, 0, 4, {}}, {396, 0, 5, {}}};
  return t;
}

Tree command(uint32_t id, uint32_t variables, std::mt19937& rng) {
  Tree t{{4, 0, 0, {}}, {30, id, 1, {}}, {98, 0, 1, {}}, {58, 0, 2, {}}, {394, 0, 3, {}}, {109, 0, 1, {}},
         {399, 0, 2, {}}, {111, 0, 2, {}}, {110, 0, 2, {}}};
  for (int i = 0; i < 8; ++i) {
    t.push_back({113, 0, 3, {}});
    t.push_back({30, static_cast<uint32_t>(rng() % variables), 4, {}});
  }
  return t;
}

Tree wideMenu(uint32_t id, uint32_t items, uint32_t variables) {
  Tree t{{14, 0, 0, {}}, {30, id, 1, {}}, {179, 0, 1, {}}, {58, 0, 2, {}}};
  for (uint32_t i = 0; i < items; ++i) {
    t.push_back({180, 0, 3, {}});
    t.push_back({30, i % variables, 4, {}});
  }
  return t;
}

// A method body nested as deep as real statement lists never are.
Tree deepMethod(uint32_t id, uint32_t levels) {
  Tree t{{15, 0, 0, {}}, {30, id, 1, {}}, {478, 0, 1, {}}};
  for (uint32_t d = 2; d < levels; ++d) {
    t.push_back({405, 0, d, {}});
    t.push_back({399, d, d + 1, {}});
  }
  return t;
}

Document synthetic() {
  std::mt19937 rng(7);
  Document doc;
  doc.header = {1, 0, 0, 0};
  for (uint32_t i = 0; i < kTexts; ++i) {
    std::string text = "|en|Text number " + std::to_string(i) + "|de|Text Nummer " + std::to_string(i);
    if (i % 3 == 0) text += " with a longer help text that explains the parameter";
    doc.texts.push_back(std::move(text));
  }
  constexpr uint32_t kVariables = 18000;
  uint32_t id = 0;
  for (uint32_t i = 0; i < kVariables; ++i) doc.lists[0].push_back(variable(id++ % kTexts, rng));
  for (uint32_t i = 0; i < 5000; ++i) doc.lists[2].push_back(command(id++ % kTexts, kVariables, rng));
  for (uint32_t i = 0; i < 2000; ++i) doc.lists[3].push_back(wideMenu(id++ % kTexts, 20, kVariables));
  for (uint32_t i = 0; i < 2; ++i) doc.lists[3].push_back(wideMenu(id++ % kTexts, 50000, kVariables));
  for (uint32_t i = 0; i < 50; ++i) doc.lists[14].push_back(deepMethod(id++ % kTexts, 2000));
  doc.lists[14].push_back(deepMethod(id++ % kTexts, 9000));
  return doc;
}

template <class F>
double bestSeconds(int repeats, F&& f) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    auto start = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  tavrin::platform::DynamicLibrary lib;
  const std::string libraryPath = std::string(TAVRIN_DIST_DIR) + "Driver/Lirrand.so";
  if (!lib.open(libraryPath)) {
    std::fprintf(stderr, "%s\n", lib.error().c_str());
    return 1;
  }
  auto read = lib.function<int32_t(EddBlock*, const char*)>("Binary_ReadEDD");
  auto deleteAll = lib.function<void(EddBlock*)>("Binary_DeleteALL");

  const Document doc = synthetic();
  const std::string bytes = writeBinary(doc);
  char path[] = "/tmp/lirrand-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return 1;
  close(fd);

  size_t objects = 0, nodes = 0;
  for (const auto& trees : doc.lists) {
    objects += trees.size();
    for (const Tree& t : trees) nodes += t.size();
  }
  std::printf("description: %.1f MB, %zu objects, %zu nodes, %zu texts\n", bytes.size() / 1e6, objects, nodes,
              doc.texts.size());

  int32_t result = 0;
  double readOnly = 1e9, deleteOnly = 1e9;
  const double load = bestSeconds(repeats, [&] {
    EddBlock block;
    auto start = Clock::now();
    result = read(&block, path);
    auto read = Clock::now();
    deleteAll(&block);
    readOnly = std::min(readOnly, std::chrono::duration<double>(read - start).count());
    deleteOnly = std::min(deleteOnly, std::chrono::duration<double>(Clock::now() - read).count());
  });
  const double slurp = bestSeconds(repeats, [&] {
    std::ifstream in(path, std::ios::binary);
    std::string all(bytes.size(), '\0');
    in.read(all.data(), static_cast<std::streamsize>(all.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) std::abort();
  });
  std::remove(path);
  if (result != static_cast<int32_t>(kTexts)) {
    std::fprintf(stderr, "Binary_ReadEDD returned %d\n", result);
    return 1;
  }
  std::printf("Binary_ReadEDD + Binary_DeleteALL: %8.2f ms (best of %d)\n", load * 1e3, repeats);
  std::printf("  of which Binary_ReadEDD:         %8.2f ms, Binary_DeleteALL %.2f ms (best of each)\n",
              readOnly * 1e3, deleteOnly * 1e3);
  std::printf("reading the file's bytes:          %8.2f ms (best of %d)\n", slurp * 1e3, repeats);
  std::printf("ratio:                             %8.1f\n", load / slurp);
  return 0;
}
