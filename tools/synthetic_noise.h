// Synthetic line-in noise: what an idle sound-card input delivers, as raw
// 16-bit little-endian stereo at 44100 Hz (4 bytes per frame, left first).
// Each channel has its own DC offset, Gaussian noise of a few LSB and a
// little 50 Hz mains hum. The samples come from a seeded generator built
// from integer arithmetic only, so a seed gives the same bytes on every
// compiler and platform and a test can replay them; a file written in pieces
// holds exactly the bytes of the whole block.
#ifndef QUORLIX_TOOLS_SYNTHETIC_NOISE_H_
#define QUORLIX_TOOLS_SYNTHETIC_NOISE_H_

#include <cstdint>
#include <cstdio>
#include <vector>

namespace quorlix {

inline constexpr std::uint32_t kNoiseFramesPerSecond = 44100;
inline constexpr std::uint32_t kNoiseBytesPerFrame = 4;
// Per channel, left then right, in LSB. The right channel sits below zero,
// as many inputs do, so both signs of sample reach the tool.
inline constexpr int kNoiseDcOffset[2] = {23, -17};
inline constexpr int kNoiseSigma = 4;
inline constexpr int kNoiseHumAmplitude = 2;
inline constexpr std::uint32_t kNoiseHumHz = 50;

// frames frames of noise, 4 × frames bytes.
std::vector<std::uint8_t> SyntheticNoise(std::uint64_t seed, std::uint64_t frames);

// The same bytes as SyntheticNoise, written to out piece by piece so that a
// long recording never needs to fit in memory. False when a write fails.
bool WriteSyntheticNoise(std::FILE* out, std::uint64_t seed, std::uint64_t frames);

}  // namespace quorlix

#endif  // QUORLIX_TOOLS_SYNTHETIC_NOISE_H_
