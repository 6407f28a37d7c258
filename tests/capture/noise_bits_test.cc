#include "capture/noise_bits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/noise_bits_kernels.h"
#include "support/random_bytes.h"

namespace quorlix {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Form {
  std::string name;
  NoiseBitsFunction extract;
  bool usable;
};

// The dispatcher is listed as well as each form, so whichever form it
// picks is covered even on a processor that would skip the others.
std::vector<Form> FastForms() {
  std::vector<Form> forms{{"Dispatched", ExtractNoiseBits, true}};
  for (const NoiseBitsKernel& kernel : NoiseBitsKernels()) {
    forms.push_back({kernel.name, kernel.extract, kernel.usable});
  }
  return forms;
}

std::vector<Form> AllForms() {
  std::vector<Form> forms{{"Scalar", ExtractNoiseBitsScalar, true}};
  for (const Form& form : FastForms()) forms.push_back(form);
  return forms;
}

using testing::RandomBytes;

// Random samples whose bit 0 equals bit 8, so each gives a zero bit.
Bytes QuietSamples(std::size_t sampleCount, unsigned seed) {
  Bytes bytes = RandomBytes(sampleCount * 2, seed);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    bytes[i + 1] = static_cast<std::uint8_t>((bytes[i + 1] & 0xFE) | (bytes[i] & 1));
  }
  return bytes;
}

class NoiseBitsFormTest : public ::testing::TestWithParam<Form> {
 protected:
  void SetUp() override {
    if (!GetParam().usable)
      GTEST_SKIP() << GetParam().name << " needs instructions this processor lacks";
  }
  Bytes Extract(const Bytes& samples, std::size_t sampleBytes) const {
    Bytes out(sampleBytes / 16 + 1, 0);
    GetParam().extract(out.data(), samples.data(), sampleBytes);
    return out;
  }
};
using NoiseBitsFastFormTest = NoiseBitsFormTest;

TEST_P(NoiseBitsFormTest, WorkedExampleGives0x73InEveryByte) {
  // Samples 0x0001 0x0100 0x0101 0x0000 0x0003 0x0201 0x00FF 0xFFFF give
  // bits 1 1 0 0 1 1 1 0 from bit 0 up. Repeats reach the vector loops.
  const Bytes example = {0x01, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00,
                         0x03, 0x00, 0x01, 0x02, 0xFF, 0x00, 0xFF, 0xFF};
  for (std::size_t copies : {1, 2, 4, 8, 9}) {
    Bytes samples;
    for (std::size_t c = 0; c < copies; ++c)
      samples.insert(samples.end(), example.begin(), example.end());
    Bytes expected(copies, 0x73);
    expected.push_back(0x00);
    EXPECT_EQ(Extract(samples, samples.size()), expected) << copies << " copies";
  }
}

TEST_P(NoiseBitsFormTest, EachSampleSetsOnlyItsOwnBit) {
  // 96 samples cover two rounds of the widest loop and a tail, so a
  // misordered lane shows up as a bit in the wrong place.
  const std::size_t sampleCount = 96;
  for (std::size_t s = 0; s < sampleCount; ++s) {
    Bytes samples = QuietSamples(sampleCount, static_cast<unsigned>(s));
    samples[2 * s + 1] ^= 1;
    Bytes expected(sampleCount / 8 + 1, 0);
    expected[s / 8] = static_cast<std::uint8_t>(1u << (s % 8));
    ASSERT_EQ(Extract(samples, samples.size()), expected) << "sample " << s;
  }
}

TEST_P(NoiseBitsFormTest, QuietCapturesGiveZeroBits) {
  const std::size_t sampleBytes = 176400;
  EXPECT_EQ(Extract(Bytes(sampleBytes, 0), sampleBytes), Bytes(sampleBytes / 16 + 1, 0));
  EXPECT_EQ(Extract(QuietSamples(sampleBytes / 2, 7), sampleBytes), Bytes(sampleBytes / 16 + 1, 0));
}

TEST_P(NoiseBitsFormTest, PartialLastByteKeepsItsHighBitsAndOddByteIsIgnored) {
  struct Case {
    std::size_t sampleBytes;
    Bytes expected;
  };
  const Case cases[] = {
      {0, {0x00, 0x00}},  {1, {0x00, 0x00}},  {2, {0x01, 0x00}},  {3, {0x01, 0x00}},
      {14, {0x7F, 0x00}}, {15, {0x7F, 0x00}}, {16, {0xFF, 0x00}}, {17, {0xFF, 0x00}},
      {18, {0xFF, 0x01}}, {31, {0xFF, 0x7F}}, {33, {0xFF, 0xFF, 0x00}},
  };
  // Every sample is 0x0001 and the byte after the last whole sample is 0x01
  // too, so reading it would set one more bit.
  Bytes samples(40, 0);
  for (std::size_t i = 0; i < samples.size(); i += 2) samples[i] = 0x01;
  for (const Case& c : cases) {
    Bytes out(c.expected.size(), 0);
    GetParam().extract(out.data(), samples.data(), c.sampleBytes);
    EXPECT_EQ(out, c.expected) << c.sampleBytes << " bytes";
  }
}

TEST_P(NoiseBitsFastFormTest, MatchesScalarForManyLengthsAndAlignments) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  lengths.push_back(176400);
  for (std::size_t inOffset : {0, 1, 3}) {
    for (std::size_t outOffset : {0, 1}) {
      for (std::size_t length : lengths) {
        const Bytes input = RandomBytes(inOffset + length + 8, static_cast<unsigned>(length));
        // Output starts out random rather than zeroed: both forms must OR
        // into it and leave everything past the last bit alone.
        const Bytes initial =
            RandomBytes(outOffset + length / 16 + 9, static_cast<unsigned>(length + 1));
        Bytes expected = initial;
        Bytes actual = initial;
        ExtractNoiseBitsScalar(expected.data() + outOffset, input.data() + inOffset, length);
        GetParam().extract(actual.data() + outOffset, input.data() + inOffset, length);
        ASSERT_EQ(actual, expected) << "length " << length << ", input offset " << inOffset
                                    << ", output offset " << outOffset;
      }
    }
  }
}

// Pieces of every size up to several bytes of bits, and patterns that leave
// a carry, fill one exactly and pass a whole byte's samples through it; each
// stream once ending on a byte boundary and once part way into a byte.
TEST(NoiseBitsPacker, PiecesGiveTheBitsOfTheWholeStream) {
  const Bytes samples = RandomBytes(4000, 5);
  std::vector<std::vector<std::size_t>> patterns = {{4000}, {2, 14, 16}, {6, 4, 30, 2, 1000}};
  for (std::size_t size = 2; size <= 80; size += 2) patterns.push_back({size});
  for (std::size_t total : {4000, 3990}) {
    Bytes expected(total / 16 + 1, 0);
    ExtractNoiseBitsScalar(expected.data(), samples.data(), total);
    for (const std::vector<std::size_t>& pattern : patterns) {
      Bytes packed(expected.size(), 0);
      NoiseBitsPacker packer = {packed.data()};
      for (std::size_t done = 0, step = 0; done < total; ++step) {
        const std::size_t piece = std::min(pattern[step % pattern.size()], total - done);
        PackNoiseBits(packer, samples.data() + done, piece);
        done += piece;
      }
      FinishNoiseBits(packer);
      ASSERT_EQ(packed, expected) << total << " bytes in pieces of " << pattern[0] << "...";
    }
  }
}

std::string FormName(const ::testing::TestParamInfo<Form>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Forms, NoiseBitsFormTest, ::testing::ValuesIn(AllForms()), FormName);
INSTANTIATE_TEST_SUITE_P(Forms, NoiseBitsFastFormTest, ::testing::ValuesIn(FastForms()), FormName);

}  // namespace
}  // namespace quorlix
