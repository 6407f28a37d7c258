#include "synthetic_noise.h"
std::vector<std::uint8_t> quorlix::SyntheticNoise(std::uint64_t, std::uint64_t) { return {}; }
