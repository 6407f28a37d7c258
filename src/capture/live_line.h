// The live line of a run on a terminal. A capture of ten minutes would
// otherwise show one countdown number that does not move: the line also
// shows how far the current capture is, the time left for all captures and
// the noise level of each channel over the last second, so the user sees
// that noise is arriving. It is redrawn in place a few times a second from
// the capture's own sample pieces, paced by a clock, so it needs no thread.
// Where standard output is not a terminal nothing is drawn, and scripts see
// the countdown bytes alone.
#ifndef QUORLIX_CAPTURE_LIVE_LINE_H_
#define QUORLIX_CAPTURE_LIVE_LINE_H_

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace quorlix {

// One channel's sums over the second being measured.
struct ChannelLevel {
  std::int64_t sum = 0;
  std::int64_t sumOfSquares = 0;
};

struct LiveLine {
  std::ostream* terminal = nullptr;  // null: draw nothing
  std::uint64_t (*clock)() = nullptr;  // milliseconds
  std::uint32_t captureBytes = 0;
  // The capture being recorded: the countdown number it shows and the
  // bytes it has had.
  std::int32_t capturesLeft = 0;
  std::uint32_t captureDone = 0;
  // The second being measured, and the noise level of the last whole one
  // in LSB, or below 0 before there is one.
  ChannelLevel channels[2];
  std::uint32_t framesMeasured = 0;
  double level[2] = {-1, -1};
  std::uint64_t drawnAt = 0;
  std::string drawn;  // what is on screen after the tab
};

// The line starts each capture drawn afresh, from the count the loop has
// just written.
void StartLiveCapture(LiveLine& line, std::int32_t capturesLeft);

// A piece of the capture, whole frames of 16-bit stereo; redraws when the
// line was last drawn a quarter of a second ago or more.
void AddLivePiece(LiveLine& line, const std::uint8_t* samples, std::size_t bytes);

// Draws the line as the capture ended.
void FinishLiveCapture(LiveLine& line);

// Blanks the line and leaves the cursor at its start, so that the text that
// follows (a warning, a failure, the next phase) is not mixed with it.
void ClearLiveLine(LiveLine& line);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_LIVE_LINE_H_
