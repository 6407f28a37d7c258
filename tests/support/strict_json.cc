#include "support/strict_json.h"

#include <cstdint>

namespace quorlix::testing {
namespace {

struct Reader {
  const std::string& text;
  std::size_t at = 0;
  std::string fault;

  bool Fail(const char* what) {
    if (fault.empty()) fault = std::string(what) + " at byte " + std::to_string(at);
    return false;
  }
  int Peek() const { return at < text.size() ? static_cast<unsigned char>(text[at]) : -1; }
  void SkipSpace() {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') ++at;
  }
  bool Take(char c) {
    if (Peek() != static_cast<unsigned char>(c)) return false;
    ++at;
    return true;
  }
  bool Digits() {
    const std::size_t start = at;
    while (Peek() >= '0' && Peek() <= '9') ++at;
    return at > start;
  }

  bool Number() {
    const std::size_t start = at;
    Take('-');
    if (!Take('0') && !Digits()) return Fail("a number without digits");
    if (Take('.') && !Digits()) return Fail("no digits after the point");
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return Fail("no digits in the exponent");
    }
    const std::string number = text.substr(start, at - start);
    if (number[0] == '-' && number.find_first_of("123456789", 1) == std::string::npos) {
      return Fail("negative zero");
    }
    return true;
  }

  // One well-formed UTF-8 sequence of at least two bytes.
  bool Utf8Sequence() {
    const int lead = Peek();
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4) return Fail("a byte that does not start UTF-8");
    std::uint32_t code = static_cast<std::uint32_t>(lead) & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const int next = at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : -1;
      if ((next & 0xC0) != 0x80) return Fail("a cut UTF-8 sequence");
      code = (code << 6) | (static_cast<std::uint32_t>(next) & 0x3F);
    }
    const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return Fail("an overlong, surrogate or out-of-range UTF-8 sequence");
    }
    at += length;
    return true;
  }

  std::uint32_t Hex4() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const int c = Peek();
      const int digit = c >= '0' && c <= '9' ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) return 0x110000;
      value = value * 16 + static_cast<std::uint32_t>(digit);
      ++at;
    }
    return value;
  }

  bool String() {
    if (!Take('"')) return Fail("no string");
    for (;;) {
      const int c = Peek();
      if (c < 0) return Fail("an unended string");
      if (c == '"') {
        ++at;
        return true;
      }
      if (c < 0x20) return Fail("a control character in a string");
      if (c >= 0x80) {
        if (!Utf8Sequence()) return false;
        continue;
      }
      ++at;
      if (c != '\\') continue;
      if (Take('u')) {
        const std::uint32_t code = Hex4();
        if (code > 0xFFFF) return Fail("a bad \\u escape");
        // A surrogate escape must be a high one followed by a low one.
        if (code >= 0xDC00 && code <= 0xDFFF) return Fail("a lone low surrogate");
        if (code >= 0xD800 && code <= 0xDBFF &&
            !(Take('\\') && Take('u') && (Hex4() & 0xFC00) == 0xDC00)) {
          return Fail("a lone high surrogate");
        }
      } else if (!(Take('"') || Take('\\') || Take('/') || Take('b') || Take('f') || Take('n') ||
                   Take('r') || Take('t'))) {
        return Fail("a bad escape");
      }
    }
  }

  bool Value(int depth) {
    if (depth > 64) return Fail("nesting too deep");
    SkipSpace();
    bool good;
    if (Take('{')) {
      good = Members(depth, '}', true);
    } else if (Take('[')) {
      good = Members(depth, ']', false);
    } else if (Peek() == '"') {
      good = String();
    } else if (text.compare(at, 4, "true") == 0 || text.compare(at, 4, "null") == 0) {
      at += 4, good = true;
    } else if (text.compare(at, 5, "false") == 0) {
      at += 5, good = true;
    } else if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) {
      good = Number();
    } else {
      return Fail("no value");
    }
    SkipSpace();
    return good;
  }

  // The rest of an object or array after its opening bracket.
  bool Members(int depth, char close, bool named) {
    SkipSpace();
    if (Take(close)) return true;
    do {
      if (named) {
        SkipSpace();
        if (!String()) return false;
        SkipSpace();
        if (!Take(':')) return Fail("no colon");
      }
      if (!Value(depth + 1)) return false;
    } while (Take(','));
    return Take(close) || Fail("no closing bracket");
  }
};

}  // namespace

std::string StrictJsonFault(const std::string& text) {
  Reader reader{text, 0, {}};
  if (reader.Value(0) && reader.at != text.size()) reader.Fail("more after the value");
  return reader.fault;
}

}  // namespace quorlix::testing
