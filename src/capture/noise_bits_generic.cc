// Processors without a vector form of the extraction use the scalar one.
#include "capture/noise_bits.h"
#include "capture/noise_bits_kernels.h"

namespace quorlix {

void ExtractNoiseBits(std::uint8_t* out, const std::uint8_t* samples, std::size_t sampleBytes) {
  ExtractNoiseBitsScalar(out, samples, sampleBytes);
}

std::vector<NoiseBitsKernel> NoiseBitsKernels() { return {}; }

}  // namespace quorlix
