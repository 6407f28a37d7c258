// What the live line of a run needs of the system: whether standard output
// is a terminal (a console on Windows), since anything redrawn in place is
// for a person and never for a script reading a pipe or a file, and a clock
// to pace the redrawing by. One implementation per platform.
#ifndef QUORLIX_PLATFORM_TERMINAL_H_
#define QUORLIX_PLATFORM_TERMINAL_H_

#include <cstdint>

namespace quorlix {

bool StandardOutputIsTerminal();

// Milliseconds from an arbitrary start; never goes back.
std::uint64_t MonotonicMilliseconds();

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_TERMINAL_H_
