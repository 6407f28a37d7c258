#include "support/sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "support/tool_runner.h"

namespace quorlix::testing {
namespace {

constexpr const char* kRigPrograms[] = {"dbus-daemon", "pacat", "pactl", "setpriv", "stdbuf"};
constexpr const char* kPipeWirePrograms[] = {"pipewire", "wireplumber", "pipewire-pulse"};
// Where scripts/install-deps unpacks Debian's pulseaudio package.
constexpr char kPulseAudioDaemon[] = "/usr/local/lib/quorlix/pulseaudio/usr/bin/pulseaudio";

std::string MissingProgram(ServerKind kind) {
  std::vector<std::string> programs;
  for (const char* program : kRigPrograms) programs.push_back(std::string("/usr/bin/") + program);
  if (kind == ServerKind::kPipeWire) {
    for (const char* program : kPipeWirePrograms) programs.push_back(std::string("/usr/bin/") + program);
  } else {
    programs.push_back(kPulseAudioDaemon);
  }
  for (const std::string& program : programs) {
    if (access(program.c_str(), X_OK) != 0) return program;
  }
  return "";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::map<std::string, std::string> ReadReadyFile(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

std::string Tail(const std::string& path) {
  const std::string text = ReadText(path);
  return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

}  // namespace

SoundServer::SoundServer(ServerKind kind, int rate, ServerInput input) {
  if (QUORLIX_EMULATED) {
    // Under an emulator the host's server plugins are not the tool's, and
    // emulation stretches every time bound; the native build runs these.
    skipReason_ = "the tool runs under an emulator";
    return;
  }
  if (const std::string missing = MissingProgram(kind); !missing.empty()) {
    skipReason_ = missing + " is not installed (scripts/install-deps), so this server cannot run here";
    return;
  }
  const std::string serverDir = dir_.path + "/server";
  const std::string log = dir_.path + "/server.log";
  std::filesystem::create_directory(serverDir);
  std::vector<std::string> argv = {"/bin/bash", SourceDir() + "/tests/support/sound_server.sh"};
  if (kind == ServerKind::kPulseAudio) argv.push_back("--pulseaudio");
  argv.push_back(serverDir);
  argv.push_back(std::to_string(rate));
  if (input == ServerInput::kNoise) argv.push_back(QUORLIX_NOISE_BINARY);
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  const pid_t parent = getpid();
  script_ = fork();
  if (script_ == 0) {
    // The script ends its own processes on SIGTERM: a test process that dies
    // takes the server with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    dup2(devNull, STDIN_FILENO);
    dup2(logFd, STDOUT_FILENO);
    dup2(logFd, STDERR_FILENO);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  if (script_ < 0) {
    error_ = "fork failed";
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  const std::string ready = serverDir + "/ready";
  while (!std::filesystem::exists(ready)) {
    int status = 0;
    if (waitpid(script_, &status, WNOHANG) == script_) {
      script_ = -1;
      error_ = "the sound server did not start:\n" + Tail(log);
      return;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      error_ = "the sound server took more than 30 s to start:\n" + Tail(log);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::map<std::string, std::string> values = ReadReadyFile(ready);
  for (const char* name : {"XDG_RUNTIME_DIR", "PULSE_SERVER", "PULSE_CLIENTCONFIG"}) {
    clientEnvironment_.push_back(std::string(name) + "=" + values[name]);
  }
  if (!values["pipewire_pid"].empty()) pipewirePid_ = std::stoi(values["pipewire_pid"]);
  pulsePid_ = std::stoi(values["pulse_pid"]);
  eventsPath_ = values["events"];
}

std::string SoundServer::events() const { return ReadText(eventsPath_); }

SoundServer::~SoundServer() {
  if (script_ <= 0) return;
  kill(script_, SIGTERM);
  int status = 0;
  while (waitpid(script_, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace quorlix::testing
