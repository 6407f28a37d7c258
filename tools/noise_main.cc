// quorlix-noise SEED SECONDS OUTFILE
//
// Writes SECONDS seconds of synthetic line-in noise (raw 16-bit little-endian
// stereo at 44100 Hz) made from SEED to OUTFILE. It feeds ALSA's file plugin
// when a machine has no sound card; the bytes are not fit for keys. There is
// no standard-output form: the C library cannot portably switch standard
// output to binary mode, and a text-mode stream would corrupt the samples.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "synthetic_noise.h"

namespace {

// A plain decimal number and nothing else: a typo must not quietly become 0.
bool ReadCount(const char* text, std::uint64_t& value) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  value = parsed;
  return true;
}

int Usage() {
  std::fputs("Usage: quorlix-noise SEED SECONDS OUTFILE\n"
             "Writes SECONDS s of synthetic line-in noise (S16_LE stereo, 44100 Hz).\n",
             stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  std::uint64_t seed = 0;
  std::uint64_t seconds = 0;
  if (!ReadCount(argv[1], seed) || !ReadCount(argv[2], seconds)) return Usage();
  if (seconds > UINT64_MAX / quorlix::kNoiseFramesPerSecond / quorlix::kNoiseBytesPerFrame) {
    std::fputs("quorlix-noise: SECONDS is too large\n", stderr);
    return 1;
  }

  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "quorlix-noise: cannot open %s for writing\n", argv[3]);
    return 1;
  }
  const bool written =
      quorlix::WriteSyntheticNoise(out, seed, seconds * quorlix::kNoiseFramesPerSecond);
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "quorlix-noise: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
