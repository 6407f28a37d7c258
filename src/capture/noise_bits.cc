#include "capture/noise_bits.h"

namespace quorlix {

void ExtractNoiseBitsScalar(std::uint8_t* out, const std::uint8_t* samples,
                            std::size_t sampleBytes) {
  unsigned shift = 0;
  for (std::size_t i = 0; i + 1 < sampleBytes; i += 2) {
    unsigned bit = (samples[i] ^ samples[i + 1]) & 1u;
    *out = static_cast<std::uint8_t>(*out | (bit << shift));
    if (shift == 7) {
      ++out;
      shift = 0;
    } else {
      ++shift;
    }
  }
}

}  // namespace quorlix
