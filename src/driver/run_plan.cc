#include "driver/run_plan.h"

#include <cctype>
#include <cstdint>

#include "driver/console_text.h"
#include "driver/failure.h"
#include "platform/files.h"

namespace quorlix {
namespace {

bool IsListFlag(const char* text) {
  const char* flag = "/LIST";
  for (; *flag != '\0'; ++flag, ++text) {
    if (std::toupper(static_cast<unsigned char>(*text)) != *flag) return false;
  }
  return *text == '\0';
}

}  // namespace

std::int32_t ReadDecimal(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  // Stop accumulating once past the 32-bit range; the clamp below decides.
  constexpr std::int64_t kBeyond = std::int64_t{INT32_MAX} + 2;
  std::int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (magnitude < kBeyond) magnitude = magnitude * 10 + (*text - '0');
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

RunPlan ReadRunPlan(int argc, const char* const* argv) {
  if (argc != 5 && argc != 6) Fail("Usage:\n\n\tQUORLIX path inputFiles midFiles seconds [/LIST]");
  RunPlan plan;
  plan.path = argv[1];
  if (!PathExists(plan.path)) Fail(ComposeMessage("Invalid path - ", plan.path));

  plan.inputFiles = ReadDecimal(argv[2]);
  if (plan.inputFiles < 1) Fail("InputFiles must be >= 1");
  plan.midFiles = ReadDecimal(argv[3]);
  if (plan.midFiles < 1) Fail("MidFiles must be >= 1");
  plan.seconds = ReadDecimal(argv[4]);
  if (plan.seconds < 1) Fail("Seconds must be >= 1");
  if (plan.seconds > kMaxSeconds) Fail("Seconds must be <= 24347");
  std::int64_t captures = std::int64_t{plan.inputFiles} * plan.midFiles;
  if (captures > kMaxCaptures) Fail("InputFiles x MidFiles must be <= 65535");

  plan.captureBytes = static_cast<std::uint32_t>(plan.seconds) * kCaptureBytesPerSecond;
  plan.outputSize = plan.captureBytes >> 4;
  plan.totalCaptures = static_cast<std::int32_t>(captures);

  if (argc == 6) {
    if (IsListFlag(argv[5])) {
      plan.listing = true;
    } else {
      plan.invalidArgument = argv[5];
    }
  }
  return plan;
}

std::int64_t EstimatedMinutes(const RunPlan& plan) {
  std::int64_t captureSeconds = std::int64_t{plan.totalCaptures} * plan.seconds;
  return static_cast<std::int64_t>(static_cast<double>(captureSeconds) * 0.016666666666666666);
}

std::uint64_t RunFileBytes(const RunPlan& plan) {
  const auto files = static_cast<std::uint64_t>(plan.totalCaptures) +
                     static_cast<std::uint64_t>(plan.midFiles) + 1;
  return files * plan.outputSize;
}

}  // namespace quorlix
