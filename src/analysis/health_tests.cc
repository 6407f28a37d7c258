#include "analysis/health_tests.h"

#include <algorithm>
#include <bit>

namespace quorlix {

namespace {

// Hard-coded: 1 + ceil(20 / 0.5) and the binomial critical value for 1024
// trials at 2^-20, which computing in floating point can miss by one.
constexpr std::uint64_t kCaptureRunCutoff = 41;
// The output is the XOR of many captures and should hold a full bit per bit:
// 1 + 60 / 1, a false alarm once in 2^60 bits, so that even the largest
// output (2^31 bits) is thrown away by chance once in a billion runs rather
// than once in a thousand.
constexpr std::uint64_t kOutputRunCutoff = 61;
constexpr unsigned kWindowSize = 1024;
constexpr unsigned kWindowCutoff = 793;

constexpr unsigned kWindowBytes = kWindowSize / 8;

std::uint64_t LowBits(unsigned count) {
  return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// Up to eight bytes, the first in bits 0 to 7 whatever the host's byte order;
// compilers turn the whole-word case into one load.
inline std::uint64_t LoadBits(const std::uint8_t* bytes, std::size_t count) {
  if (count == 8) {
    return std::uint64_t{bytes[0]} | std::uint64_t{bytes[1]} << 8 |
           std::uint64_t{bytes[2]} << 16 | std::uint64_t{bytes[3]} << 24 |
           std::uint64_t{bytes[4]} << 32 | std::uint64_t{bytes[5]} << 40 |
           std::uint64_t{bytes[6]} << 48 | std::uint64_t{bytes[7]} << 56;
  }
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < count; ++i) {
    word |= std::uint64_t{bytes[i]} << (8 * i);
  }
  return word;
}

// All ones when the reference bit is 0, so that XOR turns matches into ones.
std::uint64_t MatchFlip(unsigned reference) { return reference != 0 ? 0 : ~std::uint64_t{0}; }

// same has bit i set when stream bit i equals the bit before it, so cutoff - 1
// set bits in a row mean cutoff identical bits. After each step a set bit
// stands for a stretch of set bits that many long, from it upwards: the
// steps double it, and the last one tops it up (40 is 32 and 8 more).
template <std::uint64_t kRunCutoff>
bool HoldsFullRun(std::uint64_t same) {
  static_assert(kRunCutoff >= 2 && kRunCutoff <= 64);
  unsigned stretch = 1;
  while (stretch < kRunCutoff - 1) {
    const unsigned step = std::min<unsigned>(stretch, kRunCutoff - 1 - stretch);
    same &= same >> step;
    stretch += step;
  }
  return same != 0;
}

// The run carried in from earlier words goes on through this word's leading
// stretch, so it is measured there; runs that start inside the word are found
// by HoldsFullRun. Before the first bit the carried run has length 0, so
// whatever runBit says then adds nothing.
template <std::uint64_t kRunCutoff>
void CheckRuns(HealthTestState& state, std::uint64_t word, unsigned count) {
  std::uint64_t valid = LowBits(count);
  std::uint64_t same = ~(word ^ ((word << 1) | state.runBit)) & valid;
  auto lead = static_cast<unsigned>(std::countr_one(same));
  if (state.runLength + lead >= kRunCutoff || HoldsFullRun<kRunCutoff>(same & ~std::uint64_t{1})) {
    state.failed = true;
  }
  if (lead == count) {
    state.runLength += count;
    return;
  }
  auto lastChange = static_cast<unsigned>(63 - std::countl_zero(~same & valid));
  state.runLength = count - lastChange;
  state.runBit = static_cast<unsigned>(word >> (count - 1)) & 1u;
}

// The caller keeps words within one window.
void CheckProportion(HealthTestState& state, std::uint64_t word, unsigned count) {
  if (state.windowBits == 0) {
    state.windowReference = static_cast<unsigned>(word & 1u);
  }
  std::uint64_t matching = (word ^ MatchFlip(state.windowReference)) & LowBits(count);
  state.windowMatches += static_cast<unsigned>(std::popcount(matching));
  state.windowBits += count;
  if (state.windowMatches >= kWindowCutoff) {
    state.failed = true;
  }
  if (state.windowBits == kWindowSize) {
    state.windowBits = 0;
    state.windowMatches = 0;
  }
}

// Bit 15 of each 16-bit lane of the result is set when that lane of word
// holds both values: a bit that differs from the one above it carries there.
std::uint64_t VariedLanes(std::uint64_t word) {
  constexpr std::uint64_t kBelowTop = 0x7FFF7FFF7FFF7FFF;
  return ((word ^ (word >> 1)) & kBelowTop) + kBelowTop;
}

// The number of ones in each byte of word. Summed over a window and added up
// once at its end, these cost less than std::popcount on every word, which on
// x86-64 is a library call unless the build targets a processor with POPCNT.
std::uint64_t OnesPerByte(std::uint64_t word) {
  word -= (word >> 1) & 0x5555555555555555;
  word = (word & 0x3333333333333333) + ((word >> 2) & 0x3333333333333333);
  return (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0F;
}

// Each byte of counts is at most 8 * 16 = 128, so pairs of bytes fit 16 bits
// and the four 16-bit sums add up without overflow in the top lane.
unsigned AddBytes(std::uint64_t counts) {
  counts = (counts & 0x00FF00FF00FF00FF) + ((counts >> 8) & 0x00FF00FF00FF00FF);
  return static_cast<unsigned>((counts * 0x0001000100010001) >> 48);
}

// A whole window starting on a word, the common case, taken without tracking
// runs bit by bit: a run of 41 or more covers some whole 16-bit lane
// (41 >= 2 * 16 - 1), so a window with no constant lane holds none, and the
// run carried in stretches at most 15 bits into it. Returns false, having
// changed nothing, when that does not settle the window.
template <std::uint64_t kRunCutoff>
bool CheckQuietWindow(HealthTestState& state, const std::uint8_t* bytes) {
  static_assert(kRunCutoff >= 2 * 16 - 1);
  constexpr std::uint64_t kLaneTops = 0x8000800080008000;
  if (state.runLength + 15 >= kRunCutoff) {
    return false;
  }
  std::uint64_t flip = MatchFlip(bytes[0] & 1u);
  std::uint64_t varied = kLaneTops;
  std::uint64_t matches = 0;
  std::uint64_t word = 0;
  for (unsigned i = 0; i < kWindowBytes; i += 8) {
    word = LoadBits(bytes + i, 8);
    varied &= VariedLanes(word);
    matches += OnesPerByte(word ^ flip);
  }
  if (varied != kLaneTops) {
    return false;
  }
  state.runBit = static_cast<unsigned>(word >> 63);
  std::uint64_t unlikeLast = word ^ (0 - std::uint64_t{state.runBit});
  state.runLength = static_cast<std::uint64_t>(std::countl_zero(unlikeLast));
  if (AddBytes(matches) >= kWindowCutoff) {
    state.failed = true;
  }
  return true;
}

// Once failed, the rest of the stream cannot change the verdict, so it is not
// read: a silent capture costs next to nothing. The state is worked on in a
// local copy because the input bytes could alias it, which would otherwise
// send every field through memory on every word.
template <std::uint64_t kRunCutoff>
void Feed(HealthTestState& state, const std::uint8_t* bits, std::size_t bytes) {
  HealthTestState local = state;
  std::size_t offset = 0;
  while (offset < bytes && !local.failed) {
    std::size_t rest = bytes - offset;
    if (local.windowBits == 0 && rest >= kWindowBytes &&
        CheckQuietWindow<kRunCutoff>(local, bits + offset)) {
      offset += kWindowBytes;
      continue;
    }
    // Up to the window's end, so that the next window starts on a word of
    // its own and can take the quick path however the chunks were cut.
    std::size_t count = std::min<std::size_t>({8, rest, (kWindowSize - local.windowBits) / 8});
    std::uint64_t word = LoadBits(bits + offset, count);
    CheckRuns<kRunCutoff>(local, word, static_cast<unsigned>(8 * count));
    CheckProportion(local, word, static_cast<unsigned>(8 * count));
    offset += count;
  }
  state = local;
}

}  // namespace

void ResetHealthTests(HealthTestState& state) { state = HealthTestState{}; }

void FeedHealthTests(HealthTestState& state, const std::uint8_t* bits, std::size_t bytes) {
  Feed<kCaptureRunCutoff>(state, bits, bytes);
}

bool HealthTestsFailed(const HealthTestState& state) { return state.failed; }

bool PassesHealthTests(const std::uint8_t* bits, std::size_t bytes) {
  HealthTestState state;
  FeedHealthTests(state, bits, bytes);
  return !HealthTestsFailed(state);
}

bool PassesOutputHealthTests(const std::uint8_t* bits, std::size_t bytes) {
  HealthTestState state;
  Feed<kOutputRunCutoff>(state, bits, bytes);
  return !HealthTestsFailed(state);
}

}  // namespace quorlix
