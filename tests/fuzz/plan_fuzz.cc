// Fuzzes command-line reading: the input is split at NUL bytes into an
// argument vector. Whatever it holds, reading either refuses it with one of
// the tool's texts or yields a plan whose sizes are consistent and in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/failure.h"
#include "driver/run_plan.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// An independent reading: strtoll clamps at 64 bits, then to 32.
std::int32_t ClampedDecimal(const std::string& text) {
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

bool IsDecimalStart(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) return false;
  if (text[i] == '+' || text[i] == '-') ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args = {"quorlix"};
  std::string current;
  for (std::size_t i = 0; i < size && args.size() < 8; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  args.push_back(current);

  for (std::size_t i = 1; i < args.size(); ++i) {
    if (IsDecimalStart(args[i])) Check(quorlix::ReadDecimal(args[i].c_str()) == ClampedDecimal(args[i]));
  }

  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    quorlix::RunPlan plan = quorlix::ReadRunPlan(static_cast<int>(argv.size()), argv.data());
    Check(plan.inputFiles >= 1 && plan.midFiles >= 1);
    Check(plan.seconds >= 1 && plan.seconds <= quorlix::kMaxSeconds);
    Check(plan.totalCaptures == plan.inputFiles * plan.midFiles);
    Check(plan.totalCaptures <= quorlix::kMaxCaptures);
    Check(plan.captureBytes == static_cast<std::uint32_t>(plan.seconds) * 176400u);
    Check(plan.outputSize == static_cast<std::uint32_t>(plan.seconds) * 11025u);
    Check(quorlix::EstimatedMinutes(plan) == std::int64_t{plan.totalCaptures} * plan.seconds / 60);
    if (argv.size() == 6) {
      Check(plan.listing != (plan.invalidArgument != nullptr));
    } else {
      Check(!plan.listing && plan.invalidArgument == nullptr);
    }
  } catch (const quorlix::FailureMessage& failure) {
    Check(failure.text != nullptr && failure.text[0] != '\0');
  }
  return 0;
}
