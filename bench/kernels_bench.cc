// Throughput of the tool's byte kernels, each beside memcpy of the same bytes
// in the same run: memcpy is what the machine's memory allows, so the ratio
// of the two says how close a kernel comes to free. Every form this build
// carries and this processor can run is measured, as well as the one each
// kernel picks. scripts/bench runs this and prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "analysis/byte_stats.h"
#include "analysis/health_tests.h"
#include "capture/noise_bits.h"
#include "capture/noise_bits_kernels.h"
#include "combine/xor_kernel_forms.h"
#include "combine/xor_kernels.h"

namespace quorlix {
namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
  std::mt19937_64 generator(size);
  std::vector<std::uint8_t> bytes(size);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

// One second of capture, which stays in the core's own cache, and 64
// seconds, which does not. The folds, the counting and the health tests see
// blocks of these sizes too; a second's noise bits (a sixteenth) are measured
// for the health tests, which only ever see bits.
constexpr std::int64_t kSmall = 176400;
constexpr std::int64_t kLarge = 64 * kSmall;
constexpr std::int64_t kBitsPerInputByte = 16;

void ReportBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void Memcpy(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<std::uint8_t> source = RandomBytes(size);
  std::vector<std::uint8_t> target(size);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), size);
    benchmark::ClobberMemory();
  }
  ReportBytes(state);
}

// The bits are ORed into a block that is not cleared between rounds: the
// kernel's speed does not depend on what the block holds.
void Extraction(benchmark::State& state, NoiseBitsFunction extract) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<std::uint8_t> samples = RandomBytes(size);
  std::vector<std::uint8_t> bits(size / kBitsPerInputByte);
  for (auto _ : state) {
    extract(bits.data(), samples.data(), size);
    benchmark::ClobberMemory();
  }
  ReportBytes(state);
}

void Folding(benchmark::State& state, FoldFunction fold) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<std::uint8_t> source = RandomBytes(size);
  std::vector<std::uint8_t> target = RandomBytes(size + 1);
  for (auto _ : state) {
    fold(target.data(), source.data(), size);
    benchmark::ClobberMemory();
  }
  ReportBytes(state);
}

void Counting(benchmark::State& state, ByteCounts (*count)(const std::uint8_t*, std::size_t)) {
  const auto size = static_cast<std::size_t>(state.range(0));
  // Long runs of one value are the hard case for a single count table.
  std::vector<std::uint8_t> bytes = RandomBytes(size);
  for (std::size_t i = 0; i < size / 2; ++i) bytes[i] = 0xFF;
  for (auto _ : state) benchmark::DoNotOptimize(count(bytes.data(), size));
  ReportBytes(state);
}

// One capture's bits through both tests from a fresh state, as the capture
// loop does for every capture.
void HealthTests(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<std::uint8_t> bits = RandomBytes(size);
  for (auto _ : state) {
    HealthTestState tests;
    FeedHealthTests(tests, bits.data(), size);
    benchmark::DoNotOptimize(HealthTestsFailed(tests));
  }
  ReportBytes(state);
}

template <class Function, class... Args>
void Register(const std::string& name, Function function, std::int64_t small, std::int64_t large,
              Args... args) {
  benchmark::RegisterBenchmark(name.c_str(), function, args...)->Arg(small)->Arg(large);
}

void RegisterAll() {
  Register("Memcpy", Memcpy, kSmall / kBitsPerInputByte, kLarge / kBitsPerInputByte);
  Register("Memcpy", Memcpy, kSmall, kLarge);

  Register("ExtractNoiseBitsScalar", Extraction, kSmall, kLarge, ExtractNoiseBitsScalar);
  Register("ExtractNoiseBits", Extraction, kSmall, kLarge, ExtractNoiseBits);
  for (const NoiseBitsKernel& form : NoiseBitsKernels()) {
    if (form.usable)
      Register(std::string("ExtractNoiseBits.") + form.name, Extraction, kSmall, kLarge,
               form.extract);
  }

  Register("XorIntoScalar", Folding, kSmall, kLarge, XorIntoScalar);
  Register("XorInto", Folding, kSmall, kLarge, XorInto);
  for (const FoldForm& form : XorIntoForms()) {
    if (form.usable)
      Register(std::string("XorInto.") + form.name, Folding, kSmall, kLarge, form.fold);
  }

  Register("RotateXorIntoScalar", Folding, kSmall, kLarge, RotateXorIntoScalar);
  Register("RotateXorInto", Folding, kSmall, kLarge, RotateXorInto);
  for (const FoldForm& form : RotateXorIntoForms()) {
    if (form.usable)
      Register(std::string("RotateXorInto.") + form.name, Folding, kSmall, kLarge, form.fold);
  }

  Register("CountBytesScalar", Counting, kSmall, kLarge, CountBytesScalar);
  Register("CountBytes", Counting, kSmall, kLarge, CountBytes);

  Register("HealthTests", HealthTests, kSmall / kBitsPerInputByte, kLarge / kBitsPerInputByte);
}

}  // namespace
}  // namespace quorlix

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  quorlix::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
