#include "support/test_device.h"

#include "synthetic_noise.h"

namespace quorlix::testing {
namespace {

std::string WriteSamples(const std::string& folder, const std::vector<std::uint8_t>& samples) {
  std::string path = folder + "/noise.raw";
  WriteWholeFile(path, samples);
  return path;
}

std::string FileDeviceBody(const std::string& infile) {
  return "type file; slave.pcm \"null\"; file \"/dev/null\"; infile \"" + infile +
         "\"; format \"raw\"";
}

}  // namespace

std::string FileDeviceConfig(const std::string& infile) {
  return "pcm.!default { " + FileDeviceBody(infile) + " }\n";
}

std::string NamedFileDeviceConfig(const std::string& name, const std::string& description,
                                  const std::string& infile) {
  return "pcm." + name + " { " + FileDeviceBody(infile) + "; hint.description \"" + description +
         "\" }\n";
}

ConfiguredDevice::ConfiguredDevice(const std::string& asoundrc) {
  WriteTextFile(home.path + "/.asoundrc", asoundrc);
}

TestDevice::TestDevice(const std::string& infile) {
  WriteTextFile(home.path + "/.asoundrc", FileDeviceConfig(infile));
}

NoiseDevice::NoiseDevice(const std::vector<std::uint8_t>& samples)
    : noisePath(WriteSamples(files.path, samples)), device(noisePath) {}

std::vector<std::uint8_t> LineInNoise(std::uint64_t seed, std::uint64_t seconds) {
  return SyntheticNoise(seed, seconds * 44100);
}

}  // namespace quorlix::testing
