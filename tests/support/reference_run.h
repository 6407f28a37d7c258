// An independent, deliberately plain account of what a run makes of its
// samples: the extracted bits of each capture, the stage-one mid files and
// the stage-two output, written from the tool's description rather than from
// its code, so end-to-end tests can predict every output byte.
#ifndef QUORLIX_TESTS_SUPPORT_REFERENCE_RUN_H_
#define QUORLIX_TESTS_SUPPORT_REFERENCE_RUN_H_

#include <cstdint>
#include <string>
#include <vector>

namespace quorlix::testing {

using Bytes = std::vector<std::uint8_t>;

struct RunShape {
  int inputFiles;
  int midFiles;
  int seconds;
};

// The bits of one capture of 16-bit samples.
Bytes ReferenceBits(const std::uint8_t* samples, std::size_t sampleBytes);

// The output file of a run whose captures read samples back to back.
Bytes ReferenceOutput(const Bytes& samples, const RunShape& shape);

// What the analysis prints for the output: the optional cells and the mean line.
std::string ReferenceAnalysis(const Bytes& output, bool listing);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_REFERENCE_RUN_H_
