#include "capture/capture_devices.h"

#include <algorithm>
#include <cstdio>

#include "platform/environment.h"

namespace quorlix {
namespace {

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetters(char a, char b) { return FoldCase(a) == FoldCase(b); }

bool EqualFolded(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameLetters);
}

bool HoldsFolded(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(), SameLetters) != text.end();
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (FoldCase(c) >= 'a' && FoldCase(c) <= 'f');
}

}  // namespace

std::string RequestedCaptureDevice() {
  return ReadEnvironment("QUORLIX_DEVICE", kMaxDeviceNameBytes);
}

std::vector<const CaptureDeviceInfo*> MatchCaptureDevices(
      std::string_view name, const std::vector<CaptureDeviceInfo>& devices) {
  std::vector<const CaptureDeviceInfo*> matches;
  const std::string guid = CanonicalGuid(name);
  if (!guid.empty()) {
    for (const CaptureDeviceInfo& device : devices) {
      if (device.name == guid) matches.push_back(&device);
    }
    return matches;
  }
  if (name.empty()) return matches;
  // A description that is all of the name wins over those that merely hold
  // it: "Microphone" must stay choosable beside "Microphone Array".
  for (const CaptureDeviceInfo& device : devices) {
    if (EqualFolded(device.description, name)) matches.push_back(&device);
  }
  if (!matches.empty()) return matches;
  for (const CaptureDeviceInfo& device : devices) {
    if (HoldsFolded(device.description, name)) matches.push_back(&device);
  }
  return matches;
}

std::string CanonicalGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return {};
  std::string guid = "{";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : !IsHexDigit(text[i])) return {};
    const char c = text[i];
    guid += c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return guid + '}';
}

std::string DeviceListLine(const std::vector<const CaptureDeviceInfo*>& devices) {
  std::string line;
  for (const CaptureDeviceInfo* device : devices) {
    if (!line.empty()) line += ", ";
    line += '"' + device->description + "\" " + device->name;
  }
  return line;
}

std::string PrintableLine(std::string_view text, std::size_t maxBytes) {
  const bool cut = text.size() > maxBytes;
  if (cut) text = text.substr(0, maxBytes);
  std::string line;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      line += escaped;
    } else {
      line += c;
    }
  }
  return cut ? line + "..." : line;
}

}  // namespace quorlix
