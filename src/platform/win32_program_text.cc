// Windows hands a program its arguments in the ANSI code page unless asked
// for them in UTF-16, and a console window shows bytes in its own code page.
// The arguments are read in UTF-16 here and converted to UTF-8; text for a
// console goes out through WriteConsoleW, while a pipe or a file receives
// the UTF-8 bytes themselves. The console's code page is never changed, so
// nothing is left changed for the shell when the tool ends.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "platform/program_text.h"
#include "platform/win32_utf16.h"

namespace quorlix {
namespace {

// Bytes written before a sequence is complete wait for the rest, so that a
// character split between two writes is shown whole.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {
    setp(bytes_, bytes_ + sizeof bytes_);
  }

 protected:
  int_type overflow(int_type c) override {
    if (!WriteOut()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }

  int sync() override { return WriteOut() ? 0 : -1; }

 private:
  // How many of the held bytes end in a complete sequence.
  std::size_t WholeSequences(std::size_t held) const {
    for (std::size_t back = 1; back <= 3 && back <= held; ++back) {
      const unsigned char byte = static_cast<unsigned char>(bytes_[held - back]);
      if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      return length > back ? held - back : held;
    }
    return held;
  }

  bool WriteOut() {
    const std::size_t held = static_cast<std::size_t>(pptr() - pbase());
    const std::size_t whole = WholeSequences(held);
    bool written = true;
    if (whole > 0) {
      const int count = static_cast<int>(whole);
      const int units = MultiByteToWideChar(CP_UTF8, 0, bytes_, count, text_, count);
      for (int done = 0; written && done < units;) {
        DWORD wrote = 0;
        written = WriteConsoleW(console_, text_ + done, static_cast<DWORD>(units - done), &wrote,
                                nullptr) != FALSE &&
                  wrote > 0;
        done += static_cast<int>(wrote);
      }
    }
    std::memmove(bytes_, bytes_ + whole, held - whole);
    setp(bytes_, bytes_ + sizeof bytes_);
    pbump(static_cast<int>(held - whole));
    return written;
  }

  HANDLE console_;
  char bytes_[4096];
  wchar_t text_[4096];  // UTF-8 never takes fewer bytes than UTF-16 units
};

void ShowOnConsole(DWORD which, std::ostream& stream) {
  HANDLE handle = GetStdHandle(which);
  DWORD mode;
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode)) return;
  stream.flush();
  // Lives as long as the process: the streams are flushed once more after
  // every static object is gone.
  stream.rdbuf(new ConsoleBuffer(handle));
}

}  // namespace

void UseUtf8Text(int& argc, char**& argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    auto* texts = new std::vector<std::string>();
    auto* pointers = new std::vector<char*>();
    for (int i = 0; i < count; ++i) texts->push_back(Narrow(wide[i], std::wcslen(wide[i])));
    for (std::string& text : *texts) pointers->push_back(text.data());
    pointers->push_back(nullptr);
    LocalFree(wide);
    argc = count;
    argv = pointers->data();
  }
  ShowOnConsole(STD_OUTPUT_HANDLE, std::cout);
  ShowOnConsole(STD_ERROR_HANDLE, std::cerr);
}

}  // namespace quorlix
