#include "driver/console_text.h"

#include <cstdio>
#include <string>

namespace quorlix {

const char* ComposeMessage(const char* prefix, const char* name) {
  // One buffer for every message, as large as any file name's message needs;
  // it grows only for an unusually long path.
  static std::string message = [] {
    std::string buffer;
    buffer.reserve(512);
    return buffer;
  }();
  message.assign(prefix);
  message.append(name);
  return message.c_str();
}

const char* FormatGrouped(std::uint64_t value) {
  // 20 digits and 6 commas at most; the rest is headroom.
  static char grouped[128];
  char digits[32];
  const int written = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(value));
  const std::size_t count = written > 0 ? static_cast<std::size_t>(written) : 0;
  // A comma goes in front of every digit that starts a group of three
  // counted from the right, except the first digit.
  std::size_t length = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % 3 == 0) grouped[length++] = ',';
    grouped[length++] = digits[i];
  }
  grouped[length] = '\0';
  return grouped;
}

}  // namespace quorlix
