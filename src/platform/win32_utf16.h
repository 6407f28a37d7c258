// UTF-8 inside the tool, UTF-16 at every Windows call: the two conversions
// the Win32 platform files share.
#ifndef QUORLIX_PLATFORM_WIN32_UTF16_H_
#define QUORLIX_PLATFORM_WIN32_UTF16_H_

#include <windows.h>

#include <string>

namespace quorlix {

// False for text that is not UTF-8: it names nothing Windows could have.
inline bool Widen(const std::string& text, std::wstring& wide) {
  wide.clear();
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (units <= 0) return false;
  wide.resize(static_cast<std::size_t>(units));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), units) ==
         units;
}

// A lone surrogate, which no UTF-8 text can hold, becomes U+FFFD.
inline std::string Narrow(const wchar_t* wide, std::size_t units) {
  std::string text;
  if (units == 0) return text;
  const int count = static_cast<int>(units);
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return text;
  text.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, wide, count, text.data(), size, nullptr, nullptr);
  return text;
}

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_WIN32_UTF16_H_
