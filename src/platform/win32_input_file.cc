#include <windows.h>

#include <string>

#include "platform/input_file.h"
#include "platform/interrupt.h"
#include "platform/win32_utf16.h"

namespace quorlix {
namespace {

constexpr unsigned kWaitMilliseconds = 100;

HANDLE HandleOf(const InputFile& file) { return reinterpret_cast<HANDLE>(file.handle); }

}  // namespace

InputRead OpenInputFile(const char* name, InputFile& file) {
  std::wstring wide;
  if (!Widen(name, wide)) return InputRead::kFailed;
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return InputRead::kFailed;
  file.handle = reinterpret_cast<std::intptr_t>(handle);
  file.pipe = GetFileType(handle) == FILE_TYPE_PIPE;
  return InputRead::kData;
}

InputRead ReadInputFile(InputFile& file, std::uint8_t* data, std::size_t size, std::size_t& got) {
  const DWORD wanted = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  for (;;) {
    if (InterruptRequested()) return InputRead::kInterrupted;
    // ReadFile on a pipe waits until the writer writes, and Ctrl-C does not
    // wake it; so a pipe is read only once it holds something.
    if (file.pipe) {
      DWORD available = 0;
      if (!PeekNamedPipe(HandleOf(file), nullptr, 0, nullptr, &available, nullptr)) {
        return GetLastError() == ERROR_BROKEN_PIPE ? InputRead::kEnd : InputRead::kFailed;
      }
      if (available == 0) {
        SleepMilliseconds(kWaitMilliseconds);
        continue;
      }
    }
    DWORD count = 0;
    if (!ReadFile(HandleOf(file), data, wanted, &count, nullptr)) {
      return GetLastError() == ERROR_BROKEN_PIPE ? InputRead::kEnd : InputRead::kFailed;
    }
    if (count == 0) return InputRead::kEnd;
    got = count;
    return InputRead::kData;
  }
}

void CloseInputFile(InputFile& file) {
  if (file.handle != -1) CloseHandle(HandleOf(file));
  file.handle = -1;
}

}  // namespace quorlix
