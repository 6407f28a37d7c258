// The limits of a quorlix run, shared with quorlix-probe, which judges run
// shapes and records captures by the same rules. They keep every size of a
// run within what it can really do: the capture buffer of seconds x 176400
// bytes must fit in 32 bits, and all raw files of a run share one folder,
// where the name service has 65535 names per prefix.
#ifndef QUORLIX_DRIVER_RUN_LIMITS_H_
#define QUORLIX_DRIVER_RUN_LIMITS_H_

#include <cstdint>

namespace quorlix {

inline constexpr std::int32_t kMaxSeconds = 24347;
inline constexpr std::int64_t kMaxCaptures = 65535;

inline constexpr std::uint32_t kCaptureBytesPerSecond = 44100 * 2 * 2;

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_RUN_LIMITS_H_
