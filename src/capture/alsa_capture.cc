// ALSA capture backend: records from ALSA's "default" capture device, which a
// user points at a card in ~/.asoundrc.
#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "capture/capture_watch.h"
#include "capture/sound_capture.h"
#include "driver/failure.h"

namespace quorlix {

struct CaptureObject {
  snd_pcm_t* pcm = nullptr;
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
// Half a second of ring buffer; left to itself, some devices reserve
// gigabytes.
constexpr snd_pcm_uframes_t kRingFrames = kRate / 2;
constexpr int kPollMilliseconds = 100;

// ALSA reports its own failures on the error stream; the tool's texts are
// the only thing a user should see there.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

CaptureObject* OpenDevice() {
  snd_lib_error_set_handler(IgnoreAlsaError);
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, 0) < 0) return nullptr;
  CaptureObject* object = new (std::nothrow) CaptureObject{pcm};
  if (object == nullptr) snd_pcm_close(pcm);
  return object;
}

// Exactly 16-bit stereo at 44100 Hz: a resampled stream is no longer the
// card's own noise, so no rate conversion is allowed.
bool SetHardwareParameters(snd_pcm_t* pcm, snd_pcm_uframes_t& ringFrames) {
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  unsigned rate = kRate;
  ringFrames = kRingFrames;
  return snd_pcm_hw_params_any(pcm, params) >= 0 &&
         snd_pcm_hw_params_set_rate_resample(pcm, params, 0) >= 0 &&
         snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
         snd_pcm_hw_params_set_format(pcm, params, SND_PCM_FORMAT_S16_LE) >= 0 &&
         snd_pcm_hw_params_set_channels(pcm, params, kChannels) >= 0 &&
         snd_pcm_hw_params_set_rate(pcm, params, rate, 0) >= 0 &&
         snd_pcm_hw_params_set_buffer_size_near(pcm, params, &ringFrames) >= 0 &&
         snd_pcm_hw_params(pcm, params) >= 0 && ringFrames > 0;
}

CaptureBuffer* CreateBuffer(CaptureObject* object, std::uint32_t) {
  snd_pcm_uframes_t ringFrames = 0;
  if (!SetHardwareParameters(object->pcm, ringFrames)) return nullptr;
  std::uint8_t* piece = new (std::nothrow) std::uint8_t[ringFrames * kFrameBytes];
  if (piece == nullptr) return nullptr;
  CaptureBuffer* buffer = new (std::nothrow) CaptureBuffer{piece, ringFrames};
  if (buffer == nullptr) delete[] piece;
  return buffer;
}

// Reads totalFrames, handing each piece on as it comes. Pieces are never
// larger than the ring buffer: some plugins answer a larger request with the
// full count and no data.
snd_pcm_uframes_t ReadFrames(snd_pcm_t* pcm, CaptureBuffer* buffer, snd_pcm_uframes_t totalFrames,
                             SampleSink sink, void* context) {
  snd_pcm_uframes_t done = 0;
  CaptureWatch watch;
  while (done < totalFrames) {
    CheckCapture(watch);
    int ready = snd_pcm_wait(pcm, kPollMilliseconds);
    if (ready == 0 || ready == -EINTR) continue;
    snd_pcm_sframes_t frames = ready < 0 ? ready : snd_pcm_avail_update(pcm);
    if (frames > 0) {
      snd_pcm_uframes_t piece = totalFrames - done;
      if (piece > buffer->ringFrames) piece = buffer->ringFrames;
      if (piece > static_cast<snd_pcm_uframes_t>(frames)) piece = static_cast<snd_pcm_uframes_t>(frames);
      // Some plugins report frames they never wrote (the file plugin past
      // the end of its file); those must read as silence, not as the last
      // piece again.
      std::memset(buffer->piece, 0, piece * kFrameBytes);
      frames = snd_pcm_readi(pcm, buffer->piece, piece);
    }
    if (frames > 0) {
      sink(context, buffer->piece, static_cast<std::size_t>(frames) * kFrameBytes);
      done += static_cast<snd_pcm_uframes_t>(frames);
      NoteCaptureProgress(watch);
    } else if (frames == -EINTR || frames == -EAGAIN || frames == 0) {
      continue;
    } else if (frames == -EPIPE || frames == -ESTRPIPE) {
      // An overrun loses samples but not the capture: the samples that
      // follow are just as fresh.
      if (snd_pcm_recover(pcm, static_cast<int>(frames), 1) < 0 || snd_pcm_start(pcm) < 0) {
        Fail("Capture failed");
      }
    } else {
      Fail("Capture failed");
    }
  }
  return done;
}

std::uint32_t Record(CaptureObject* object, CaptureBuffer* buffer, std::uint32_t captureBytes,
                     SampleSink sink, void* context) {
  if (snd_pcm_prepare(object->pcm) < 0 || snd_pcm_start(object->pcm) < 0) Fail("Capture failed");
  const snd_pcm_uframes_t frames =
      ReadFrames(object->pcm, buffer, captureBytes / kFrameBytes, sink, context);
  // Each capture starts from fresh samples, not from what queued up while
  // the last one was being stored.
  snd_pcm_drop(object->pcm);
  return static_cast<std::uint32_t>(frames * kFrameBytes);
}

void ReleaseBuffer(CaptureBuffer* buffer) {
  delete[] buffer->piece;
  delete buffer;
}

void ReleaseObject(CaptureObject* object) {
  snd_pcm_close(object->pcm);
  delete object;
}

constexpr CaptureBackend kAlsaBackend = {OpenDevice, CreateBuffer, Record, ReleaseBuffer,
                                         ReleaseObject};

}  // namespace

const CaptureBackend& PlatformCaptureBackend() { return kAlsaBackend; }

}  // namespace quorlix
