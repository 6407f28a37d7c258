// The live line over a clock of the test's own: how often it is redrawn,
// what it says while a capture goes on, and that it never leaves characters
// of a longer line behind.
#include "capture/live_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace quorlix {
namespace {

std::uint64_t now = 0;
std::uint64_t TestClock() { return now; }

TEST(LiveLine, RedrawsFourTimesASecondAndBlanksWhatALongerLineLeft) {
  // One second of 50 ms pieces, as ALSA hands them over. Left samples go
  // +1, -1, so their noise level is 1 LSB; right ones hold at 7, a DC
  // offset without noise.
  std::vector<std::uint8_t> piece;
  for (int frame = 0; frame < 2205; ++frame) {
    piece.insert(piece.end(), {static_cast<std::uint8_t>(frame % 2 == 0 ? 0x01 : 0xFF),
                               static_cast<std::uint8_t>(frame % 2 == 0 ? 0x00 : 0xFF), 7, 0});
  }
  std::ostringstream terminal;
  LiveLine line;
  line.terminal = &terminal;
  line.clock = TestClock;
  line.captureBytes = 176400;
  now = 1000;

  StartLiveCapture(line, 3601);
  for (int step = 0; step < 20; ++step) {
    now += 50;
    AddLivePiece(line, piece.data(), piece.size());
  }
  FinishLiveCapture(line);
  StartLiveCapture(line, 2);
  ClearLiveLine(line);

  const std::string last = "3601  capture 100%  1:00:00 left  noise L 1.0 R 0.0 LSB";
  const std::string next = "2  capture 0%  0:02 left  noise L 1.0 R 0.0 LSB";
  EXPECT_EQ(terminal.str(),
            "\t3601  capture 0%  1:00:01 left\r"
            "\t3601  capture 25%  1:00:01 left\r"
            "\t3601  capture 50%  1:00:01 left\r"
            "\t3601  capture 75%  1:00:01 left\r"
            "\t" + last + "\r"
            "\t" + next + std::string(last.size() - next.size(), ' ') + "\r"
            "\t" + std::string(next.size(), ' ') + "\r");
}

}  // namespace
}  // namespace quorlix
