// POSIX programs are given their arguments as bytes and print bytes: in a
// UTF-8 locale that is UTF-8 already.
#include "platform/program_text.h"

namespace quorlix {

void UseUtf8Text(int&, char**&) {}

}  // namespace quorlix
