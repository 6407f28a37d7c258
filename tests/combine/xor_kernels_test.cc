#include "combine/xor_kernels.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "combine/xor_kernel_forms.h"
#include "support/random_bytes.h"

namespace quorlix {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Form {
  std::string name;
  FoldFunction fold;
  bool usable;
};

void PrintTo(const Form& form, std::ostream* out) { *out << form.name; }

// The dispatched fold is listed as well as each form, so whichever form it
// picks is covered even on a processor that would skip the others.
std::vector<Form> FastForms(FoldFunction dispatched, const std::vector<FoldForm>& forms) {
  std::vector<Form> result{{"Dispatched", dispatched, true}};
  for (const FoldForm& form : forms) result.push_back({form.name, form.fold, form.usable});
  return result;
}

std::vector<Form> FastXorForms() { return FastForms(XorInto, XorIntoForms()); }
std::vector<Form> FastRotateForms() { return FastForms(RotateXorInto, RotateXorIntoForms()); }

std::vector<Form> WithScalar(FoldFunction scalar, std::vector<Form> fast) {
  fast.insert(fast.begin(), {"Scalar", scalar, true});
  return fast;
}

using testing::RandomBytes;

std::vector<std::size_t> TestLengths() {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (std::size_t n : {4103, 11025, 22053}) lengths.push_back(n);
  return lengths;
}

// Written apart from the tool's own forms: byte i of the range is rotated by
// (phase + i) mod 8 and XORed in.
Bytes RotatedReference(Bytes result, std::size_t offset, const Bytes& source,
                       std::size_t sourceOffset, std::size_t length, unsigned phase) {
  for (std::size_t i = 0; i < length; ++i) {
    const int rotation = static_cast<int>((phase + i) % 8);
    result[offset + i] ^= std::rotl(source[sourceOffset + i], rotation);
  }
  return result;
}

class FoldFormTest : public ::testing::TestWithParam<Form> {
 protected:
  void SetUp() override {
    if (!GetParam().usable)
      GTEST_SKIP() << GetParam().name << " needs instructions this processor lacks";
  }
  void Fold(Bytes& target, std::size_t offset, const Bytes& source, std::size_t sourceOffset,
            std::size_t length) const {
    GetParam().fold(target.data() + offset, source.data() + sourceOffset, length);
  }
};
using XorIntoFormTest = FoldFormTest;
using XorIntoFastFormTest = FoldFormTest;
using RotateXorIntoFormTest = FoldFormTest;
using RotateXorIntoFastFormTest = FoldFormTest;

TEST_P(XorIntoFastFormTest, MatchesScalarForManyLengthsAndAlignments) {
  for (std::size_t length : TestLengths()) {
    for (std::size_t targetOffset : {0, 1, 4, 7, 13, 31, 33, 63}) {
      for (std::size_t sourceOffset : {0, 3, 5, 16}) {
        const unsigned seed = static_cast<unsigned>(length * 64 + targetOffset * 8 + sourceOffset);
        const Bytes source = RandomBytes(sourceOffset + length + 8, seed);
        // The bytes before and past the range, compared too, must come
        // through untouched.
        Bytes expected = RandomBytes(targetOffset + length + 8, seed + 1);
        Bytes actual = expected;
        XorIntoScalar(expected.data() + targetOffset, source.data() + sourceOffset, length);
        Fold(actual, targetOffset, source, sourceOffset, length);
        ASSERT_EQ(actual, expected) << "length " << length << ", target offset " << targetOffset
                                    << ", source offset " << sourceOffset;
      }
    }
  }
}

TEST_P(XorIntoFormTest, RunningBlockHoldsEveryFileFoldedSoFar) {
  // Raw files R1[i] = i, R2 = 0x80 and R3 = 0xFF; the running block must
  // read R1, then R1 ^ R2 = i | 0x80, then R1 ^ R2 ^ R3 = 0x7F - i.
  const std::size_t length = 100;
  Bytes r1(length), r2(length, 0x80), r3(length, 0xFF);
  for (std::size_t i = 0; i < length; ++i) r1[i] = static_cast<std::uint8_t>(i);
  Bytes running(length, 0);
  Fold(running, 0, r1, 0, length);
  EXPECT_EQ(running, r1);
  Fold(running, 0, r2, 0, length);
  for (std::size_t i = 0; i < length; ++i)
    EXPECT_EQ(running[i], static_cast<std::uint8_t>(i | 0x80)) << i;
  Fold(running, 0, r3, 0, length);
  for (std::size_t i = 0; i < length; ++i)
    EXPECT_EQ(running[i], static_cast<std::uint8_t>(0x7F - i)) << i;
}

TEST_P(XorIntoFormTest, BlockFoldedIntoItselfBecomesZero) {
  for (std::size_t length : {1, 15, 16, 17, 100, 1000, 11025}) {
    Bytes block = RandomBytes(length + 3, static_cast<unsigned>(length));
    GetParam().fold(block.data() + 3, block.data() + 3, length);
    for (std::size_t i = 3; i < block.size(); ++i) ASSERT_EQ(block[i], 0) << length << ", " << i;
  }
}

TEST_P(RotateXorIntoFormTest, WorkedExamples) {
  struct Step {
    Bytes source;
    Bytes result;
    unsigned counterAfter;
  };
  const std::vector<Step> steps = {
      {{0x81, 0x81, 0x81}, {0x81, 0x03, 0x06}, 3},
      {{0x81, 0x81}, {0x0C, 0x18}, 5},
  };
  RotationCounter = 0;
  for (const Step& step : steps) {
    Bytes result(step.source.size(), 0);
    Fold(result, 0, step.source, 0, step.source.size());
    EXPECT_EQ(result, step.result);
    EXPECT_EQ(RotationCounter, step.counterAfter);
  }
}

TEST_P(RotateXorIntoFormTest, OneMidFileIsRotatedByPosition) {
  const Bytes source(9, 0x01);
  const Bytes expected = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x01};
  RotationCounter = 0;
  Bytes result(source.size(), 0);
  Fold(result, 0, source, 0, source.size());
  EXPECT_EQ(result, expected);
  EXPECT_EQ(RotationCounter, 1u);
}

TEST_P(RotateXorIntoFormTest, CounterRunsOnIntoTheNextMidFile) {
  // 11025 is 1 modulo 8, so the second file's first byte is rotated by 1.
  const Bytes mid(11025, 0x01);
  RotationCounter = 0;
  Bytes result(mid.size(), 0);
  Fold(result, 0, mid, 0, mid.size());
  Fold(result, 0, mid, 0, mid.size());
  EXPECT_EQ(result[0], 0x01 ^ 0x02);
  EXPECT_EQ(result[7], 0x80 ^ 0x01);
  EXPECT_EQ(RotationCounter, 2u);
}

TEST_P(RotateXorIntoFormTest, MatchesIndependentRotationForEveryPhase) {
  for (unsigned phase = 0; phase < 8; ++phase) {
    for (std::size_t length : {0, 1, 7, 8, 9, 63, 64, 65, 200, 11025}) {
      for (std::size_t offset : {0, 5, 32}) {
        const unsigned seed = static_cast<unsigned>(length * 64 + phase * 8 + offset);
        const Bytes source = RandomBytes(length + 2, seed);
        const Bytes initial = RandomBytes(offset + length + 8, seed + 1);
        Bytes actual = initial;
        RotationCounter = phase;
        Fold(actual, offset, source, 2, length);
        ASSERT_EQ(actual, RotatedReference(initial, offset, source, 2, length, phase))
            << "phase " << phase << ", length " << length << ", offset " << offset;
        ASSERT_EQ(RotationCounter, (phase + length) % 8) << "phase " << phase << ", length " << length;
      }
    }
  }
}

TEST_P(RotateXorIntoFastFormTest, MatchesScalarForEveryPhaseLengthAndAlignment) {
  for (unsigned phase = 0; phase < 8; ++phase) {
    for (std::size_t length : TestLengths()) {
      for (std::size_t targetOffset : {0, 3, 17, 40, 63}) {
        for (std::size_t sourceOffset : {0, 1, 8}) {
          const unsigned seed = static_cast<unsigned>(length * 512 + phase * 64 + targetOffset);
          const Bytes source = RandomBytes(sourceOffset + length + 8, seed + static_cast<unsigned>(sourceOffset));
          Bytes expected = RandomBytes(targetOffset + length + 8, seed + 1);
          Bytes actual = expected;
          RotationCounter = phase;
          RotateXorIntoScalar(expected.data() + targetOffset, source.data() + sourceOffset, length);
          const unsigned expectedCounter = RotationCounter;
          RotationCounter = phase;
          Fold(actual, targetOffset, source, sourceOffset, length);
          ASSERT_EQ(actual, expected) << "phase " << phase << ", length " << length
                                      << ", target offset " << targetOffset
                                      << ", source offset " << sourceOffset;
          ASSERT_EQ(RotationCounter, expectedCounter)
              << "phase " << phase << ", length " << length;
        }
      }
    }
  }
}

TEST_P(RotateXorIntoFastFormTest, EveryHeadLengthAtEveryPhase) {
  // Starting the target at each of 64 addresses gives the vector forms every
  // possible run of single bytes before their first aligned vector, and so
  // every phase at which their vector part can start.
  const std::size_t length = 1000;
  for (unsigned phase = 0; phase < 8; ++phase) {
    for (std::size_t offset = 0; offset < 64; ++offset) {
      const unsigned seed = static_cast<unsigned>(phase * 64 + offset);
      const Bytes source = RandomBytes(length, seed);
      const Bytes initial = RandomBytes(offset + length + 8, seed + 1000);
      Bytes actual = initial;
      RotationCounter = phase;
      Fold(actual, offset, source, 0, length);
      ASSERT_EQ(actual, RotatedReference(initial, offset, source, 0, length, phase))
          << "phase " << phase << ", offset " << offset;
      ASSERT_EQ(RotationCounter, (phase + length) % 8);
    }
  }
}

TEST_P(RotateXorIntoFastFormTest, RunOfMidFilesMatchesScalar) {
  // Stage two's use: the counter carries over from call to call, and with a
  // length of 1 modulo 8 every call starts at a new phase.
  const std::size_t length = 11025;
  std::vector<Bytes> mids;
  for (unsigned m = 0; m < 10; ++m) mids.push_back(RandomBytes(length, 77 + m));
  Bytes expected(length, 0);
  Bytes actual(length, 0);
  RotationCounter = 0;
  for (const Bytes& mid : mids) RotateXorIntoScalar(expected.data(), mid.data(), length);
  const unsigned expectedCounter = RotationCounter;
  RotationCounter = 0;
  for (const Bytes& mid : mids) Fold(actual, 0, mid, 0, length);
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(RotationCounter, expectedCounter);
}

TEST_P(RotateXorIntoFormTest, BlockFoldedIntoItselfMatchesIndependentRotation) {
  for (unsigned phase = 0; phase < 8; ++phase) {
    const Bytes initial = RandomBytes(1003, phase);
    Bytes block = initial;
    RotationCounter = phase;
    GetParam().fold(block.data() + 1, block.data() + 1, 1000);
    ASSERT_EQ(block, RotatedReference(initial, 1, initial, 1, 1000, phase)) << "phase " << phase;
  }
}

std::string FormName(const ::testing::TestParamInfo<Form>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Forms, XorIntoFormTest,
                         ::testing::ValuesIn(WithScalar(XorIntoScalar, FastXorForms())), FormName);
INSTANTIATE_TEST_SUITE_P(Forms, XorIntoFastFormTest, ::testing::ValuesIn(FastXorForms()),
                         FormName);
INSTANTIATE_TEST_SUITE_P(Forms, RotateXorIntoFormTest,
                         ::testing::ValuesIn(WithScalar(RotateXorIntoScalar, FastRotateForms())),
                         FormName);
INSTANTIATE_TEST_SUITE_P(Forms, RotateXorIntoFastFormTest, ::testing::ValuesIn(FastRotateForms()),
                         FormName);

}  // namespace
}  // namespace quorlix
