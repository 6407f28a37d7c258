// Noise files: the raw, mid and output files of a run, each a headerless run
// of exactly outputSize bytes, written and read whole. A file is written
// through the handle its exclusive creation returned, never reopened by name
// for writing, and read back only while its name still leads to it. The
// file being worked on sits in one of the run's file slots while it is open,
// so a failure part way leaves it where the teardown closes it. A transfer
// cut short by the user's interrupt ends the run as interrupted.
#ifndef QUORLIX_DRIVER_NOISE_FILE_H_
#define QUORLIX_DRIVER_NOISE_FILE_H_

#include <cstdint>

#include "driver/temp_file_list.h"
#include "platform/files.h"

namespace quorlix {

// Writes size bytes to a made file open in slot and closes it; a failed
// close is a failed write. With durable set the bytes are on the storage
// device before this returns. Fails with writeFailure followed by the file's
// name.
void WriteMadeNoiseFile(RunFolder& folder, const MadeFile& made, OpenFile& slot,
                        const std::uint8_t* data, std::uint32_t size, const char* writeFailure,
                        bool durable = false);

// Makes a new file under prefix in folder, lists it and writes it as above.
// The output is made so that it can be kept, and written durably. Fails with
// "GetTempFileName failed" or writeFailure followed by the file's name.
const MadeFile& WriteNewNoiseFile(RunFolder& folder, const char* prefix, TempFileList& list,
                                  OpenFile& slot, const std::uint8_t* data, std::uint32_t size,
                                  const char* writeFailure, bool output = false);

struct NoiseFileTexts {
  const char* openFailure;  // prefix of the failure when the file cannot be opened
  const char* readFailure;  // prefix of the failure when a read falls short
};

// Reads exactly size bytes of the made file into data.
void ReadNoiseFile(RunFolder& folder, const MadeFile& made, OpenFile& slot, std::uint8_t* data,
                   std::uint32_t size, const NoiseFileTexts& texts);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_NOISE_FILE_H_
