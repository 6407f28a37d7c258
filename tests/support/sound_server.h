// A private sound server for one test, started through
// tests/support/sound_server.sh: PipeWire with its pulse service, or a real
// PulseAudio daemon. It has its own runtime folder, HOME and session bus,
// and runs at a chosen rate; its default capture device records synthetic
// noise or silence. Every process it starts is ended when the object goes,
// and dies with the test process should that be killed. A test skips when
// skipReason says that the server's programs are missing here, and fails on
// an error starting one that is installed.
#ifndef QUORLIX_TESTS_SUPPORT_SOUND_SERVER_H_
#define QUORLIX_TESTS_SUPPORT_SOUND_SERVER_H_

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorlix::testing {

enum class ServerKind { kPipeWire, kPulseAudio };
enum class ServerInput { kNoise, kSilence };

class SoundServer {
 public:
  SoundServer(ServerKind kind, int rate, ServerInput input);
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  // Which program is missing, if any, or why the server cannot serve the
  // tool here.
  const std::string& skipReason() const { return skipReason_; }
  // Empty when the server is up; otherwise why it did not start.
  const std::string& error() const { return error_; }
  // NAME=VALUE entries a client needs to reach the server.
  const std::vector<std::string>& clientEnvironment() const { return clientEnvironment_; }
  // The PipeWire daemon (-1 for PulseAudio), and the process that serves
  // the pulse protocol: pipewire-pulse or the PulseAudio daemon.
  pid_t pipewirePid() const { return pipewirePid_; }
  pid_t pulsePid() const { return pulsePid_; }
  // The server's events since it started, as `pactl subscribe` prints them,
  // complete up to the moment the server was ready.
  std::string events() const;

 private:
  TempDir dir_;
  pid_t script_ = -1;
  std::string skipReason_;
  std::string error_;
  std::vector<std::string> clientEnvironment_;
  pid_t pipewirePid_ = -1;
  pid_t pulsePid_ = -1;
  std::string eventsPath_;
};

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_SOUND_SERVER_H_
