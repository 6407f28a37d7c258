#include <cstdlib>
#include <cstring>

#include "platform/environment.h"

namespace quorlix {

std::string ReadEnvironment(const char* name, std::size_t maxBytes) {
  const char* value = std::getenv(name);
  if (value == nullptr) return {};
  return std::string(value, strnlen(value, maxBytes + 1));
}

}  // namespace quorlix
