// The capture devices a user can choose from by name. Each platform lists
// its own (ALSA's device hints, DirectSound's enumeration); choosing one of
// a list by a part of its description or by its GUID, and showing a name
// that came from outside, are the same everywhere.
#ifndef QUORLIX_CAPTURE_CAPTURE_DEVICES_H_
#define QUORLIX_CAPTURE_CAPTURE_DEVICES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorlix {

// The longest device name taken; a longer one is no device's.
inline constexpr std::size_t kMaxDeviceNameBytes = 1000;

// The device QUORLIX_DEVICE asks for: empty when it is unset or empty, at
// most kMaxDeviceNameBytes + 1 bytes, so that a longer one is seen.
std::string RequestedCaptureDevice();

struct CaptureDeviceInfo {
  std::string name;  // exactly what QUORLIX_DEVICE takes to choose it
  std::string description;
  bool isDefault = false;
};

struct CaptureDeviceList {
  // False when the sound system could not list its devices; reason says why.
  bool listed = false;
  std::vector<CaptureDeviceInfo> devices;
  std::string reason;
};

// Every device that can capture, the default one marked. Throws only
// "Interrupted".
CaptureDeviceList ListCaptureDevices();

// The devices that name chooses: the one whose GUID it is (with or without
// braces, any case), else the one whose whole description it is, else every
// one whose description holds it. Letters compare without case (ASCII only;
// a caller with other letters folds both sides first).
std::vector<const CaptureDeviceInfo*> MatchCaptureDevices(
      std::string_view name, const std::vector<CaptureDeviceInfo>& devices);

// A GUID in its registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in
// capitals, from that form in any case with or without braces; empty for
// anything else.
std::string CanonicalGuid(std::string_view text);

// The devices as one line for a failure text: each description with its
// name, separated by commas.
std::string DeviceListLine(const std::vector<const CaptureDeviceInfo*>& devices);

// text made safe to print on one line: control characters as \xNN, and
// anything past maxBytes cut off and marked with "...".
std::string PrintableLine(std::string_view text, std::size_t maxBytes = kMaxDeviceNameBytes);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_CAPTURE_DEVICES_H_
