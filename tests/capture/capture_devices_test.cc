// Choosing a capture device from a list by name: a GUID in its accepted
// forms, a whole description before a part of one, letters without case,
// and the refusals of a name that fits several or none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/capture_devices.h"

namespace quorlix {
namespace {

const std::vector<CaptureDeviceInfo> kDevices = {
      {"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", "Microphone (USB Audio)", true},
      {"{00000000-0000-0000-0000-000000000002}", "Microphone", false},
      {"{00000000-0000-0000-0000-000000000003}", "Line In (Realtek HD Audio)", false},
};

std::string Chosen(const std::string& name) {
  std::string names;
  for (const CaptureDeviceInfo* device : MatchCaptureDevices(name, kDevices)) {
    names += (names.empty() ? "" : " ") + device->description;
  }
  return names;
}

TEST(CaptureDevices, NameChoosesByGuidWholeDescriptionOrPart) {
  const struct {
    const char* name;
    const char* chosen;
  } cases[] = {
        {"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", "Microphone (USB Audio)"},
        {"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0", "Microphone (USB Audio)"},
        // A GUID form chooses by GUID only, never by a description.
        {"{00000000-0000-0000-0000-000000000009}", ""},
        {"MICROPHONE", "Microphone"},  // whole, over the two that hold it
        {"usb", "Microphone (USB Audio)"},
        {"line in (REALTEK", "Line In (Realtek HD Audio)"},
        {"micro", "Microphone (USB Audio) Microphone"},
        {"Audio", "Microphone (USB Audio) Line In (Realtek HD Audio)"},
        {"Speakers", ""},
        {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Chosen(c.name), c.chosen);
  }
}

TEST(CaptureDevices, OnlyTheRegistryFormOfAGuidIsOne) {
  const struct {
    const char* text;
    const char* canonical;
  } cases[] = {
        {"{abcdef01-2345-6789-abcd-ef0123456789}", "{ABCDEF01-2345-6789-ABCD-EF0123456789}"},
        {"ABCDEF01-2345-6789-ABCD-EF0123456789", "{ABCDEF01-2345-6789-ABCD-EF0123456789}"},
        {"{ABCDEF01-2345-6789-ABCD-EF0123456789", ""},
        {"ABCDEF01-2345-6789-ABCD-EF012345678G", ""},
        {"ABCDEF0112345-6789-ABCD-EF0123456789", ""},
        {"{ABCDEF01-2345-6789-ABCD-EF01234567890}", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CanonicalGuid(c.text), c.canonical);
  }
}

}  // namespace
}  // namespace quorlix
