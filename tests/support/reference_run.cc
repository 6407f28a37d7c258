#include "support/reference_run.h"

#include <cstdio>
#include <sstream>

namespace quorlix::testing {

Bytes ReferenceBits(const std::uint8_t* samples, std::size_t sampleBytes) {
  Bytes bits((sampleBytes / 2 + 7) / 8, 0);
  for (std::size_t sample = 0; sample < sampleBytes / 2; ++sample) {
    int lowBit = samples[2 * sample] & 1;
    int bitEight = samples[2 * sample + 1] & 1;
    if (lowBit != bitEight) bits[sample / 8] = static_cast<std::uint8_t>(bits[sample / 8] | (1 << (sample % 8)));
  }
  return bits;
}

Bytes ReferenceOutput(const Bytes& samples, const RunShape& shape) {
  const std::size_t captureBytes = static_cast<std::size_t>(shape.seconds) * 176400;
  const std::size_t outputSize = captureBytes / 16;
  std::vector<Bytes> mids;
  Bytes running(outputSize, 0);
  for (int capture = 0; capture < shape.inputFiles * shape.midFiles; ++capture) {
    Bytes raw = ReferenceBits(samples.data() + capture * captureBytes, captureBytes);
    for (std::size_t b = 0; b < outputSize; ++b) running[b] ^= raw[b];
    if ((capture + 1) % shape.inputFiles == 0) mids.push_back(running);
  }
  Bytes output(outputSize, 0);
  std::size_t position = 0;  // across all mid files: the rotation never restarts
  for (const Bytes& mid : mids) {
    for (std::size_t b = 0; b < outputSize; ++b, ++position) {
      unsigned r = position % 8;
      unsigned rotated = ((mid[b] << r) | (mid[b] >> (8 - r))) & 0xFF;
      output[b] = static_cast<std::uint8_t>(output[b] ^ rotated);
    }
  }
  return output;
}

std::string ReferenceAnalysis(const Bytes& output, bool listing) {
  std::ostringstream text;
  long long counts[256] = {};
  double sum = 0;
  for (std::uint8_t byte : output) {
    ++counts[byte];
    sum += byte;
  }
  if (listing) {
    for (int v = 0; v < 256; ++v) {
      char cell[64];
      std::snprintf(cell, sizeof cell, "%d %lld %.3f", v, counts[v],
                    static_cast<double>(counts[v]) / static_cast<double>(output.size()) * 100.0);
      std::string padded = (v < 10 ? "  " : v < 100 ? " " : "") + std::string(cell);
      padded.resize(std::max<std::size_t>(padded.size(), 20), ' ');
      text << padded;
    }
  }
  text << "\tMean byte = " << sum / static_cast<double>(output.size()) << '\n';
  return text.str();
}

}  // namespace quorlix::testing
