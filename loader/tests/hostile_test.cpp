// Description files come from outside. Every way a file can lie ends the read
// with 0 and an all-zero block, without a crash, an overrun, a leak (the
// sanitizer build checks) or a hang.
#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "eddtext/binary.h"
#include "testing/edd_fixture.h"
#include "testing/temp_dir.h"

namespace tavrin::testing {
namespace {

using eddtext::Document;
using eddtext::Node;
using eddtext::Tree;

void expectRefused(const EddFixture& edd) {
  EXPECT_EQ(edd.result(), 0);
  EXPECT_TRUE(allZero(edd.block()));
}

// Several lists, texts, values and nesting: enough that a cut lands inside
// every kind of field.
constexpr const char* kWellFormed = R"(
  header 1 2 3 4
  list 0
    variable
      identifier "pressure"
      type
        integer
          integer-constant 4
      class 0x20000
  list 2
    command
      identifier "read"
      transaction
        request
          data-reference
            identifier "pressure"
  texts
    "|en|Pressure|de|Druck"
)";

TEST(LirrandHostile, AFileCutShortAnywhereIsRefused) {
  const std::string whole = assembleEdd(kWellFormed);
  ASSERT_EQ(EddFixture::fromBytes(whole).result(), 3);
  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE("cut after " + std::to_string(length) + " bytes");
    expectRefused(EddFixture::fromBytes(whole.substr(0, length)));
  }
}

TEST(LirrandHostile, RootTagOutsideTheIdTableIsReportedAndRefused) {
  for (uint16_t tag : {2, 8, 19, 27, 127, 402, 65535}) {
    SCOPED_TRACE("root tag " + std::to_string(tag));
    const std::string text = "list 0\n  variable\n    identifier \"ok\"\nlist 7\n  " + std::to_string(tag) +
                              "\n    identifier \"bad\"\nlist 9\n  variable\n";
    ::testing::internal::CaptureStdout();
    EddFixture edd(text);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Don't exist the object tag!\n");
    expectRefused(edd);
  }
}

TEST(LirrandHostile, CountsFarBeyondTheFileEndTheReadAtTheFileEnd) {
  expectRefused(EddFixture("list 0 count=4294967295\n  variable\n"));
  expectRefused(EddFixture("list 0\n  variable children=2147483647\n    identifier \"x\"\n"));
  expectRefused(EddFixture("list 0\n  variable children=-1\n    identifier \"x\"\n"));
  // A text count that would reserve gigabytes if it were trusted.
  expectRefused(EddFixture("texts count=2147483647\n  \"a\"\n  \"b\"\n"));
}

TEST(LirrandHostile, TextsFitTheStagingBufferWithTheirZeroByte) {
  Document doc;
  doc.texts = {"short", std::string(10239, 'x')};
  EddFixture fits = EddFixture::fromBytes(eddtext::writeBinary(doc));
  ASSERT_EQ(fits.result(), 2);
  EXPECT_EQ(fits.text(1).size(), 10239u);

  doc.texts[1] += 'y';
  expectRefused(EddFixture::fromBytes(eddtext::writeBinary(doc)));
  doc.texts[1] = std::string(1 << 20, 'z');
  expectRefused(EddFixture::fromBytes(eddtext::writeBinary(doc)));
}

TEST(LirrandHostile, TextWithoutItsZeroByteAtTheEndIsRefused) {
  std::string bytes = assembleEdd("texts\n  \"abc\"\n");
  bytes.pop_back();
  expectRefused(EddFixture::fromBytes(bytes));
}

Document chain(uint32_t levels) {
  Document doc;
  Tree tree;
  tree.push_back({22, 0, 0, {}});
  for (uint32_t depth = 1; depth < levels; ++depth) tree.push_back({32, 0, depth, {}});
  doc.lists[0].push_back(std::move(tree));
  return doc;
}

TEST(LirrandHostile, TenThousandLevelsAreReadOneMoreIsRefused) {
  EddFixture deep = EddFixture::fromBytes(eddtext::writeBinary(chain(10000)));
  ASSERT_EQ(deep.list(0).size(), 1u);
  size_t levels = 0;
  for (const EddNode* n = deep.list(0)[0]->root; n != nullptr; n = n->child) ++levels;
  EXPECT_EQ(levels, 10000u);
  // Writing and freeing a tree that deep must not recurse either.
  ASSERT_EQ(Lirrand::get().print(&deep.block(), deep.scratch("deep.bin").c_str()), 0);
  EXPECT_EQ(EddFixture::fromBytes(deep.bytes()).list(0).size(), 1u);

  expectRefused(EddFixture::fromBytes(eddtext::writeBinary(chain(10001))));
  expectRefused(EddFixture::fromBytes(eddtext::writeBinary(chain(200000))));
}

// A recursive walk along sibling chains would need a stack frame per child.
TEST(LirrandHostile, AMillionChildrenAreReadWrittenAndFreedWithoutRecursion) {
  constexpr uint32_t kChildren = 1000000;
  Document doc;
  Tree tree;
  tree.push_back({22, 0, 0, {}});
  for (uint32_t i = 0; i < kChildren; ++i) tree.push_back({399, i, 1, {}});
  doc.lists[0].push_back(std::move(tree));
  EddFixture wide = EddFixture::fromBytes(eddtext::writeBinary(doc));
  ASSERT_EQ(wide.list(0).size(), 1u);
  uint32_t n = 0;
  bool ordered = true;
  for (const EddNode* c = wide.list(0)[0]->root->child; c != nullptr; c = c->sibling) ordered &= c->value == n++;
  EXPECT_EQ(n, kChildren);
  EXPECT_TRUE(ordered);
  const std::string out = wide.scratch("wide.bin");
  ASSERT_EQ(Lirrand::get().print(&wide.block(), out.c_str()), 0);
  EXPECT_EQ(TempDir::slurp(out), wide.bytes());
}

TEST(LirrandHostile, HundredsOfThousandsOfObjectsInOneList) {
  constexpr uint32_t kObjects = 300000;
  Document doc;
  for (uint32_t i = 0; i < kObjects; ++i) doc.lists[20].push_back(Tree{{21, 0, 0, {}}, {30, i, 1, {}}});
  EddFixture many = EddFixture::fromBytes(eddtext::writeBinary(doc));
  uint32_t n = 0;
  bool ordered = true;
  for (const EddElement* e = many.block().heads[20].next; e != nullptr; e = e->next) ordered &= e->id == int32_t(n++);
  EXPECT_EQ(n, kObjects);
  EXPECT_TRUE(ordered);
  const std::string out = many.scratch("many.bin");
  ASSERT_EQ(Lirrand::get().print(&many.block(), out.c_str()), 0);
  EXPECT_EQ(TempDir::slurp(out), many.bytes());
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

size_t addressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmSize:", 0) == 0) return std::stoul(line.substr(7)) * 1024;
  return 0;
}

// Memory runs out half way through a large tree: the read ends like any other
// refused file. Runs in a child process whose address space is capped. The
// loader's large blocks may reuse heap that earlier tests freed and the up
// to 64 MB of blocks it keeps from freed reads, below any cap, so the tree is
// made larger than all of that and the cap's room together; and the file is written byte by byte rather than from a document
// of millions of nodes, which would leave more such heap behind.
TEST(LirrandHostile, RunningOutOfMemoryRefusesTheFileCleanly) {
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's allocator aborts instead of failing an allocation";
  const size_t reusable = ::mallinfo2().fordblks + (64 << 20) + (16 << 20);
  const uint32_t kChildren = static_cast<uint32_t>(std::max<size_t>(1000000, reusable / sizeof(EddNode) + 1));
  std::string bytes;
  auto u16 = [&bytes](uint16_t v) { bytes.append({char(v & 0xFF), char(v >> 8)}); };
  auto u32 = [&bytes](uint32_t v) { bytes.append({char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)}); };
  bytes.reserve(8 + 104 + 6 + size_t{kChildren} * 10 + 4);
  for (int i = 0; i < 4; ++i) u16(0);
  for (int list = 0; list < 26; ++list) u32(list == 0 ? 1 : 0);
  u16(22);  // a variable with a million integer constants
  u32(kChildren);
  for (uint32_t i = 0; i < kChildren; ++i) {
    u16(399);
    u32(i);
    u32(0);
  }
  u32(0);  // no texts
  TempDir dir;
  dir.write("big.bin", bytes);
  std::string().swap(bytes);
  const std::string path = dir.file("big.bin");
  const Lirrand& lib = Lirrand::get();

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlim_t cap = addressSpaceBytes() + (8 << 20);  // far below the nodes
    const rlimit limit{cap, cap};
    EddBlock block;
    std::memset(&block, 0x5A, sizeof block);
    const bool refused = ::setrlimit(RLIMIT_AS, &limit) == 0 && lib.read(&block, path.c_str()) == 0 &&
                         allZero(block);
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the reader crashed on a failed allocation";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // With room enough the same file loads.
  EXPECT_EQ(EddFixture::fromBytes(dir.read("big.bin")).list(0).size(), 1u);
}

}  // namespace
}  // namespace tavrin::testing
