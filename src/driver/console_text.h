// The two text routines behind the tool's console output: failure texts that
// name a file or path, and byte counts with thousands separators. Each returns
// a pointer into a process-wide buffer of its own that stays valid until the
// next call of the same routine; the tool has one thread.
#ifndef QUORLIX_DRIVER_CONSOLE_TEXT_H_
#define QUORLIX_DRIVER_CONSOLE_TEXT_H_

#include <cstdint>

namespace quorlix {

// prefix immediately followed by name. The buffer grows to fit, so a long
// path is reported whole, never cut.
const char* ComposeMessage(const char* prefix, const char* name);

// value in decimal with a comma between groups of three digits: 1234567
// gives "1,234,567".
const char* FormatGrouped(std::uint64_t value);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_CONSOLE_TEXT_H_
