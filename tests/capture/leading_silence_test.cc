// The start-up silence rule over pieces of every shape: what is dropped, what
// is handed on, and that the limit holds for a dead input.
#include "capture/leading_silence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace quorlix {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Collect(void* context, const std::uint8_t* samples, std::size_t bytes) {
  static_cast<Bytes*>(context)->insert(static_cast<Bytes*>(context)->end(), samples,
                                       samples + bytes);
}

// zeros frames of silence, then live frames numbered from 1 (never zero).
Bytes Stream(std::size_t zeros, std::size_t live) {
  Bytes frames(zeros * 4, 0);
  for (std::size_t f = 1; f <= live; ++f) {
    const Bytes frame = {static_cast<std::uint8_t>(f), static_cast<std::uint8_t>(f >> 8), 0,
                         static_cast<std::uint8_t>(f >> 16)};
    frames.insert(frames.end(), frame.begin(), frame.end());
  }
  return frames;
}

TEST(LeadingSilence, DropsAServersRunKeepsTheSourcesOwnAndStopsAtTheLimit) {
  const struct {
    std::size_t zeros;
    std::size_t piece;  // frames per piece
    std::size_t keptZeros;
  } cases[] = {
      {0, 7, 0},
      {1, 1, 1},
      {kLeadingSilenceRun - 1, 5, kLeadingSilenceRun - 1},
      {kLeadingSilenceRun, 5, 0},
      {2000, 300, 0},
      {2000, 2100, 0},
      {kLeadingSilenceLimit + 10, 1000, 10},
      {kLeadingSilenceLimit + 10, kLeadingSilenceLimit + 100, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.zeros) + " zeros in pieces of " + std::to_string(c.piece));
    const Bytes stream = Stream(c.zeros, 50);
    const std::size_t frames = stream.size() / 4;
    Bytes passed;
    LeadingSilence silence;
    std::size_t counted = 0;
    for (std::size_t at = 0; at < frames; at += c.piece) {
      const std::size_t piece = std::min(c.piece, frames - at);
      counted += PassAfterLeadingSilence(silence, stream.data() + at * 4, piece, Collect, &passed);
    }
    EXPECT_EQ(passed, Stream(c.keptZeros, 50));
    EXPECT_EQ(counted * 4, passed.size());
  }
}

TEST(LeadingSilence, LaterZerosAndLaterStreamsPassUntouched) {
  Bytes stream = Stream(0, 10);
  const Bytes silence(kLeadingSilenceRun * 8, 0);
  stream.insert(stream.end(), silence.begin(), silence.end());
  for (bool started : {false, true}) {
    Bytes passed;
    LeadingSilence state;
    state.over = started;
    PassAfterLeadingSilence(state, stream.data(), 10, Collect, &passed);
    PassAfterLeadingSilence(state, stream.data() + 40, stream.size() / 4 - 10, Collect, &passed);
    EXPECT_EQ(passed, stream) << started;
  }
}

}  // namespace
}  // namespace quorlix
