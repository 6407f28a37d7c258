// Time of the min-entropy assessment of 1,000,000 noise bits (the synthetic
// line-in noise of the tests' reference file), all ten estimators, beside
// the time to read the same 125,000 bytes from a file, and each estimator
// family alone. How much the first assessment in the process raises the
// peak resident set is reported as the counter peak_bytes. scripts/bench
// runs this and prints the ratio.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/min_entropy.h"
#include "analysis/min_entropy_estimators.h"

namespace quorlix {
namespace {

constexpr std::size_t kBits = 1000000;
const std::string kFile = std::string(QUORLIX_ENTROPY_DATA_DIR) + "/line-in-noise.bits";

std::vector<std::uint8_t> ReadAll() {
  std::ifstream in(kFile, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024;
}

void ReadBits(benchmark::State& state) {
  std::vector<std::uint8_t> bits(kBits / 8);
  for (auto _ : state) {
    std::FILE* file = std::fopen(kFile.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(bits.data(), 1, bits.size(), file));
    std::fclose(file);
  }
}

void AllTen(benchmark::State& state) {
  const std::vector<std::uint8_t> bits = ReadAll();
  // Measured on the process's first run only, and kept for the repetitions.
  static const double growth = [&] {
    const double before = PeakResidentBytes();
    benchmark::DoNotOptimize(EstimateMinEntropy(bits.data(), kBits));
    return PeakResidentBytes() - before;
  }();
  state.counters["peak_bytes"] = growth;
  for (auto _ : state) benchmark::DoNotOptimize(EstimateMinEntropy(bits.data(), kBits));
}

template <class Estimate>
void Family(benchmark::State& state, Estimate estimate) {
  const std::vector<std::uint8_t> bits = ReadAll();
  const NoiseBitString s = MakeNoiseBitString(bits.data(), kBits);
  for (auto _ : state) benchmark::DoNotOptimize(estimate(s));
}

void RegisterAll() {
  benchmark::RegisterBenchmark("ReadBits", ReadBits)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("EstimateMinEntropy", AllTen)->Unit(benchmark::kMillisecond)->UseRealTime();
  const auto family = [](const char* name, auto estimate) {
    benchmark::RegisterBenchmark(name, Family<decltype(estimate)>, estimate)->Unit(benchmark::kMillisecond);
  };
  family("MostCommonValue+Collision+Markov", [](const NoiseBitString& s) {
    return MostCommonValueEstimate(s) + CollisionEstimate(s) + MarkovEstimate(s);
  });
  family("Compression", CompressionEstimate);
  family("TupleAndLongestRepeatedSubstring",
         [](const NoiseBitString& s) { return EstimateFromTuples(s).tTuple; });
  family("MultiMostCommonInWindow", MultiMostCommonInWindowEstimate);
  family("Lag", LagEstimate);
  family("MultiMarkovModelWithCounting", MultiMarkovModelWithCountingEstimate);
  family("Lz78y", Lz78yEstimate);
}

}  // namespace
}  // namespace quorlix

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  quorlix::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
