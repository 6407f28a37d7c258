// ALSA's capture devices: the device hints, as `arecord -L` lists them,
// of every PCM that can capture, with "default" first.
#include "capture/alsa_devices.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "capture/bounded_call.h"
#include "capture/capture_devices.h"
#include "capture/capture_watch.h"
#include "driver/failure.h"

namespace quorlix {
namespace {

// ALSA reports from whichever thread made the call.
std::mutex messagesMutex;
std::string messages;
// Enough for a parser's complaint and what follows from it; a stream's
// repeated complaints during a long run stop here.
constexpr std::size_t kMaxMessageBytes = 2000;

void KeepAlsaMessage(const char*, int, const char*, int error, const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  if (error != 0) message += std::string(": ") + snd_strerror(error);
  std::lock_guard<std::mutex> lock(messagesMutex);
  if (messages.size() >= kMaxMessageBytes) return;
  if (!messages.empty()) messages += "; ";
  messages += message;
}

struct FreeHint {
  void operator()(char* text) const { std::free(text); }
};
using HintText = std::unique_ptr<char, FreeHint>;

std::string HintOrEmpty(void* hint, const char* id) {
  HintText text(snd_device_name_get_hint(hint, id));
  return text ? std::string(text.get()) : std::string();
}

// Runs on the call thread: a hint for a plugin's device may ask its server.
int ReadCaptureHints(std::vector<CaptureDeviceInfo>& devices) {
  void** hints = nullptr;
  const int read = snd_device_name_hint(-1, "pcm", &hints);
  if (read < 0) return read;
  for (void** hint = hints; *hint != nullptr; ++hint) {
    const std::string direction = HintOrEmpty(*hint, "IOID");
    const std::string name = HintOrEmpty(*hint, "NAME");
    if (name.empty() || (!direction.empty() && direction != "Input")) continue;
    devices.push_back({name, HintOrEmpty(*hint, "DESC"), name == "default"});
  }
  snd_device_name_free_hint(hints);
  // "default" always exists and always comes first, with or without a hint.
  std::size_t at = 0;
  while (at < devices.size() && !devices[at].isDefault) ++at;
  if (at == devices.size()) {
    devices.insert(devices.begin(), {"default", "", true});
  } else {
    std::rotate(devices.begin(), devices.begin() + static_cast<std::ptrdiff_t>(at),
                devices.begin() + static_cast<std::ptrdiff_t>(at) + 1);
  }
  return 0;
}

}  // namespace

void StartKeepingAlsaMessages() {
  snd_lib_error_set_handler(KeepAlsaMessage);
  std::lock_guard<std::mutex> lock(messagesMutex);
  messages.clear();
}

std::string AlsaReason(int error) {
  std::lock_guard<std::mutex> lock(messagesMutex);
  std::string reason = std::move(messages);
  messages.clear();
  if (reason.empty() && error < 0) reason = snd_strerror(error);
  return reason;
}

int LookUpPcm(const char* name, bool& defined) {
  defined = false;
  snd_config_t* top = nullptr;
  const int loaded = snd_config_update_ref(&top);
  if (loaded < 0) return loaded;
  snd_config_t* definition = nullptr;
  defined = snd_config_search_definition(top, "pcm", name, &definition) >= 0;
  if (defined) snd_config_delete(definition);
  snd_config_unref(top);
  return 0;
}

CaptureDeviceList ListCaptureDevices() {
  StartKeepingAlsaMessages();
  std::shared_ptr<CallThread> callThread = StartCallThread();
  auto devices = std::make_shared<std::vector<CaptureDeviceInfo>>();
  auto read = std::make_shared<int>(0);
  const CallOutcome outcome = CallWithBound(
        *callThread, [devices, read] { *read = ReadCaptureHints(*devices); }, nullptr,
        kCaptureStallLimit, true);
  StopCallThread(*callThread);
  if (outcome == CallOutcome::kInterrupted) Fail("Interrupted");
  CaptureDeviceList list;
  if (outcome == CallOutcome::kTimedOut) {
    list.reason = "ALSA gave no answer in 10 s";
  } else if (*read < 0) {
    list.reason = AlsaReason(*read);
  } else {
    list.listed = true;
    list.devices = std::move(*devices);
  }
  return list;
}

}  // namespace quorlix
