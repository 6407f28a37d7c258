#include "probe/probe_command.h"

#include <cstring>
#include <string>

#include "driver/failure.h"
#include "driver/run_limits.h"
#include "driver/run_plan.h"

namespace quorlix {
namespace {

constexpr char kUsage[] =
      "Usage:\n\n"
      "\tquorlix-probe [--json] [--device NAME] [seconds]\n"
      "\tquorlix-probe [--json] --pcm FILE\n"
      "\tquorlix-probe [--json] --bits FILE\n"
      "\tany of them followed by --plan inputFiles midFiles seconds\n"
      "\tquorlix-probe [--json] --list";

[[noreturn]] void FailUsage() { Fail(kUsage); }

// True when argument is the option name, alone or as "name=value"; attached
// is then the value after '=', or nullptr.
bool IsOption(const char* argument, const char* name, const char*& attached) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(argument, name, length) != 0) return false;
  if (argument[length] == '\0') {
    attached = nullptr;
    return true;
  }
  if (argument[length] != '=') return false;
  attached = argument + length + 1;
  return true;
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
    const char* attached = nullptr;
    const auto flag = [&](const char* name) {
      if (!IsOption(argument, name, attached)) return false;
      if (attached != nullptr) FailUsage();
      return true;
    };
    if (flag("--help") || flag("-h")) {
      command.help = true;
      return command;
    }
    if (flag("--version")) {
      command.version = true;
      return command;
    }
    if (flag("--json")) {
      if (command.json) FailUsage();
      command.json = true;
    } else if (flag("--list")) {
      if (command.list) FailUsage();
      command.list = true;
    } else if (IsOption(argument, "--device", attached)) {
      if (command.device != nullptr) FailUsage();
      command.device = attached != nullptr ? attached : next();
    } else if (IsOption(argument, "--plan", attached)) {
      if (command.hasPlan) FailUsage();
      command.hasPlan = true;
      command.planInputFiles = ReadDecimal(attached != nullptr ? attached : next());
      command.planMidFiles = ReadDecimal(next());
      command.planSeconds = ReadDecimal(next());
    } else if (IsOption(argument, "--pcm", attached) || IsOption(argument, "--bits", attached)) {
      if (sourceGiven) FailUsage();
      command.source = argument[2] == 'p' ? NoiseSource::kPcmFile : NoiseSource::kBitsFile;
      command.file = attached != nullptr ? attached : next();
      sourceGiven = true;
    } else if (std::strncmp(argument, "--", 2) == 0 || sourceGiven) {
      FailUsage();
    } else {
      command.recordSeconds = ReadDecimal(argument);
      sourceGiven = true;
    }
  }
  if (command.list && (sourceGiven || command.hasPlan || command.device != nullptr)) FailUsage();
  if (command.device != nullptr && command.source != NoiseSource::kRecording) FailUsage();
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

std::string ProbeHelpText() {
  return std::string(kUsage) +
         "\n\tquorlix-probe --help | --version\n\n"
         "Measures the min-entropy of a sound card's input noise, in the bits quorlix\n"
         "keeps, and names the quorlix run that turns it into full-entropy output.\n\n"
         "  seconds        record this long from the capture device (12)\n"
         "  --device NAME  record from this capture device, not QUORLIX_DEVICE's or\n"
         "                 the default one\n"
         "  --pcm FILE     a recording: raw 16-bit little-endian stereo PCM, 44100 Hz\n"
         "  --bits FILE    noise bits as quorlix's raw files hold them\n"
         "  --plan inputFiles midFiles seconds\n"
         "                 also judge that run of quorlix\n"
         "  --json         the report as one JSON object\n"
         "  --list         the capture devices, each with the name that chooses it\n"
         "  --help         this text\n"
         "  --version      the version\n\n"
         "The capture device is the one QUORLIX_DEVICE names, or the default one when\n"
         "it is unset or empty; --list shows the names it takes.\n"
         "Options also take their value after '=' (--pcm=FILE). Exit status 0 when\n"
         "the input is fit to use, 1 when it is not or on any failure.\n"
         "See quorlix-probe(1).";
}

const char* ProbeVersionText() { return "quorlix-probe " QUORLIX_VERSION; }

}  // namespace quorlix
