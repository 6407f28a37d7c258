// A file read once from start to end, as quorlix-probe reads its input: a
// regular file, a device or a pipe that another program is still writing.
// A read never waits long for data that does not come, so that Ctrl-C is
// seen at once however the input is fed. One implementation per platform.
#ifndef QUORLIX_PLATFORM_INPUT_FILE_H_
#define QUORLIX_PLATFORM_INPUT_FILE_H_

#include <cstddef>
#include <cstdint>

namespace quorlix {

struct InputFile {
  std::intptr_t handle = -1;
  bool pipe = false;
};

enum class InputRead { kData, kEnd, kFailed, kInterrupted };

// kData when open, kFailed when the file cannot be opened; it never waits,
// not even for the writer of a named pipe. Close it either way.
InputRead OpenInputFile(const char* name, InputFile& file);

// Some bytes (kData, got > 0), the end of the file, a failure, or an
// interrupt, which is looked for before each wait for data.
InputRead ReadInputFile(InputFile& file, std::uint8_t* data, std::size_t size, std::size_t& got);

void CloseInputFile(InputFile& file);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_INPUT_FILE_H_
