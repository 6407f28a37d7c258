#include "probe/probe_report.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture/capture_devices.h"
#include "driver/console_text.h"

namespace quorlix {
namespace {

struct EstimatorRow {
  const char* key;  // the field name, which AssessMinEntropy also gives
  const char* title;
  double MinEntropyEstimates::*value;
  const char* needs;  // what the bits lacked when it did not run
};

constexpr EstimatorRow kEstimators[] = {
      {"mostCommonValue", "Most Common Value", &MinEntropyEstimates::mostCommonValue, "2 bits"},
      {"collision", "Collision", &MinEntropyEstimates::collision, "two runs to a repeated bit"},
      {"markov", "Markov", &MinEntropyEstimates::markov, "2 bits"},
      {"compression", "Compression", &MinEntropyEstimates::compression, "6,006 bits"},
      {"tTuple", "t-Tuple", &MinEntropyEstimates::tTuple, "a bit value seen 35 times"},
      {"longestRepeatedSubstring", "Longest Repeated Substring",
       &MinEntropyEstimates::longestRepeatedSubstring,
       "a repeat longer than the strings seen 35 times"},
      {"multiMostCommonInWindow", "MultiMCW prediction",
       &MinEntropyEstimates::multiMostCommonInWindow, "4,096 bits"},
      {"lag", "Lag prediction", &MinEntropyEstimates::lag, "3 bits"},
      {"multiMarkovModelWithCounting", "MultiMMC prediction",
       &MinEntropyEstimates::multiMarkovModelWithCounting, "18 bits"},
      {"lz78y", "LZ78Y prediction", &MinEntropyEstimates::lz78y, "19 bits"},
};

constexpr const char* kChannelNames[2] = {"left", "right"};

const char* EstimatorTitle(const char* key) {
  for (const EstimatorRow& row : kEstimators) {
    if (std::strcmp(row.key, key) == 0) return row.title;
  }
  return key;
}

// An estimator that did not run reports a negative value.
bool Ran(double estimate) { return estimate >= 0; }

// printf into a string; every number of the report goes through here.
template <typename... Values>
std::string Format(const char* format, Values... values) {
  char text[128];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// Six decimals, and a value that rounds to zero from below shows as zero:
// -log2(1) is -0, and an estimate is never below it.
std::string Decimal(double value, int decimals = 6) {
  const std::string text = Format("%.*f", decimals, value);
  return text.find_first_not_of("-0.") == std::string::npos ? text.substr(text[0] == '-') : text;
}

std::string JsonNumber(double value, int decimals = 6) {
  return std::isfinite(value) ? Decimal(value, decimals) : "null";
}

std::string JsonEstimate(double value) { return Ran(value) ? JsonNumber(value) : "null"; }

// Appends the code point as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The code point of the well-formed UTF-8 sequence at text (no overlong
// form, no surrogate, nothing beyond U+10FFFF) and its length, or length 0.
std::size_t DecodeUtf8(const unsigned char* text, std::uint32_t& code) {
  const unsigned char lead = text[0];
  std::size_t length;
  std::uint32_t least;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    // A NUL ends the text, and fails this test before anything past it is read.
    if ((text[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (text[i] & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

bool IsUtf8(const char* text) {
  std::uint32_t code = 0;
  for (const auto* at = reinterpret_cast<const unsigned char*>(text); *at != '\0';) {
    const std::size_t length = DecodeUtf8(at, code);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

// The bytes of text in hexadecimal, two digits each.
std::string JsonBytes(const char* text) {
  std::string hex = "\"";
  for (const char* at = text; *at != '\0'; ++at) hex += Format("%02x", static_cast<unsigned char>(*at));
  return hex + '"';
}

// The output's min-entropy per bit, written so that a shortfall never reads
// as 1.
std::string OutputEntropyText(const OutputEntropy& entropy) {
  if (std::isinf(entropy.shortfallLog2)) return "1";
  if (entropy.minEntropy < 0.9999995) {
    return Decimal(entropy.minEntropy) + Format(" = 1 - 2^%.1f", entropy.shortfallLog2);
  }
  return Format("1 - 2^%.1f", entropy.shortfallLog2);
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

std::vector<const char*> Hints(const ChannelStats& stats) {
  std::vector<const char*> hints;
  if (stats.looksFiltered) hints.push_back("input looks filtered or resampled");
  if (stats.belowOneLsb) hints.push_back("noise level below 1 LSB");
  if (stats.clipping) hints.push_back("clipping");
  if (stats.manyZeros) hints.push_back("far more exact zeros than noise gives");
  if (stats.zeroRuns) hints.push_back("runs of exact zeros, as from padding or dropouts");
  if (stats.correlated) hints.push_back("neighbouring samples strongly correlated");
  return hints;
}

std::string RunCommand(const RunShape& shape) {
  return Format("quorlix path %d %d %d", shape.inputFiles, shape.midFiles, shape.seconds);
}

std::string PlanText(const ProbeCommand& command) {
  return Format("%d %d %d", command.planInputFiles, command.planMidFiles, command.planSeconds);
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
  row("DC offset (LSB)", Decimal(l.dcOffset, 3), Decimal(r.dcOffset, 3));
  row("noise level (LSB)", Decimal(l.noiseLevel, 3), Decimal(r.noiseLevel, 3));
  row("lowest sample", Format("%d", l.lowest), Format("%d", r.lowest));
  row("highest sample", Format("%d", l.highest), Format("%d", r.highest));
  row("at full scale (%)", Decimal(100 * l.fullScaleShare, 4), Decimal(100 * r.fullScaleShare, 4));
  row("exact zeros (%)", Decimal(100 * l.zeroShare, 4), Decimal(100 * r.zeroShare, 4));
  row("  in runs of 32 or more (%)", Decimal(100 * l.zeroRunShare, 4),
      Decimal(100 * r.zeroRunShare, 4));
  row("lag-1 autocorrelation", Decimal(l.lag1Autocorrelation, 4), Decimal(r.lag1Autocorrelation, 4));
  row("  of differences (white -0.5)", Decimal(l.differenceAutocorrelation, 4),
      Decimal(r.differenceAutocorrelation, 4));
  out << "   share of ones by bit, bit 0 first\n";
  for (std::size_t channel = 0; channel < 2; ++channel) {
    const ChannelStats& stats = findings.channels[channel];
    for (unsigned half = 0; half < 2; ++half) {
      out << Format("     %-6s", half == 0 ? kChannelNames[channel] : "");
      for (unsigned bit = 8 * half; bit < 8 * half + 8; ++bit) {
        out << ' ' << Decimal(stats.onesShareAtBit[bit], 3);
      }
      out << '\n';
    }
  }
  bool anyHint = false;
  for (std::size_t channel = 0; channel < 2; ++channel) {
    for (const char* hint : Hints(findings.channels[channel])) {
      out << "   " << kChannelNames[channel] << ": " << hint << '\n';
      anyHint = true;
    }
  }
  if (!anyHint) out << "   nothing unusual\n";
  out << '\n';
}

void PrintNoiseBits(const ProbeFindings& findings, std::ostream& out) {
  out << "2. Noise bits (bit 0 XOR bit 8 of every sample)\n";
  out << "   " << FormatGrouped(findings.noiseBits) << " bits, share of ones "
      << Decimal(findings.onesShare) << '\n';
  out << "   health tests (Repetition Count, Adaptive Proportion, as quorlix runs them): "
      << (findings.passedHealthTests ? "passed" : "FAILED") << "\n\n";
}

void PrintMinEntropy(const ProbeFindings& findings, std::ostream& out) {
  out << "3. Min-entropy per noise bit (NIST SP 800-90B 6.3, non-IID, binary)\n";
  out << "   of the first " << FormatGrouped(findings.assessedBits) << " bits\n";
  for (const EstimatorRow& row : kEstimators) {
    const double value = findings.estimates.*row.value;
    out << Format("   %-32s", row.title)
        << (Ran(value) ? Decimal(value) : std::string("not run: needs ") + row.needs) << '\n';
  }
  if (std::strcmp(findings.assessed.estimator, "none") == 0) {
    out << Format("   %-32s%s\n", "assessed (the least)", "none: no estimator ran");
  } else {
    out << Format("   %-32s", "assessed (the least)") << Decimal(findings.assessed.value)
        << "  set by " << EstimatorTitle(findings.assessed.estimator) << '\n';
  }
  if (findings.assessedBits < kAssessedBits) {
    out << "   Warning: only " << FormatGrouped(findings.assessedBits)
        << " bits; below 1,000,000 the estimate is less certain\n";
  }
  out << '\n';
}

void PrintRunMeaning(const ProbeFindings& findings, std::ostream& out) {
  const double h = findings.assessed.value;
  out << "4. What it means for a run\n";
  out << "   Assuming the noise bits are independent, each with the assessed " << Decimal(h)
      << " bit,\n"
         "   an output bit that is the XOR of D of them has min-entropy\n"
         "   -log2(1/2 + 2^(D-1) e^D), e = 2^-h - 1/2 (the piling-up lemma);\n"
         "   full entropy is at least 1 - 2^-32 per output bit.\n";
  if (findings.leastInputFiles == 0) {
    out << "   Full entropy would take more than 65,535 noise bits in every output bit:\n"
           "   too many to build a run of quorlix on.\n";
  } else {
    const RunShape& cheapest = findings.cheapest;
    out << "   Full entropy takes D >= " << findings.leastInputFiles
        << ". The fewest captures that give it, "
        << std::int64_t{cheapest.inputFiles} * cheapest.midFiles << " (D = "
        << cheapest.depth.noiseBitsPerOutputBit << "):\n"
        << "     " << RunCommand(cheapest) << '\n'
        << "   With midFiles 1 it takes inputFiles " << findings.leastInputFiles
        << " (D = inputFiles).\n";
  }
  out << "   seconds sets the output size (seconds x 11,025 bytes) and, with several mid\n"
         "   files, which captures cancel out: a capture held by a multiple of 2 mid files\n"
         "   cancels when seconds mod 8 is 0, of 4 when it is 4, of 8 when it is 2 or 6,\n"
         "   of 16 when it is odd.\n";
  const ProbeCommand& command = findings.command;
  if (command.hasPlan) {
    out << "   Plan " << PlanText(command) << ": D = " << findings.planDepth.noiseBitsPerOutputBit << ", "
        << findings.planDepth.cancelledCaptures << " of "
        << std::int64_t{command.planInputFiles} * command.planMidFiles
        << " captures cancel,\n   min-entropy per output bit "
        << OutputEntropyText(findings.planEntropy) << ": "
        << (findings.planEntropy.full ? "full entropy" : "NOT full entropy") << '\n';
  }
  out << '\n';
}

const char* ReasonKey(Verdict verdict) {
  switch (verdict) {
    case Verdict::kFailedHealthTests:
      return "\"healthTests\"";
    case Verdict::kTooFewBits:
      return "\"fewBits\"";
    case Verdict::kTooLittleEntropy:
      return "\"minEntropy\"";
    case Verdict::kPlanNotFullEntropy:
      return "\"plan\"";
    case Verdict::kFit:
      break;
  }
  return "null";
}

void PrintJsonChannel(const ChannelStats& stats, const char* name, std::ostream& out) {
  const auto flag = [](bool value) { return value ? "true" : "false"; };
  out << "{\"name\": \"" << name << "\", \"samples\": " << stats.samples
      << ", \"dcOffset\": " << JsonNumber(stats.dcOffset)
      << ", \"noiseLevel\": " << JsonNumber(stats.noiseLevel) << ", \"lowest\": " << stats.lowest
      << ", \"highest\": " << stats.highest
      << ", \"fullScaleShare\": " << JsonNumber(stats.fullScaleShare)
      << ", \"zeroShare\": " << JsonNumber(stats.zeroShare)
      << ", \"zeroRunShare\": " << JsonNumber(stats.zeroRunShare)
      << ", \"lag1Autocorrelation\": " << JsonNumber(stats.lag1Autocorrelation)
      << ", \"differenceAutocorrelation\": " << JsonNumber(stats.differenceAutocorrelation)
      << ", \"onesShareAtBit\": [";
  for (unsigned bit = 0; bit < 16; ++bit) {
    out << (bit == 0 ? "" : ", ") << JsonNumber(stats.onesShareAtBit[bit]);
  }
  out << "], \"looksFiltered\": " << flag(stats.looksFiltered)
      << ", \"belowOneLsb\": " << flag(stats.belowOneLsb) << ", \"clipping\": " << flag(stats.clipping)
      << ", \"manyZeros\": " << flag(stats.manyZeros) << ", \"zeroRuns\": " << flag(stats.zeroRuns)
      << ", \"correlated\": " << flag(stats.correlated) << '}';
}

// The fields of a run shape, without the braces around them.
void PrintJsonRunShape(std::int32_t inputFiles, std::int32_t midFiles, std::int32_t seconds,
                       const RunShapeDepth& depth, std::ostream& out) {
  out << "\"inputFiles\": " << inputFiles << ", \"midFiles\": " << midFiles
      << ", \"seconds\": " << seconds << ", \"captures\": " << std::int64_t{inputFiles} * midFiles
      << ", \"noiseBitsPerOutputBit\": " << depth.noiseBitsPerOutputBit
      << ", \"cancelledCaptures\": " << depth.cancelledCaptures;
}

}  // namespace

std::string JsonString(const char* text) {
  std::string quoted = "\"";
  for (const auto* at = reinterpret_cast<const unsigned char*>(text); *at != '\0';) {
    std::uint32_t code = 0;
    const std::size_t length = DecodeUtf8(at, code);
    if (length == 0) {
      AppendUtf8(quoted, 0xFFFD);
      ++at;
      continue;
    }
    at += length;
    if (code == '"' || code == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(code);
    } else if (code < 0x20) {
      quoted += Format("\\u%04x", code);
    } else {
      AppendUtf8(quoted, code);
    }
  }
  return quoted + '"';
}

std::string VerdictLine(const ProbeFindings& findings) {
  const ProbeCommand& command = findings.command;
  switch (findings.verdict) {
    case Verdict::kFailedHealthTests:
      return "Unfit: the noise bits failed the health tests (41 equal bits in a row, or 793 alike "
             "in a 1024-bit window), as a muted, dead or stuck input does.";
    case Verdict::kTooFewBits:
      return std::string("Unfit: only ") + FormatGrouped(findings.assessedBits) +
             " noise bits to assess; a sound assessment needs 1,000,000 (12 s of recording).";
    case Verdict::kTooLittleEntropy:
      return "Unfit: the noise bits carry too little min-entropy (" +
             Decimal(findings.assessed.value) +
             " bit each): full entropy would take more than 65,535 of them in every output bit.";
    case Verdict::kPlanNotFullEntropy:
      return "Unfit: the plan " + PlanText(command) + " falls short of full entropy (" +
             OutputEntropyText(findings.planEntropy) + " per output bit); " +
             RunCommand(findings.cheapest) + " reaches it.";
    case Verdict::kFit:
      break;
  }
  return "Fit: the noise bits passed the health tests, with " + Decimal(findings.assessed.value) +
         " bit of min-entropy each; " +
         (command.hasPlan ? "the plan " + PlanText(command) : RunCommand(findings.cheapest)) +
         " reaches full entropy.";
}

void PrintTextReport(const ProbeFindings& findings, std::ostream& out) {
  out << "quorlix-probe: " << SourceText(findings) << "\n\n";
  PrintSamples(findings, out);
  PrintNoiseBits(findings, out);
  PrintMinEntropy(findings, out);
  PrintRunMeaning(findings, out);
  out << VerdictLine(findings) << '\n';
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
    case NoiseSource::kBitsFile:
      out << (command.source == NoiseSource::kPcmFile ? "\"pcm\"" : "\"bits\"")
          << ", \"file\": " << JsonString(command.file);
      if (!IsUtf8(command.file)) out << ", \"fileHex\": " << JsonBytes(command.file);
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
    out << '"' << row.key << "\": " << JsonEstimate(findings.estimates.*row.value) << ", ";
  }
  const bool assessed = std::strcmp(findings.assessed.estimator, "none") != 0;
  out << "\"assessed\": " << (assessed ? JsonNumber(findings.assessed.value) : "null")
      << ", \"assessedBy\": "
      << (assessed ? '"' + std::string(findings.assessed.estimator) + '"' : "null")
      << "},\n \"leastInputFilesForFullEntropy\": ";
  if (findings.leastInputFiles == 0) {
    out << "null, \"cheapestRun\": null, \"command\": null";
  } else {
    const RunShape& cheapest = findings.cheapest;
    out << findings.leastInputFiles << ", \"cheapestRun\": {";
    PrintJsonRunShape(cheapest.inputFiles, cheapest.midFiles, cheapest.seconds, cheapest.depth, out);
    out << "}, \"command\": \"" << RunCommand(cheapest) << '"';
  }
  if (command.hasPlan) {
    out << ",\n \"plan\": {";
    PrintJsonRunShape(command.planInputFiles, command.planMidFiles, command.planSeconds,
                      findings.planDepth, out);
    out << ", \"cancellingMidFiles\": " << CancellingMidFiles(command.planSeconds)
        << ", \"minEntropyPerOutputBit\": " << JsonNumber(findings.planEntropy.minEntropy, 12)
        << ", \"shortfallLog2\": " << JsonNumber(findings.planEntropy.shortfallLog2)
        << ", \"fullEntropy\": " << (findings.planEntropy.full ? "true" : "false") << '}';
  }
  out << ",\n \"fit\": " << (findings.verdict == Verdict::kFit ? "true" : "false")
      << ", \"reason\": " << ReasonKey(findings.verdict)
      << ", \"verdict\": " << JsonString(VerdictLine(findings).c_str()) << "}\n";
}

}  // namespace quorlix
