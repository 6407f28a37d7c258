// The run plan: the command line, checked, and the sizes that follow from it.
// Reading it is the first thing a run does and the only place that decides
// whether a command line is acceptable.
#ifndef QUORLIX_DRIVER_RUN_PLAN_H_
#define QUORLIX_DRIVER_RUN_PLAN_H_

#include <cstdint>

#include "driver/run_limits.h"

namespace quorlix {

struct RunPlan {
  const char* path = nullptr;
  std::int32_t inputFiles = 0;
  std::int32_t midFiles = 0;
  std::int32_t seconds = 0;
  bool listing = false;
  std::uint32_t captureBytes = 0;
  std::uint32_t outputSize = 0;
  std::int32_t totalCaptures = 0;
  // A fifth argument other than /LIST, to be warned about; null when none.
  const char* invalidArgument = nullptr;
};

// Reads a decimal number the way the C runtime's atol does: leading white
// space, an optional sign, digits up to the first other character, 0 when
// there are none. Values beyond 32 bits are clamped, as on Windows.
std::int32_t ReadDecimal(const char* text);

// argv holds the program name and argc - 1 arguments. Throws the usage text,
// the path failure or the first count that is out of range.
RunPlan ReadRunPlan(int argc, const char* const* argv);

// Whole minutes the captures take, for the plan line.
std::int64_t EstimatedMinutes(const RunPlan& plan);

// The bytes a run's files take in path at their most: every raw file, every
// mid file and the output exist at once.
std::uint64_t RunFileBytes(const RunPlan& plan);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_RUN_PLAN_H_
