// A strict check of a JSON text as the most demanding readers hold it to:
// exactly one value and white space, well-formed UTF-8 in and out of
// escapes, no NaN or Infinity, no trailing commas; and, beyond the grammar,
// no negative zero, which some readers keep apart from zero.
#ifndef QUORLIX_TESTS_SUPPORT_STRICT_JSON_H_
#define QUORLIX_TESTS_SUPPORT_STRICT_JSON_H_

#include <string>

namespace quorlix::testing {

// Empty when the text passes, else what is wrong and where.
std::string StrictJsonFault(const std::string& text);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_STRICT_JSON_H_
