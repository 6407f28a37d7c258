// ALSA capture backend: records from the PCM the user names, or from ALSA's
// "default" capture device, which a user points at a card in ~/.asoundrc,
// or which a desktop's sound server (PipeWire, PulseAudio) takes through its
// ALSA plugin. The device is opened without blocking and read through the
// tool's own poll with its own timeout, so the interrupt and stall checks run
// on time whatever a plugin does; every call that a frozen server could hold
// is a bounded call.
#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "capture/alsa_devices.h"
#include "capture/alsa_input.h"
#include "capture/bounded_call.h"
#include "capture/capture_watch.h"
#include "capture/leading_silence.h"
#include "capture/sound_capture.h"
#include "driver/failure.h"
#include "platform/interrupt.h"

namespace quorlix {

struct CaptureObject {
  // Null once a bounded call on the device was abandoned: the call thread
  // closes it when the library lets go.
  snd_pcm_t* pcm = nullptr;
  std::shared_ptr<CallThread> callThread;
  // The device's first start is the one a server fills with start-up silence.
  bool startedBefore = false;
};

// Room for one ring's worth of frames: the most a single read brings.
struct CaptureBuffer {
  std::uint8_t* piece = nullptr;
  snd_pcm_uframes_t ringFrames = 0;
};

namespace {

constexpr unsigned kRate = 44100;
constexpr unsigned kChannels = 2;
constexpr std::uint32_t kFrameBytes = 4;
// Half a second of ring buffer in periods of 50 ms. Left to itself a device
// picks its smallest period (5 ms), and PipeWire's plugin then drops runs of
// frames; some devices would reserve gigabytes of ring. A server hands a
// stream its samples a period at a time, so each capture ends up to a period
// after its last sample: a period of a quarter ring cost PulseAudio 0.15 s
// a capture.
constexpr snd_pcm_uframes_t kRingFrames = kRate / 2;
constexpr snd_pcm_uframes_t kPeriodFrames = kRingFrames / 10;
constexpr int kPollMilliseconds = 100;
// Between two captures the stream runs on into the ring while the first
// one's bits are tested and written: for a minute's capture that took 10 ms
// on a loaded machine, and it grows with the capture. Captures up to a minute
// long leave the ring ample room; a longer one starts its stream afresh, at
// a cost that is small beside its length.
constexpr std::uint32_t kLongestRunOnCaptureBytes = 60 * kRate * kFrameBytes;
// A descriptor that reports ready with nothing to read must not turn the
// wait into a spin.
constexpr unsigned kIdleMilliseconds = 5;
constexpr std::chrono::milliseconds kDeviceCallLimit = kCaptureStallLimit;
// A release comes after the run's last text; a server that holds it longer
// only keeps the process from ending.
constexpr std::chrono::milliseconds kReleaseLimit{500};

// Runs operation on the device as a bounded call and returns its result.
// A call that outlives the stall limit or an interrupt gives the device up.
template <typename Operation>
int CallOnDevice(CaptureObject* object, Operation operation, const char* timeoutText) {
  snd_pcm_t* pcm = object->pcm;
  auto result = std::make_shared<int>(0);
  const CallOutcome outcome =
      CallWithBound(*object->callThread, [pcm, result, operation] { *result = operation(pcm); },
                    [pcm] { snd_pcm_close(pcm); }, kDeviceCallLimit, true);
  if (outcome == CallOutcome::kFinished) return *result;
  object->pcm = nullptr;
  Fail(outcome == CallOutcome::kInterrupted ? "Interrupted" : timeoutText);
}

// What the open on the call thread found.
struct OpenResult {
  snd_pcm_t* pcm = nullptr;
  bool defined = true;
  int error = 0;
  std::string input;
};

// ALSA's own name "default" is what an empty name means.
DeviceOpening OpenDevice(const std::string& name) {
  const std::string pcmName = name.empty() ? "default" : name;
  DeviceOpening opening;
  StartKeepingAlsaMessages();
  std::shared_ptr<CallThread> callThread = StartCallThread();
  auto result = std::make_shared<OpenResult>();
  // Without blocking, a card that another program holds is refused at once
  // instead of being waited for. A name ALSA has no definition for is told
  // apart from a device that is defined but cannot be opened, as ALSA's
  // "Unknown PCM" does.
  const CallOutcome outcome = CallWithBound(
      *callThread,
      [result, name, pcmName] {
        if (!name.empty()) {
          result->error = LookUpPcm(name.c_str(), result->defined);
          if (result->error < 0 || !result->defined) return;
        }
        const OpenDescriptors before = ListOpenDescriptors();
        result->error = snd_pcm_open(&result->pcm, pcmName.c_str(), SND_PCM_STREAM_CAPTURE,
                                     SND_PCM_NONBLOCK);
        if (result->error < 0) {
          result->pcm = nullptr;
          return;
        }
        result->input = AlsaInput(result->pcm, before);
      },
      [result] {
        if (result->pcm != nullptr) snd_pcm_close(result->pcm);
      },
      kDeviceCallLimit, true);
  if (outcome != CallOutcome::kFinished || result->pcm == nullptr) {
    StopCallThread(*callThread);
    if (outcome == CallOutcome::kInterrupted) Fail("Interrupted");
    if (outcome == CallOutcome::kTimedOut) {
      opening.reason = "ALSA gave no answer in 10 s";
    } else if (result->error == 0 && !result->defined) {
      opening.outcome = DeviceOutcome::kNoSuchDevice;
    } else {
      opening.reason = AlsaReason(result->error);
    }
    return opening;
  }
  opening.object = new (std::nothrow) CaptureObject{result->pcm, callThread};
  if (opening.object == nullptr) {
    snd_pcm_close(result->pcm);
    StopCallThread(*callThread);
    opening.reason = AlsaReason(-ENOMEM);
    return opening;
  }
  opening.outcome = DeviceOutcome::kOpened;
  opening.name = pcmName;
  opening.input = result->input;
  return opening;
}

// Exactly 16-bit stereo at 44100 Hz: a resampled stream is no longer the
// card's own noise, so no rate conversion is allowed. The period is a wish;
// a device that cannot meet it gets its nearest.
int SetHardwareParameters(snd_pcm_t* pcm, snd_pcm_uframes_t& ringFrames) {
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  unsigned rate = kRate;
  snd_pcm_uframes_t ring = kRingFrames;
  snd_pcm_uframes_t period = kPeriodFrames;
  const bool set = snd_pcm_hw_params_any(pcm, params) >= 0 &&
                   snd_pcm_hw_params_set_rate_resample(pcm, params, 0) >= 0 &&
                   snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
                   snd_pcm_hw_params_set_format(pcm, params, SND_PCM_FORMAT_S16_LE) >= 0 &&
                   snd_pcm_hw_params_set_channels(pcm, params, kChannels) >= 0 &&
                   snd_pcm_hw_params_set_rate(pcm, params, rate, 0) >= 0 &&
                   snd_pcm_hw_params_set_buffer_size_near(pcm, params, &ring) >= 0;
  if (!set) return -EINVAL;
  snd_pcm_hw_params_set_period_size_near(pcm, params, &period, nullptr);
  if (snd_pcm_hw_params(pcm, params) < 0) return -EINVAL;
  if (snd_pcm_hw_params_get_buffer_size(params, &ring) < 0 || ring == 0) return -EINVAL;
  ringFrames = ring;
  return 0;
}

CaptureBuffer* CreateBuffer(CaptureObject* object, std::uint32_t) {
  auto ringFrames = std::make_shared<snd_pcm_uframes_t>(0);
  const int set = CallOnDevice(
      object, [ringFrames](snd_pcm_t* pcm) { return SetHardwareParameters(pcm, *ringFrames); },
      "Unable to create buffer");
  if (set < 0) return nullptr;
  std::uint8_t* piece = new (std::nothrow) std::uint8_t[*ringFrames * kFrameBytes];
  if (piece == nullptr) return nullptr;
  CaptureBuffer* buffer = new (std::nothrow) CaptureBuffer{piece, *ringFrames};
  if (buffer == nullptr) delete[] piece;
  return buffer;
}

// The hardware set-up leaves the device prepared, so its first start is
// only a start; a later one drops what queued up before it.
void StartStream(CaptureObject* object, bool afresh) {
  const int started = CallOnDevice(
      object,
      [afresh](snd_pcm_t* pcm) {
        if (afresh) {
          snd_pcm_drop(pcm);
          const int prepared = snd_pcm_prepare(pcm);
          if (prepared < 0) return prepared;
        }
        return snd_pcm_start(pcm);
      },
      "Capture timed out");
  if (started < 0) Fail("Capture failed");
}

// An overrun loses samples but not the capture: the samples that follow are
// just as fresh. After a suspend the recovery may leave the stream running
// already, and starting it again would fail.
void RecoverStream(CaptureObject* object, int error) {
  const int recovered = CallOnDevice(
      object,
      [error](snd_pcm_t* pcm) {
        const int result = snd_pcm_recover(pcm, error, 1);
        if (result < 0 || snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING) return result;
        return snd_pcm_start(pcm);
      },
      "Capture timed out");
  if (recovered < 0) Fail("Capture failed");
}

std::vector<pollfd> PollDescriptors(snd_pcm_t* pcm) {
  const int count = snd_pcm_poll_descriptors_count(pcm);
  if (count <= 0) Fail("Capture failed");
  std::vector<pollfd> descriptors(static_cast<std::size_t>(count));
  if (snd_pcm_poll_descriptors(pcm, descriptors.data(), static_cast<unsigned>(count)) != count) {
    Fail("Capture failed");
  }
  return descriptors;
}

// Waits at most one poll period for the device to have frames.
void WaitForFrames(snd_pcm_t* pcm, std::vector<pollfd>& descriptors) {
  const int ready = poll(descriptors.data(), descriptors.size(), kPollMilliseconds);
  if (ready <= 0) return;
  unsigned short events = 0;
  if (snd_pcm_poll_descriptors_revents(pcm, descriptors.data(),
                                       static_cast<unsigned>(descriptors.size()), &events) < 0 ||
      events == 0) {
    SleepMilliseconds(kIdleMilliseconds);
  }
}

// Reads totalFrames, handing each piece on as it comes. Pieces are never
// larger than the ring buffer: some plugins answer a larger request with the
// full count and no data.
snd_pcm_uframes_t ReadFrames(CaptureObject* object, CaptureBuffer* buffer,
                             snd_pcm_uframes_t totalFrames, LeadingSilence& silence,
                             SampleSink sink, void* context) {
  std::vector<pollfd> descriptors = PollDescriptors(object->pcm);
  snd_pcm_uframes_t done = 0;
  CaptureWatch watch;
  while (done < totalFrames) {
    CheckCapture(watch);
    snd_pcm_t* pcm = object->pcm;
    snd_pcm_sframes_t frames = snd_pcm_avail_update(pcm);
    if (frames > 0) {
      const snd_pcm_uframes_t piece = std::min(
          {totalFrames - done, buffer->ringFrames, static_cast<snd_pcm_uframes_t>(frames)});
      // Some plugins report frames they never wrote (the file plugin past
      // the end of its file); those must read as silence, not as the last
      // piece again.
      std::memset(buffer->piece, 0, piece * kFrameBytes);
      frames = snd_pcm_readi(pcm, buffer->piece, piece);
    }
    if (frames > 0) {
      done += PassAfterLeadingSilence(silence, buffer->piece, static_cast<std::size_t>(frames),
                                      sink, context);
      NoteCaptureProgress(watch);
    } else if (frames == 0 || frames == -EAGAIN || frames == -EINTR) {
      WaitForFrames(pcm, descriptors);
    } else if (frames == -EPIPE || frames == -ESTRPIPE) {
      RecoverStream(object, static_cast<int>(frames));
    } else {
      Fail("Capture failed");
    }
  }
  return done;
}

// The stream runs on from one capture to the next, so that each capture
// takes up the samples where the one before it stopped: a stream started
// afresh costs a server a period or more before its first samples, and
// through pipewire-pulse the start itself takes a tenth of a second. A stream
// that overran or stopped all the same is recovered in the read.
std::uint32_t Record(CaptureObject* object, CaptureBuffer* buffer, std::uint32_t captureBytes,
                     SampleSink sink, void* context) {
  if (object->pcm == nullptr) Fail("Capture failed");
  LeadingSilence silence;
  silence.over = object->startedBefore;
  if (!object->startedBefore || captureBytes > kLongestRunOnCaptureBytes) {
    StartStream(object, object->startedBefore);
    object->startedBefore = true;
  }
  const snd_pcm_uframes_t frames =
      ReadFrames(object, buffer, captureBytes / kFrameBytes, silence, sink, context);
  return static_cast<std::uint32_t>(std::min<snd_pcm_uframes_t>(frames, captureBytes / kFrameBytes) *
                                    kFrameBytes);
}

void ReleaseBuffer(CaptureBuffer* buffer) {
  delete[] buffer->piece;
  delete buffer;
}

void ReleaseObject(CaptureObject* object) {
  if (object->pcm != nullptr) {
    snd_pcm_t* pcm = object->pcm;
    CallWithBound(*object->callThread, [pcm] { snd_pcm_close(pcm); }, nullptr, kReleaseLimit,
                  false);
  }
  StopCallThread(*object->callThread);
  delete object;
}

constexpr CaptureBackend kAlsaBackend = {OpenDevice, CreateBuffer, Record, ReleaseBuffer,
                                         ReleaseObject};

}  // namespace

const CaptureBackend& PlatformCaptureBackend() { return kAlsaBackend; }

}  // namespace quorlix
