#include "probe/probe_report.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "capture/capture_devices.h"
#include "driver/console_text.h"

namespace quorlix {
namespace {

struct EstimatorRow {
  const char* key;  // the field name, which AssessMinEntropy also gives
  const char* title;
  double MinEntropyEstimates::*value;
};

constexpr EstimatorRow kEstimators[] = {
      {"mostCommonValue", "Most Common Value", &MinEntropyEstimates::mostCommonValue},
      {"collision", "Collision", &MinEntropyEstimates::collision},
      {"markov", "Markov", &MinEntropyEstimates::markov},
      {"compression", "Compression", &MinEntropyEstimates::compression},
      {"tTuple", "t-Tuple", &MinEntropyEstimates::tTuple},
      {"longestRepeatedSubstring", "Longest Repeated Substring",
       &MinEntropyEstimates::longestRepeatedSubstring},
      {"multiMostCommonInWindow", "MultiMCW prediction",
       &MinEntropyEstimates::multiMostCommonInWindow},
      {"lag", "Lag prediction", &MinEntropyEstimates::lag},
      {"multiMarkovModelWithCounting", "MultiMMC prediction",
       &MinEntropyEstimates::multiMarkovModelWithCounting},
      {"lz78y", "LZ78Y prediction", &MinEntropyEstimates::lz78y},
};

constexpr const char* kChannelNames[2] = {"left", "right"};

const char* EstimatorTitle(const char* key) {
  for (const EstimatorRow& row : kEstimators) {
    if (std::strcmp(row.key, key) == 0) return row.title;
  }
  return key;
}

// printf into a string; every number of the report goes through here.
template <typename... Values>
std::string Format(const char* format, Values... values) {
  char text[128];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::string OutputEntropyText(const OutputEntropy& entropy) {
  if (std::isinf(entropy.shortfallLog2)) return "1";
  return Format("%.6f (1 - 2^%.1f)", entropy.minEntropy, entropy.shortfallLog2);
}

// A recording names its device: ALSA's "default" needs no more words than
// "the default capture device", while DirectSound names the device it
// stands for.
std::string SourceText(const ProbeFindings& findings) {
  const ProbeCommand& command = findings.command;
  switch (command.source) {
    case NoiseSource::kPcmFile:
      return std::string("PCM file ") + command.file;
    case NoiseSource::kBitsFile:
      return std::string("noise bits file ") + command.file;
    case NoiseSource::kRecording:
      break;
  }
  std::string device = PrintableLine(findings.deviceName);
  if (!findings.deviceDescription.empty()) {
    device = '"' + PrintableLine(findings.deviceDescription) + "\" " + device;
  }
  std::string text = Format("%d s recorded from ", command.recordSeconds);
  if (!findings.defaultDevice) return text + "capture device " + device;
  text += "the default capture device";
  if (!findings.deviceName.empty() && findings.deviceName != "default") text += ", " + device;
  return text;
}

std::string Hints(const ChannelStats& stats) {
  std::string hints;
  auto add = [&hints](const char* hint) { hints += (hints.empty() ? "" : "; ") + std::string(hint); };
  if (stats.looksFiltered) add("input looks filtered or resampled");
  if (stats.belowOneLsb) add("noise level below 1 LSB");
  if (stats.clipping) add("clipping");
  return hints;
}

std::int32_t SuggestedSeconds(const ProbeCommand& command) {
  return command.hasPlan ? command.planSeconds : 10;
}

void PrintSamples(const ProbeFindings& findings, std::ostream& out) {
  out << "1. Samples\n";
  if (!findings.hasSamples) {
    out << "   none: the input is noise bits\n\n";
    return;
  }
  const auto row = [&out](const char* name, const std::string& left, const std::string& right) {
    out << Format("   %-28s%16s%16s\n", name, left.c_str(), right.c_str());
  };
  const ChannelStats& l = findings.channels[0];
  const ChannelStats& r = findings.channels[1];
  row("", "left", "right");
  row("samples", FormatGrouped(l.samples), FormatGrouped(r.samples));
  row("DC offset (LSB)", Format("%.3f", l.dcOffset), Format("%.3f", r.dcOffset));
  row("noise level (LSB)", Format("%.3f", l.noiseLevel), Format("%.3f", r.noiseLevel));
  row("lowest sample", Format("%d", l.lowest), Format("%d", r.lowest));
  row("highest sample", Format("%d", l.highest), Format("%d", r.highest));
  row("at full scale (%)", Format("%.4f", 100 * l.fullScaleShare),
      Format("%.4f", 100 * r.fullScaleShare));
  row("lag-1 autocorrelation", Format("%.4f", l.lag1Autocorrelation),
      Format("%.4f", r.lag1Autocorrelation));
  row("  of differences (white -0.5)", Format("%.4f", l.differenceAutocorrelation),
      Format("%.4f", r.differenceAutocorrelation));
  out << "   share of ones by bit, bit 0 first\n";
  for (std::size_t channel = 0; channel < 2; ++channel) {
    const ChannelStats& stats = findings.channels[channel];
    for (unsigned half = 0; half < 2; ++half) {
      out << Format("     %-6s", half == 0 ? kChannelNames[channel] : "");
      for (unsigned bit = 8 * half; bit < 8 * half + 8; ++bit) {
        out << Format(" %.3f", stats.onesShareAtBit[bit]);
      }
      out << '\n';
    }
  }
  bool anyHint = false;
  for (std::size_t channel = 0; channel < 2; ++channel) {
    const std::string hints = Hints(findings.channels[channel]);
    if (hints.empty()) continue;
    out << "   " << kChannelNames[channel] << ": " << hints << '\n';
    anyHint = true;
  }
  if (!anyHint) out << "   nothing unusual\n";
  out << '\n';
}

void PrintNoiseBits(const ProbeFindings& findings, std::ostream& out) {
  out << "2. Noise bits (bit 0 XOR bit 8 of every sample)\n";
  out << "   " << FormatGrouped(findings.noiseBits) << " bits, share of ones "
      << Format("%.6f", findings.onesShare) << '\n';
  out << "   health tests (Repetition Count, Adaptive Proportion, as quorlix runs them): "
      << (findings.passedHealthTests ? "passed" : "FAILED") << "\n\n";
}

void PrintMinEntropy(const ProbeFindings& findings, std::ostream& out) {
  out << "3. Min-entropy per noise bit (NIST SP 800-90B 6.3, non-IID, binary)\n";
  out << "   of the first " << FormatGrouped(findings.assessedBits) << " bits\n";
  for (const EstimatorRow& row : kEstimators) {
    out << Format("   %-32s%.6f\n", row.title, findings.estimates.*row.value);
  }
  out << Format("   %-32s%.6f  set by %s\n", "assessed (the least)", findings.assessed.value,
                EstimatorTitle(findings.assessed.estimator));
  if (findings.assessedBits < kAssessedBits) {
    out << "   Warning: only " << FormatGrouped(findings.assessedBits)
        << " bits; below 1,000,000 the estimate is less certain\n";
  }
  out << '\n';
}

void PrintRunMeaning(const ProbeFindings& findings, std::ostream& out) {
  const double h = findings.assessed.value;
  out << "4. What it means for a run\n";
  out << "   Assuming the noise bits are independent, each with the assessed " << Format("%.6f", h)
      << " bit,\n"
         "   an output bit that is the XOR of D of them has min-entropy\n"
         "   -log2(1/2 + 2^(D-1) e^D), e = 2^-h - 1/2 (the piling-up lemma);\n"
         "   full entropy is at least 1 - 2^-32 per output bit.\n";
  if (findings.leastInputFiles == 0) {
    out << "   No run within quorlix's 65535 captures reaches full entropy from this input.\n";
  } else {
    out << "   Full entropy with midFiles 1 takes inputFiles " << findings.leastInputFiles
        << " (D = " << findings.leastInputFiles << "):\n"
        << "     quorlix path " << findings.leastInputFiles << " 1 " << SuggestedSeconds(findings.command)
        << "\n   (seconds sets only the output size, seconds x 11,025 bytes)\n";
  }
  const ProbeCommand& command = findings.command;
  if (command.hasPlan) {
    out << "   Plan " << command.planInputFiles << ' ' << command.planMidFiles << ' '
        << command.planSeconds << ": D = " << findings.planDepth.noiseBitsPerOutputBit << ", "
        << findings.planDepth.cancelledCaptures << " of "
        << std::int64_t{command.planInputFiles} * command.planMidFiles
        << " captures cancel,\n   min-entropy per output bit "
        << OutputEntropyText(findings.planEntropy) << ": "
        << (findings.planEntropy.full ? "full entropy" : "NOT full entropy") << '\n';
  }
  out << '\n';
}

std::string FitLine(const ProbeFindings& findings) {
  if (!findings.passedHealthTests) return UnfitLine();
  return Format("Fit: the noise bits passed the health tests, with %.6f bit of min-entropy each.",
                findings.assessed.value);
}


std::string JsonNumber(double value) { return std::isfinite(value) ? Format("%.6f", value) : "null"; }

void PrintJsonChannel(const ChannelStats& stats, const char* name, std::ostream& out) {
  out << "{\"name\": \"" << name << "\", \"samples\": " << stats.samples
      << ", \"dcOffset\": " << JsonNumber(stats.dcOffset)
      << ", \"noiseLevel\": " << JsonNumber(stats.noiseLevel) << ", \"lowest\": " << stats.lowest
      << ", \"highest\": " << stats.highest
      << ", \"fullScaleShare\": " << JsonNumber(stats.fullScaleShare)
      << ", \"lag1Autocorrelation\": " << JsonNumber(stats.lag1Autocorrelation)
      << ", \"differenceAutocorrelation\": " << JsonNumber(stats.differenceAutocorrelation)
      << ", \"onesShareAtBit\": [";
  for (unsigned bit = 0; bit < 16; ++bit) {
    out << (bit == 0 ? "" : ", ") << JsonNumber(stats.onesShareAtBit[bit]);
  }
  out << "], \"looksFiltered\": " << (stats.looksFiltered ? "true" : "false")
      << ", \"belowOneLsb\": " << (stats.belowOneLsb ? "true" : "false")
      << ", \"clipping\": " << (stats.clipping ? "true" : "false") << '}';
}

}  // namespace

std::string JsonString(const char* text) {
  std::string quoted = "\"";
  for (; *text != '\0'; ++text) {
    const auto c = static_cast<unsigned char>(*text);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20) {
      quoted += Format("\\u%04x", c);
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + '"';
}

const char* UnfitLine() {
  return "Unfit: the noise bits failed the health tests (41 equal bits in a row, or 793 alike in "
         "a 1024-bit window), as a muted, dead or stuck input does.";
}

void PrintTextReport(const ProbeFindings& findings, std::ostream& out) {
  out << "quorlix-probe: " << SourceText(findings) << "\n\n";
  PrintSamples(findings, out);
  PrintNoiseBits(findings, out);
  PrintMinEntropy(findings, out);
  PrintRunMeaning(findings, out);
  out << FitLine(findings) << std::endl;
}

void PrintJsonReport(const ProbeFindings& findings, std::ostream& out) {
  const ProbeCommand& command = findings.command;
  out << "{\"source\": ";
  switch (command.source) {
    case NoiseSource::kRecording:
      out << "\"recording\", \"seconds\": " << command.recordSeconds
          << ", \"device\": " << JsonString(findings.deviceName.c_str())
          << ", \"deviceDescription\": " << JsonString(findings.deviceDescription.c_str())
          << ", \"defaultDevice\": " << (findings.defaultDevice ? "true" : "false");
      break;
    case NoiseSource::kPcmFile:
      out << "\"pcm\", \"file\": " << JsonString(command.file);
      break;
    case NoiseSource::kBitsFile:
      out << "\"bits\", \"file\": " << JsonString(command.file);
      break;
  }
  out << ",\n \"channels\": [";
  if (findings.hasSamples) {
    for (std::size_t channel = 0; channel < 2; ++channel) {
      out << (channel == 0 ? "" : ",\n  ");
      PrintJsonChannel(findings.channels[channel], kChannelNames[channel], out);
    }
  }
  out << "],\n \"noiseBits\": " << findings.noiseBits
      << ", \"onesShare\": " << JsonNumber(findings.onesShare)
      << ", \"healthTests\": " << (findings.passedHealthTests ? "\"passed\"" : "\"failed\"")
      << ",\n \"bits\": " << findings.assessedBits
      << ", \"fewBits\": " << (findings.assessedBits < kAssessedBits ? "true" : "false")
      << ",\n \"minEntropy\": {";
  for (const EstimatorRow& row : kEstimators) {
    out << '"' << row.key << "\": " << JsonNumber(findings.estimates.*row.value) << ", ";
  }
  out << "\"assessed\": " << JsonNumber(findings.assessed.value) << ", \"assessedBy\": \""
      << findings.assessed.estimator << "\"},\n \"leastInputFilesForFullEntropy\": ";
  if (findings.leastInputFiles == 0) {
    out << "null";
  } else {
    out << findings.leastInputFiles << ", \"command\": \"quorlix path " << findings.leastInputFiles
        << " 1 " << SuggestedSeconds(command) << '"';
  }
  if (command.hasPlan) {
    out << ",\n \"plan\": {\"inputFiles\": " << command.planInputFiles
        << ", \"midFiles\": " << command.planMidFiles << ", \"seconds\": " << command.planSeconds
        << ", \"noiseBitsPerOutputBit\": " << findings.planDepth.noiseBitsPerOutputBit
        << ", \"cancelledCaptures\": " << findings.planDepth.cancelledCaptures
        << ", \"minEntropyPerOutputBit\": " << JsonNumber(findings.planEntropy.minEntropy)
        << ", \"shortfallLog2\": " << JsonNumber(findings.planEntropy.shortfallLog2)
        << ", \"fullEntropy\": " << (findings.planEntropy.full ? "true" : "false") << '}';
  }
  out << ",\n \"fit\": " << (findings.passedHealthTests ? "true" : "false")
      << ", \"verdict\": " << JsonString(FitLine(findings).c_str()) << "}" << std::endl;
}

}  // namespace quorlix
