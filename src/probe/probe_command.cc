#include "probe/probe_command.h"

#include <cstring>

#include "driver/failure.h"
#include "driver/run_limits.h"

namespace quorlix {
namespace {

[[noreturn]] void FailUsage() {
  Fail("Usage:\n\n"
       "\tquorlix-probe [--json] [seconds]\n"
       "\tquorlix-probe [--json] --pcm FILE\n"
       "\tquorlix-probe [--json] --bits FILE\n"
       "\tany of them followed by --plan inputFiles midFiles seconds");
}

// Plain decimal digits and nothing else, so that a typo never becomes a
// count; anything longer than nine digits is beyond every limit anyway and
// reads as the largest int32.
std::int32_t ReadCount(const char* text) {
  if (*text == '\0') FailUsage();
  std::int64_t value = 0;
  for (const char* digit = text; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') FailUsage();
    if (value <= INT32_MAX) value = value * 10 + (*digit - '0');
  }
  return value > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(value);
}

void CheckSeconds(std::int32_t seconds) {
  if (seconds < 1) Fail("Seconds must be >= 1");
  if (seconds > kMaxSeconds) Fail("Seconds must be <= 24347");
}

}  // namespace

ProbeCommand ReadProbeCommand(int argc, const char* const* argv) {
  ProbeCommand command;
  bool sourceGiven = false;
  int index = 1;
  auto next = [&]() -> const char* {
    if (index >= argc) FailUsage();
    return argv[index++];
  };
  while (index < argc) {
    const char* argument = next();
    if (std::strcmp(argument, "--json") == 0 && !command.json) {
      command.json = true;
    } else if (std::strcmp(argument, "--plan") == 0 && !command.hasPlan) {
      command.hasPlan = true;
      command.planInputFiles = ReadCount(next());
      command.planMidFiles = ReadCount(next());
      command.planSeconds = ReadCount(next());
    } else if (sourceGiven) {
      FailUsage();
    } else if (std::strcmp(argument, "--pcm") == 0 || std::strcmp(argument, "--bits") == 0) {
      command.source = argument[2] == 'p' ? NoiseSource::kPcmFile : NoiseSource::kBitsFile;
      command.file = next();
      sourceGiven = true;
    } else {
      command.recordSeconds = ReadCount(argument);
      sourceGiven = true;
    }
  }
  if (command.source == NoiseSource::kRecording) CheckSeconds(command.recordSeconds);
  if (command.hasPlan) {
    if (command.planInputFiles < 1) Fail("InputFiles must be >= 1");
    if (command.planMidFiles < 1) Fail("MidFiles must be >= 1");
    CheckSeconds(command.planSeconds);
    if (std::int64_t{command.planInputFiles} * command.planMidFiles > kMaxCaptures) {
      Fail("InputFiles x MidFiles must be <= 65535");
    }
  }
  return command;
}

}  // namespace quorlix
