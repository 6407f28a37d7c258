#include "capture/live_line.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "driver/run_limits.h"

namespace quorlix {
namespace {

// A few times a second: often enough to look alive, seldom enough that the
// terminal costs nothing beside the capture.
constexpr std::uint64_t kRedrawMilliseconds = 250;
constexpr std::uint32_t kFramesPerSecond = 44100;

// The standard deviation about the mean, from the exact integer sums of one
// second: n x sum of squares and the square of the sum both stay below 2^61.
double LevelOf(const ChannelLevel& channel, std::uint32_t frames) {
  const std::int64_t n = frames;
  const std::int64_t spread = n * channel.sumOfSquares - channel.sum * channel.sum;
  return std::sqrt(static_cast<double>(spread)) / static_cast<double>(n);
}

void Measure(LiveLine& line, const std::uint8_t* samples, std::size_t bytes) {
  for (std::size_t frame = 0; frame + 4 <= bytes; frame += 4) {
    for (std::size_t channel = 0; channel < 2; ++channel) {
      const std::uint8_t* sample = samples + frame + 2 * channel;
      const std::int64_t value = static_cast<std::int16_t>(sample[0] | (sample[1] << 8));
      line.channels[channel].sum += value;
      line.channels[channel].sumOfSquares += value * value;
    }
    if (++line.framesMeasured == kFramesPerSecond) {
      for (std::size_t channel = 0; channel < 2; ++channel) {
        line.level[channel] = LevelOf(line.channels[channel], line.framesMeasured);
        line.channels[channel] = {};
      }
      line.framesMeasured = 0;
    }
  }
}

void Draw(LiveLine& line) {
  const std::uint64_t captureBytes = line.captureBytes == 0 ? 1 : line.captureBytes;
  const std::uint64_t done = line.captureDone < captureBytes ? line.captureDone : captureBytes;
  const auto percent = static_cast<unsigned>(done * 100 / captureBytes);
  const std::uint64_t bytesLeft =
      static_cast<std::uint64_t>(line.capturesLeft) * captureBytes - done;
  const std::uint64_t secondsLeft =
      (bytesLeft + kCaptureBytesPerSecond - 1) / kCaptureBytesPerSecond;
  const auto hours = static_cast<unsigned long long>(secondsLeft / 3600);
  const auto minutes = static_cast<unsigned>(secondsLeft / 60 % 60);
  const auto seconds = static_cast<unsigned>(secondsLeft % 60);

  char text[160];
  int length = hours > 0 ? std::snprintf(text, sizeof text, "%d  capture %u%%  %llu:%02u:%02u left",
                                         line.capturesLeft, percent, hours, minutes, seconds)
                         : std::snprintf(text, sizeof text, "%d  capture %u%%  %u:%02u left",
                                         line.capturesLeft, percent, minutes, seconds);
  if (length > 0 && line.level[0] >= 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                            "  noise L %.1f R %.1f LSB", line.level[0], line.level[1]);
  }
  line.drawnAt = line.clock();
  if (length <= 0 || line.drawn == text) return;
  // Blanks over whatever a longer line before it left.
  const std::size_t drawn = static_cast<std::size_t>(length);
  const std::size_t blanks = line.drawn.size() > drawn ? line.drawn.size() - drawn : 0;
  *line.terminal << '\t' << text << std::string(blanks, ' ') << '\r' << std::flush;
  line.drawn = text;
}

}  // namespace

void StartLiveCapture(LiveLine& line, std::int32_t capturesLeft) {
  line.capturesLeft = capturesLeft;
  line.captureDone = 0;
  if (line.terminal != nullptr) Draw(line);
}

void AddLivePiece(LiveLine& line, const std::uint8_t* samples, std::size_t bytes) {
  if (line.terminal == nullptr) return;
  Measure(line, samples, bytes);
  line.captureDone += static_cast<std::uint32_t>(bytes);
  if (line.clock() - line.drawnAt >= kRedrawMilliseconds) Draw(line);
}

void FinishLiveCapture(LiveLine& line) {
  if (line.terminal != nullptr) Draw(line);
}

void ClearLiveLine(LiveLine& line) {
  if (line.terminal == nullptr || line.drawn.empty()) return;
  *line.terminal << '\t' << std::string(line.drawn.size(), ' ') << '\r' << std::flush;
  line.drawn.clear();
}

}  // namespace quorlix
