#include "probe/probe_devices.h"

#include <string_view>

#include "capture/capture_devices.h"
#include "driver/console_text.h"
#include "driver/failure.h"
#include "probe/probe_report.h"

namespace quorlix {
namespace {

// The default is marked as git marks the current branch, so that the name
// itself stands alone on its line. A description of several lines (ALSA's
// often has two) keeps them, each indented below the name.
void PrintText(const CaptureDeviceList& list, std::ostream& out) {
  if (list.devices.empty()) out << "No capture device found.\n";
  for (const CaptureDeviceInfo& device : list.devices) {
    out << (device.isDefault ? "* " : "  ") << PrintableLine(device.name) << '\n';
    std::string_view rest = device.description;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      out << "      " << PrintableLine(rest.substr(0, end)) << '\n';
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
  }
  out.flush();
}

void PrintJson(const CaptureDeviceList& list, std::ostream& out) {
  out << "{\"devices\": [";
  const char* separator = "\n ";
  for (const CaptureDeviceInfo& device : list.devices) {
    out << separator << "{\"name\": " << JsonString(device.name.c_str())
        << ", \"description\": " << JsonString(device.description.c_str())
        << ", \"default\": " << (device.isDefault ? "true" : "false") << '}';
    separator = ",\n ";
  }
  out << "]}" << std::endl;
}

}  // namespace

void PrintCaptureDevices(bool json, std::ostream& out) {
  const CaptureDeviceList list = ListCaptureDevices();
  if (!list.listed) {
    Fail(ComposeMessage("Unable to list capture devices - ", PrintableLine(list.reason).c_str()));
  }
  if (json) {
    PrintJson(list, out);
  } else {
    PrintText(list, out);
  }
}

}  // namespace quorlix
