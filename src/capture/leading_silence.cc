#include "capture/leading_silence.h"

#include <cstdint>

namespace quorlix {
namespace {

constexpr std::size_t kFrameBytes = 4;

bool IsZeroFrame(const std::uint8_t* frame) {
  return frame[0] == 0 && frame[1] == 0 && frame[2] == 0 && frame[3] == 0;
}

}  // namespace

std::size_t PassAfterLeadingSilence(LeadingSilence& silence, const std::uint8_t* samples,
                                    std::size_t frames, SampleSink sink, void* context) {
  if (silence.over) {
    if (frames > 0) sink(context, samples, frames * kFrameBytes);
    return frames;
  }
  std::size_t first = 0;
  while (first < frames && silence.zeroFrames < kLeadingSilenceLimit &&
         IsZeroFrame(samples + first * kFrameBytes)) {
    ++first;
    ++silence.zeroFrames;
  }
  if (first == frames && silence.zeroFrames < kLeadingSilenceLimit) return 0;
  silence.over = true;
  std::size_t passed = 0;
  if (silence.zeroFrames > 0 && silence.zeroFrames < kLeadingSilenceRun) {
    // Too short a run to be a server's: the zeros were the source's own.
    static const std::uint8_t kZeros[kLeadingSilenceRun * kFrameBytes] = {};
    sink(context, kZeros, silence.zeroFrames * kFrameBytes);
    passed = silence.zeroFrames;
  }
  const std::size_t rest = frames - first;
  if (rest > 0) sink(context, samples + first * kFrameBytes, rest * kFrameBytes);
  return passed + rest;
}

}  // namespace quorlix
