// A console, not merely a character device: the NUL device is one too, and
// _isatty says yes to it.
#include <windows.h>

#include "platform/terminal.h"

namespace quorlix {

bool StandardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

std::uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

}  // namespace quorlix
