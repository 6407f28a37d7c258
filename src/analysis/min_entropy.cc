#include "analysis/min_entropy.h"

#include <exception>
#include <system_error>
#include <thread>

#include "analysis/min_entropy_estimators.h"
#include "analysis/noise_bit_string.h"
#include "platform/interrupt.h"

namespace quorlix {

namespace {

// The second thread's share, run there or, when no thread can be had, on the
// calling one. Whatever it throws is handed back to the caller.
struct SecondShare {
  std::exception_ptr failure;
  std::thread thread;

  ~SecondShare() {
    if (thread.joinable()) thread.join();
  }
};

}  // namespace

// Two threads, split so that each carries about half of the time (measured
// on 1,000,000 noise bits): LZ78Y and Lag on one, the rest on the other.
MinEntropyEstimates EstimateMinEntropy(const std::uint8_t* bits, std::size_t bitCount) {
  const NoiseBitString s = MakeNoiseBitString(bits, bitCount);
  MinEntropyEstimates e;
  SecondShare second;
  const auto share = [&] {
    try {
      e.lz78y = Lz78yEstimate(s);
      e.lag = LagEstimate(s);
    } catch (...) {
      second.failure = std::current_exception();
    }
  };
  try {
    second.thread = StartWorkerThread(share);
  } catch (const std::system_error&) {
    share();
  }
  const TupleEstimates tuples = EstimateFromTuples(s);
  e.tTuple = tuples.tTuple;
  e.longestRepeatedSubstring = tuples.longestRepeatedSubstring;
  e.multiMarkovModelWithCounting = MultiMarkovModelWithCountingEstimate(s);
  e.multiMostCommonInWindow = MultiMostCommonInWindowEstimate(s);
  e.mostCommonValue = MostCommonValueEstimate(s);
  e.collision = CollisionEstimate(s);
  e.markov = MarkovEstimate(s);
  e.compression = CompressionEstimate(s);
  if (second.thread.joinable()) second.thread.join();
  if (second.failure) std::rethrow_exception(second.failure);
  return e;
}

AssessedMinEntropy AssessMinEntropy(const MinEntropyEstimates& e) {
  const struct {
    double value;
    const char* name;
  } all[] = {
      {e.mostCommonValue, "mostCommonValue"},
      {e.collision, "collision"},
      {e.markov, "markov"},
      {e.compression, "compression"},
      {e.tTuple, "tTuple"},
      {e.longestRepeatedSubstring, "longestRepeatedSubstring"},
      {e.multiMostCommonInWindow, "multiMostCommonInWindow"},
      {e.lag, "lag"},
      {e.multiMarkovModelWithCounting, "multiMarkovModelWithCounting"},
      {e.lz78y, "lz78y"},
  };
  AssessedMinEntropy least{0.0, "none"};
  bool found = false;
  for (const auto& estimate : all) {
    if (estimate.value < 0) continue;
    if (!found || estimate.value < least.value) least = {estimate.value, estimate.name};
    found = true;
  }
  return least;
}

}  // namespace quorlix
