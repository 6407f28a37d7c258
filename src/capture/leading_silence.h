// A sound server's start-up silence. PipeWire begins a newly opened stream
// with 900 to 2,000 frames of exact zeros that no source made; kept, they
// would fail the first capture's health test on every run. At the first start
// of a device the frames that are exactly zero in both channels are held back;
// once they form a run of kLeadingSilenceRun frames they are dropped, up to
// kLeadingSilenceLimit in all, so a dead input still ends in the health
// warnings rather than in a wait. A shorter run is handed on as it was: live
// noise can hold a few zero frames.
#ifndef QUORLIX_CAPTURE_LEADING_SILENCE_H_
#define QUORLIX_CAPTURE_LEADING_SILENCE_H_

#include <cstddef>

#include "capture/sound_capture.h"

namespace quorlix {

inline constexpr std::size_t kLeadingSilenceRun = 32;
// A quarter of a second.
inline constexpr std::size_t kLeadingSilenceLimit = 11025;

// Value-initialised, it is the state at a stream's start.
struct LeadingSilence {
  std::size_t zeroFrames = 0;
  bool over = false;
};

// Hands the frames of one piece to sink, less the leading silence; returns
// the frames handed on.
std::size_t PassAfterLeadingSilence(LeadingSilence& silence, const std::uint8_t* samples,
                                    std::size_t frames, SampleSink sink, void* context);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_LEADING_SILENCE_H_
