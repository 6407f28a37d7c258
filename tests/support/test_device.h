// The test capture device: an ALSA configuration in a private HOME whose
// default capture device reads its samples from a raw file through ALSA's
// file plugin, instantly and byte for byte, each capture going on where the
// last one stopped. It drives the tool's real ALSA code path with known
// samples.
#ifndef QUORLIX_TESTS_SUPPORT_TEST_DEVICE_H_
#define QUORLIX_TESTS_SUPPORT_TEST_DEVICE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorlix::testing {

// A HOME with the given ALSA configuration.
struct ConfiguredDevice {
  explicit ConfiguredDevice(const std::string& asoundrc);
  TempDir home;
};

// A HOME whose default capture device reads from infile.
struct TestDevice {
  explicit TestDevice(const std::string& infile);
  TempDir home;
};

// A HOME whose default capture device reads the given samples.
struct NoiseDevice {
  explicit NoiseDevice(const std::vector<std::uint8_t>& samples);
  TempDir files;
  std::string noisePath;
  TestDevice device;
};

// The ALSA configuration of a device that reads from infile.
std::string FileDeviceConfig(const std::string& infile);

// The ALSA configuration of a capture device called name that reads from
// infile, with the description ALSA's device list shows.
std::string NamedFileDeviceConfig(const std::string& name, const std::string& description,
                                  const std::string& infile);

// A default capture device that does not exist, the same on every machine
// whatever sound server it runs.
inline constexpr char kMissingDeviceConfig[] = "pcm.!default { type hw card 99 }\n";

// Realistic idle line-in noise, seconds x 176400 bytes.
std::vector<std::uint8_t> LineInNoise(std::uint64_t seed, std::uint64_t seconds);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_TEST_DEVICE_H_
