// Fuzzes quorlix-probe from its input file to its report. The first byte
// picks the reader (PCM or noise bits), the next ones a plan, then comes the
// file name up to a NUL (any bytes, UTF-8 or not) and the file's content,
// which the real reader reads through a memory file. Whatever the input,
// the JSON report must satisfy a strict reader, both reports must end with
// the verdict, and an input this short is never fit.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "driver/failure.h"
#include "probe/probe_findings.h"
#include "probe/probe_noise.h"
#include "probe/probe_report.h"
#include "support/strict_json.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The content as a file the readers open by name; -1 when there is none.
int MemoryFile(const std::uint8_t* data, std::size_t size) {
  const int file = memfd_create("probe-input", MFD_CLOEXEC);
  if (file < 0) return -1;
  if (write(file, data, size) != static_cast<ssize_t>(size)) {
    close(file);
    return -1;
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  quorlix::ProbeCommand command;
  command.source = (data[0] & 1) ? quorlix::NoiseSource::kPcmFile : quorlix::NoiseSource::kBitsFile;
  command.hasPlan = (data[0] & 2) != 0;
  command.planInputFiles = 1 + data[1] % 64;
  command.planMidFiles = 1 + data[2] % 64;
  command.planSeconds = 1 + data[3];
  const auto* nameEnd = static_cast<const std::uint8_t*>(std::memchr(data + 4, 0, size - 4));
  if (nameEnd == nullptr) return 0;
  const std::string name(reinterpret_cast<const char*>(data + 4), reinterpret_cast<const char*>(nameEnd));
  const std::uint8_t* content = nameEnd + 1;
  const std::size_t contentSize = size - static_cast<std::size_t>(content - data);

  const int file = MemoryFile(content, contentSize);
  if (file < 0) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(file);
  try {
    const quorlix::ProbeNoise noise = command.source == quorlix::NoiseSource::kPcmFile
                                            ? quorlix::ReadPcmFile(path.c_str())
                                            : quorlix::ReadBitsFile(path.c_str());
    close(file);
    Check(noise.bitCount == (command.source == quorlix::NoiseSource::kPcmFile
                                   ? contentSize / 4 * 2
                                   : std::uint64_t{contentSize} * 8));
    command.file = name.c_str();
    const quorlix::ProbeFindings findings = quorlix::ExamineNoise(command, noise);
    Check(findings.verdict != quorlix::Verdict::kFit);
    std::ostringstream json, text;
    quorlix::PrintJsonReport(findings, json);
    quorlix::PrintTextReport(findings, text);
    Check(quorlix::testing::StrictJsonFault(json.str()).empty());
    const std::string line = quorlix::VerdictLine(findings);
    Check(text.str().ends_with("\n" + line + "\n"));
    Check(line.starts_with("Unfit: "));
  } catch (const quorlix::FailureMessage& failure) {
    close(file);
    // Only an input without one whole sample or byte has nothing to assess.
    const std::size_t least = command.source == quorlix::NoiseSource::kPcmFile ? 4 : 1;
    Check(contentSize < least && std::strcmp(failure.text, "No noise bits to assess") == 0);
  }
  return 0;
}
