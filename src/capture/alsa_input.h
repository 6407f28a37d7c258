// What an ALSA capture device records from, told once it is open: the card
// and device ALSA reports (also through a plugin that shares a card, such as
// dsnoop), the address of the sound server the open connected to, or the
// sample file it reads. It is learned from what the open itself took, so a
// name such as "default" means whatever it means under this process's
// configuration and HOME. Two openings that tell the same deliver the same
// samples.
#ifndef QUORLIX_CAPTURE_ALSA_INPUT_H_
#define QUORLIX_CAPTURE_ALSA_INPUT_H_

#include <alsa/asoundlib.h>

#include <map>
#include <string>

namespace quorlix {

// Each open descriptor of the process and what it leads to.
using OpenDescriptors = std::map<int, std::string>;
OpenDescriptors ListOpenDescriptors();

// pcm's input, from the card ALSA reports and the descriptors opened since
// before was listed; empty when the device tells nothing (a generated or
// non-repeating source, such as /dev/urandom through the file plugin).
std::string AlsaInput(snd_pcm_t* pcm, const OpenDescriptors& before);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_ALSA_INPUT_H_
