#include "driver/console_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
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
  char* text = grouped;
  std::snprintf(text, sizeof grouped, "%llu", static_cast<unsigned long long>(value));
  std::size_t length = std::strlen(text);
  std::reverse(text, text + length);
  // Walking the reversed digits, a comma goes in front of every fourth one,
  // which then counts as the first of the next group.
  int counter = 0;
  for (std::size_t i = 0; text[i] != '\0'; ++i) {
    if (++counter == 4) {
      std::memmove(text + i + 1, text + i, length - i + 1);
      text[i] = ',';
      ++length;
      counter = 0;
    }
  }
  std::reverse(text, text + length);
  return grouped;
}

}  // namespace quorlix
