// quorlix-probe --list: every capture device, with the exact name that
// chooses it in QUORLIX_DEVICE or --device, its description, and which one
// is the default; as text for a person or as JSON for a script.
#ifndef QUORLIX_PROBE_PROBE_DEVICES_H_
#define QUORLIX_PROBE_PROBE_DEVICES_H_

#include <ostream>

namespace quorlix {

// Throws "Unable to list capture devices - " and the sound system's reason,
// or "Interrupted".
void PrintCaptureDevices(bool json, std::ostream& out);

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_DEVICES_H_
