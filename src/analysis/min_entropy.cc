#include "analysis/min_entropy.h"

#include <atomic>
#include <exception>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>

#include "analysis/min_entropy_estimators.h"
#include "analysis/noise_bit_string.h"
#include "platform/interrupt.h"

namespace quorlix {

namespace {

// The estimators as jobs, the longest first (as measured on 1,000,000 noise
// bits), so that when two threads each take the next job that is left they
// end at about the same time.
using Job = void (*)(const NoiseBitString&, MinEntropyEstimates&);

constexpr Job kJobs[] = {
      [](const NoiseBitString& s, MinEntropyEstimates& e) {
        e.multiMarkovModelWithCounting = MultiMarkovModelWithCountingEstimate(s);
      },
      [](const NoiseBitString& s, MinEntropyEstimates& e) {
        const TupleEstimates tuples = EstimateFromTuples(s);
        e.tTuple = tuples.tTuple;
        e.longestRepeatedSubstring = tuples.longestRepeatedSubstring;
      },
      [](const NoiseBitString& s, MinEntropyEstimates& e) { e.lz78y = Lz78yEstimate(s); },
      [](const NoiseBitString& s, MinEntropyEstimates& e) {
        e.multiMostCommonInWindow = MultiMostCommonInWindowEstimate(s);
      },
      [](const NoiseBitString& s, MinEntropyEstimates& e) { e.lag = LagEstimate(s); },
      [](const NoiseBitString& s, MinEntropyEstimates& e) {
        e.mostCommonValue = MostCommonValueEstimate(s);
        e.collision = CollisionEstimate(s);
        e.markov = MarkovEstimate(s);
        e.compression = CompressionEstimate(s);
      },
};

// The jobs not yet taken, and the first failure of any of them. A thread
// stops taking jobs once one has failed.
struct JobList {
  std::atomic<std::size_t> next{0};
  std::mutex lock;
  std::exception_ptr failure;

  void Work(const NoiseBitString& s, MinEntropyEstimates& e) {
    for (std::size_t job; (job = next++) < std::size(kJobs);) {
      try {
        kJobs[job](s, e);
      } catch (...) {
        const std::lock_guard<std::mutex> held(lock);
        if (!failure) failure = std::current_exception();
        next = std::size(kJobs);
      }
    }
  }
};

struct Joined {
  std::thread thread;
  ~Joined() {
    if (thread.joinable()) thread.join();
  }
};

}  // namespace

// Two threads share the jobs; when no second thread can be had, the calling
// one does them all.
MinEntropyEstimates EstimateMinEntropy(const std::uint8_t* bits, std::size_t bitCount) {
  const NoiseBitString s = MakeNoiseBitString(bits, bitCount);
  MinEntropyEstimates e;
  JobList jobs;
  {
    Joined second;
    try {
      second.thread = StartWorkerThread([&] { jobs.Work(s, e); });
    } catch (const std::system_error&) {
    }
    jobs.Work(s, e);
  }
  if (jobs.failure) std::rethrow_exception(jobs.failure);
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
