// The quorlix-probe command line: where the noise comes from (a recording,
// a PCM file or a file of noise bits), whether the report is JSON, and the
// run shape to judge; or a list of the capture devices. Reading it is the only place that decides whether a
// command line is acceptable. Options take their value as the next argument
// or after '=' (--pcm=FILE); counts are read as quorlix reads them.
#ifndef QUORLIX_PROBE_PROBE_COMMAND_H_
#define QUORLIX_PROBE_PROBE_COMMAND_H_

#include <cstdint>
#include <string>

namespace quorlix {

enum class NoiseSource { kRecording, kPcmFile, kBitsFile };

struct ProbeCommand {
  NoiseSource source = NoiseSource::kRecording;
  std::int32_t recordSeconds = 12;  // enough for the 1,000,000 bits the assessment wants
  const char* file = nullptr;       // for the two file sources
  // For a recording: the capture device --device names, over QUORLIX_DEVICE.
  const char* device = nullptr;
  // --list: list the capture devices instead.
  bool list = false;
  bool json = false;
  bool hasPlan = false;
  std::int32_t planInputFiles = 0;
  std::int32_t planMidFiles = 0;
  std::int32_t planSeconds = 0;
  // --help or --version: print that and nothing else; the rest is unread.
  bool help = false;
  bool version = false;
};

// argv holds the program name and argc - 1 arguments. Throws the usage text
// or the first count that is out of range, in quorlix's words.
ProbeCommand ReadProbeCommand(int argc, const char* const* argv);

// What --help prints: the usage and a line on each option.
std::string ProbeHelpText();

// What --version prints, without the line end.
const char* ProbeVersionText();

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_COMMAND_H_
