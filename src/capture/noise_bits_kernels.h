// The fast forms of noise bit extraction that this build carries, listed so
// that each one can be checked against the scalar reference on its own,
// whichever of them ExtractNoiseBits happens to pick on the test machine.
// Which forms exist depends on the processor family the build targets; a
// form can be built in and still be unusable on the processor at hand.
#ifndef QUORLIX_CAPTURE_NOISE_BITS_KERNELS_H_
#define QUORLIX_CAPTURE_NOISE_BITS_KERNELS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorlix {

using NoiseBitsFunction = void (*)(std::uint8_t* out, const std::uint8_t* samples,
                                   std::size_t sampleBytes);

struct NoiseBitsKernel {
  const char* name;
  NoiseBitsFunction extract;
  bool usable;  // this processor has the instructions the form needs
};

std::vector<NoiseBitsKernel> NoiseBitsKernels();

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_NOISE_BITS_KERNELS_H_
