// The bound the four predictors share: from how often and how long in a row
// a predictor was right, the highest per-guess success probability that is
// still plausible at 99% confidence.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "analysis/min_entropy_estimators.h"

namespace quorlix {

namespace {

// log of the probability that N guesses, each right with probability p,
// hold no run of r right ones, by the usual generating-function
// approximation: x is the root of 1 - x + q p^r x^(r+1) near 1.
long double LogChanceOfNoRun(long double p, long double r, long double n) {
  const long double q = 1.0L - p;
  long double x = 1.0L, last = 0.0L;
  for (int i = 0; i <= 65 && x - last > LDBL_EPSILON * x; ++i) {
    last = x;
    x = 1.0L + q * std::pow(p, r) * std::pow(x, r + 1.0L);
  }
  return std::log(1.0L - p * x) - std::log((r + 1.0L - r * x) * q) - (n + 1.0L) * std::log(x);
}

}  // namespace

double PredictionEstimate(std::int64_t correct, std::int64_t predictions, std::int64_t longestRun,
                          int k) {
  if (predictions < 2) return -1;
  const double n = static_cast<double>(predictions);
  const double global = static_cast<double>(correct) / n;
  const double globalBound =
      correct > 0 ? std::min(1.0, global + kZAlpha * std::sqrt(global * (1.0 - global) / (n - 1.0)))
                  : 1.0 - std::pow(0.01, 1.0 / n);
  double p = std::max(1.0 / k, globalBound);

  // The local bound: the p at which a run of longestRun + 1 right guesses
  // has exactly a 99% chance of not occurring; the chance falls as p rises.
  const long double run = static_cast<long double>(longestRun) + 1.0L;
  const long double target = std::log(0.99L);
  if (p < 1.0 && LogChanceOfNoRun(p, run, n) > target) {
    double low = p, high = 1.0;
    for (int step = 0; step < 200; ++step) {
      const double middle = (low + high) / 2;
      if (middle <= low || middle >= high) break;
      if (LogChanceOfNoRun(middle, run, n) > target) low = middle;
      else high = middle;
    }
    p = std::max(p, high);
  }
  return -std::log2(p);
}

}  // namespace quorlix
