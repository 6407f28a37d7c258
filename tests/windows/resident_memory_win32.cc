#include <windows.h>
#include <psapi.h>

#include "support/resident_memory.h"

namespace quorlix::testing {

// The working set: the pages of the process that are in memory.
std::size_t ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
  return counters.WorkingSetSize;
}

}  // namespace quorlix::testing
