// What the ALSA backend and its device list share: ALSA's own messages,
// taken in instead of printed, so they can be given as the reason a device
// cannot be had; and whether ALSA knows a PCM name at all.
#ifndef QUORLIX_CAPTURE_ALSA_DEVICES_H_
#define QUORLIX_CAPTURE_ALSA_DEVICES_H_

#include <string>

namespace quorlix {

// From here on ALSA's messages are kept (a bounded amount) instead of
// printed, and those kept so far are dropped.
void StartKeepingAlsaMessages();

// ALSA's messages since StartKeepingAlsaMessages, one after another on one
// line, or, when it said nothing, the text of error (a negative errno).
std::string AlsaReason(int error);

// Whether ALSA's configuration defines the PCM name as snd_pcm_open looks
// it up (arguments and all). Returns the error that kept ALSA from reading
// its configuration, or 0.
int LookUpPcm(const char* name, bool& defined);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_ALSA_DEVICES_H_
