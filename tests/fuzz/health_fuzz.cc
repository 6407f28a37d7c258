// Fuzzes the noise health tests: on any bit stream, fed whole or in chunks of
// any size, the word-wide tests must reach the same verdict as a plain
// bit-by-bit reading of their two rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "analysis/health_tests.h"

namespace {

bool ReferenceFails(const std::uint8_t* bytes, std::size_t size) {
  int run = 0;
  int previous = -1;
  int windowBits = 0;
  int matches = 0;
  int reference = 0;
  for (std::size_t i = 0; i < size * 8; ++i) {
    const int bit = (bytes[i / 8] >> (i % 8)) & 1;
    run = bit == previous ? run + 1 : 1;
    previous = bit;
    if (run >= 41) return true;
    if (windowBits == 0) reference = bit;
    if (bit == reference && ++matches >= 793) return true;
    if (++windowBits == 1024) windowBits = matches = 0;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = data[0] % 37 + 1;
  const std::uint8_t* bits = data + 1;
  const std::size_t bytes = size - 1;

  const bool expected = ReferenceFails(bits, bytes);
  if (quorlix::PassesHealthTests(bits, bytes) == expected) std::abort();

  quorlix::HealthTestState state;
  for (std::size_t done = 0; done < bytes; done += chunk) {
    quorlix::FeedHealthTests(state, bits + done, bytes - done < chunk ? bytes - done : chunk);
  }
  if (quorlix::HealthTestsFailed(state) != expected) std::abort();
  return 0;
}
