// DirectSound's capture devices as the backend opens them: a name turned
// into the one device it chooses, the default device's own name, and
// DirectSound's error codes as text.
#ifndef QUORLIX_CAPTURE_DIRECTSOUND_DEVICES_H_
#define QUORLIX_CAPTURE_DIRECTSOUND_DEVICES_H_

#include <windows.h>

#include <string>

#include "capture/sound_capture.h"

namespace quorlix {

// The device name chooses (capture_devices.h): true with device, opening.name
// and opening.description set; false with opening's outcome and reason set.
bool ChooseCaptureDevice(const std::string& name, GUID& device, DeviceOpening& opening);

// Sets opening.name and opening.description to the default capture device's,
// where DirectSound tells them.
void NameDefaultCaptureDevice(DeviceOpening& opening);

// "DirectSound error 0x88780078 (DSERR_NODRIVER)".
std::string DirectSoundErrorText(HRESULT error);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_DIRECTSOUND_DEVICES_H_
