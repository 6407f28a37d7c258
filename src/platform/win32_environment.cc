#include <windows.h>

#include <vector>

#include "platform/environment.h"

namespace quorlix {

std::string ReadEnvironment(const char* name, std::size_t maxBytes) {
  std::wstring wideName;
  for (const char* c = name; *c != '\0'; ++c) wideName += static_cast<wchar_t>(*c);
  // Windows holds no variable longer than 32767 units, so one buffer of that
  // size takes any value whole.
  std::vector<wchar_t> value(32768);
  const DWORD units = GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                              static_cast<DWORD>(value.size()));
  if (units == 0 || units >= value.size()) return {};
  const int length = static_cast<int>(units);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, value.data(), length, nullptr, 0, nullptr,
                                        nullptr);
  if (bytes <= 0) return {};
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, value.data(), length, text.data(), bytes, nullptr, nullptr);
  if (text.size() > maxBytes + 1) text.resize(maxBytes + 1);
  return text;
}

}  // namespace quorlix
