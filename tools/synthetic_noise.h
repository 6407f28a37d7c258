// Synthetic line-in noise: what an idle sound-card input delivers, as raw
// 16-bit little-endian stereo at 44100 Hz. A DC offset, Gaussian noise of a
// few LSB and a little mains hum, from a seeded generator so that a test can
// replay the same samples.
#ifndef QUORLIX_TOOLS_SYNTHETIC_NOISE_H_
#define QUORLIX_TOOLS_SYNTHETIC_NOISE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace quorlix {

std::vector<std::uint8_t> SyntheticNoise(std::uint64_t seed, std::uint64_t frames);

}  // namespace quorlix

#endif  // QUORLIX_TOOLS_SYNTHETIC_NOISE_H_
