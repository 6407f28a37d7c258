// The run driver: reads the command line, runs the phases in their fixed
// order, reports the one failure that ends a run and always tears down.
#ifndef QUORLIX_DRIVER_RUN_H_
#define QUORLIX_DRIVER_RUN_H_

#include <ostream>

namespace quorlix {

struct CaptureBackend;

// Returns the process exit status: 0 after a run that succeeded, 1 after any
// failure, the usage text included. terminal is standard output when that is
// a terminal, where the captures draw their live line; null otherwise.
int RunQuorlix(int argc, const char* const* argv, const CaptureBackend& backend,
               std::ostream* terminal);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_RUN_H_
