// Reading an environment variable whose value may be anything and of any
// length: only a bounded part of it is ever copied. On Windows the value is
// read in its UTF-16 form and handed over as UTF-8, whatever the code page.
#ifndef QUORLIX_PLATFORM_ENVIRONMENT_H_
#define QUORLIX_PLATFORM_ENVIRONMENT_H_

#include <cstddef>
#include <string>

namespace quorlix {

// The value of the variable name, empty when it is unset. A value longer
// than maxBytes comes back cut to maxBytes + 1 bytes, so the caller sees it
// is too long.
std::string ReadEnvironment(const char* name, std::size_t maxBytes);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_ENVIRONMENT_H_
