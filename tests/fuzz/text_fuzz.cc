// Fuzzes the console text helpers: grouped numbers must read back as the
// value with commas exactly every three digits, and composed messages must
// hold prefix and name whole, however long.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/console_text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t value = 0;
  std::memcpy(&value, data, size < sizeof value ? size : sizeof value);
  const std::string grouped = quorlix::FormatGrouped(value);
  std::string digits;
  for (std::size_t i = 0; i < grouped.size(); ++i) {
    const std::size_t fromEnd = grouped.size() - i;
    if (fromEnd % 4 == 0) {
      Check(grouped[i] == ',' && i > 0);
    } else {
      Check(grouped[i] >= '0' && grouped[i] <= '9');
      digits += grouped[i];
    }
  }
  Check(digits == std::to_string(value));

  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t split = text.find('\0');
  const std::string prefix = text.substr(0, split);
  const std::string name = split == std::string::npos ? "" : text.substr(split + 1);
  const std::string nameUpToNul = name.substr(0, name.find('\0'));
  Check(quorlix::ComposeMessage(prefix.c_str(), name.c_str()) == prefix + nameUpToNul);
  return 0;
}
