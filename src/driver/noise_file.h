// Noise files: the raw, mid and output files of a run, each a headerless run
// of exactly outputSize bytes, written and read whole. The file being worked
// on sits in one of the run's file slots while it is open, so a failure part
// way leaves it where the teardown closes it.
#ifndef QUORLIX_DRIVER_NOISE_FILE_H_
#define QUORLIX_DRIVER_NOISE_FILE_H_

#include <cstdint>
#include <cstdio>

namespace quorlix {

struct NoiseFileTexts {
  const char* openFailure;   // prefix of the failure when the file cannot be opened
  const char* transferFailure;  // prefix of the failure when a read or write falls short
};

// Writes size bytes to a new file called name. Data that reaches the disk
// only at close is checked too: a failed close is a failed write. With
// durable set the bytes are on the storage device before this returns.
void WriteNoiseFile(std::FILE*& slot, const char* name, const std::uint8_t* data,
                    std::uint32_t size, const NoiseFileTexts& texts, bool durable = false);

// Reads exactly size bytes of the file called name into data.
void ReadNoiseFile(std::FILE*& slot, const char* name, std::uint8_t* data, std::uint32_t size,
                   const NoiseFileTexts& texts);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_NOISE_FILE_H_
