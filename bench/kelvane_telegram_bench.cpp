// What the protocol costs per transaction next to the line: the CRC of the
// longest telegram and the scan of a full receive buffer of noise (the worst
// case, where no position holds a reply).
#include <benchmark/benchmark.h>

#include <random>

#include "kelvane/telegram.h"

namespace {

using namespace tavrin::kelvane;

void BM_CrcOfLongestTelegram(benchmark::State& state) {
  std::vector<uint8_t> data(kMaxWriteData, 0xA5);
  auto request = *writeRequest(5, 1, 0x10, data);
  for (auto _ : state) benchmark::DoNotOptimize(crc16(request));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * request.size()));
}
BENCHMARK(BM_CrcOfLongestTelegram);

void BM_ScanFullBufferWithoutReply(benchmark::State& state) {
  // Start bytes everywhere, so every position is tried in full.
  std::vector<uint8_t> noise(4096);
  std::mt19937 random(7);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = (i % 4 == 0) ? 0x68 : static_cast<uint8_t>(random() % 0x60);
  for (size_t i = 0; i + 3 < noise.size(); i += 4) noise[i + 1] = noise[i + 2] = 0x40, noise[i + 3] = 0x68;
  for (auto _ : state) benchmark::DoNotOptimize(findReply(noise));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * noise.size()));
}
BENCHMARK(BM_ScanFullBufferWithoutReply);

}  // namespace

BENCHMARK_MAIN();
