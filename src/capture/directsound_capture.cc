// DirectSound capture backend: records from the capture device the user
// names, or Windows' default one, into one non-looping capture buffer that
// holds exactly one capture, and hands that buffer over as one piece. The
// same build also has to run under Wine, whose DirectSound departs from
// Windows in a few places; each accommodation is noted where it is made and
// leaves what Windows sees in the normal case unchanged.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <new>
#include <string>

#include "capture/capture_watch.h"
#include "capture/directsound_devices.h"
#include "capture/sound_capture.h"
#include "driver/failure.h"
#include "platform/interrupt.h"

namespace quorlix {

struct CaptureObject {
  IDirectSoundCapture8* capture = nullptr;
};

struct CaptureBuffer {
  IDirectSoundCaptureBuffer* buffer = nullptr;
  DWORD size = 0;
};

namespace {

constexpr unsigned kPollMilliseconds = 100;

// An empty name opens the default device as DirectSound itself picks it.
DeviceOpening OpenDevice(const std::string& name) {
  DeviceOpening opening;
  GUID device = {};
  if (!name.empty() && !ChooseCaptureDevice(name, device, opening)) return opening;
  IDirectSoundCapture8* capture = nullptr;
  const HRESULT created =
        DirectSoundCaptureCreate8(name.empty() ? nullptr : &device, &capture, nullptr);
  if (FAILED(created)) {
    opening.reason = DirectSoundErrorText(created);
    return opening;
  }
  opening.object = new (std::nothrow) CaptureObject{capture};
  if (opening.object == nullptr) {
    capture->Release();
    opening.reason = DirectSoundErrorText(DSERR_OUTOFMEMORY);
    return opening;
  }
  if (name.empty()) NameDefaultCaptureDevice(opening);
  opening.outcome = DeviceOutcome::kOpened;
  return opening;
}

CaptureBuffer* CreateBuffer(CaptureObject* object, std::uint32_t captureBytes) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.nAvgBytesPerSec = 176400;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  format.cbSize = 0;

  // The size is that of this build's own structure, the form with the two
  // capture-effect members: 28 bytes on 32-bit Windows, 40 on 64-bit, where
  // CreateCaptureBuffer refuses 28.
  DSCBUFFERDESC description = {};
  description.dwSize = sizeof(DSCBUFFERDESC);
  description.dwFlags = 0;
  description.dwBufferBytes = captureBytes;
  description.dwReserved = 0;
  description.lpwfxFormat = &format;
  description.dwFXCount = 0;
  description.lpDSCFXDesc = nullptr;

  IDirectSoundCaptureBuffer* captureBuffer = nullptr;
  if (FAILED(object->capture->CreateCaptureBuffer(&description, &captureBuffer, nullptr))) {
    return nullptr;
  }
  CaptureBuffer* buffer = new (std::nothrow) CaptureBuffer{};
  if (buffer == nullptr) {
    captureBuffer->Release();
    return nullptr;
  }
  buffer->buffer = captureBuffer;
  buffer->size = captureBytes;
  return buffer;
}

// Follows the read position (the end of the data that is safe to read) from
// poll to poll, counting the bytes written since the capture started.
struct CaptureProgress {
  bool started = false;
  DWORD lastPosition = 0;
  DWORD written = 0;
};

// Returns true once the read position has gone once round the whole buffer.
// This is only needed under Wine, where a non-looping buffer whose size is a
// multiple of 1764 bytes (always so here: seconds x 176400) never stops by
// itself: its write position wraps to the start instead. Polls come every
// 100 ms and the buffer holds at least one second, so a wrap between two
// polls is never mistaken for standing still.
bool NoteReadPosition(CaptureProgress& progress, DWORD position, DWORD size, CaptureWatch& watch) {
  if (!progress.started) {
    progress.started = true;
    progress.lastPosition = position;
    return false;
  }
  if (position == progress.lastPosition) return false;
  NoteCaptureProgress(watch);
  progress.written += (position + size - progress.lastPosition) % size;
  progress.lastPosition = position;
  return progress.written >= size;
}

void CaptureWholeBuffer(IDirectSoundCaptureBuffer* capture, DWORD size) {
  if (FAILED(capture->Start(0))) Fail("Capture failed");

  // A stalled device shows no movement of the read position; the watch ends
  // the wait ten seconds after the last movement.
  CaptureWatch watch;
  CaptureProgress progress;
  for (;;) {
    DWORD status = 0;
    if (FAILED(capture->GetStatus(&status))) Fail("GetStatus failed");
    if ((status & DSCBSTATUS_CAPTURING) == 0) break;
    DWORD capturePosition = 0;
    DWORD readPosition = 0;
    if (FAILED(capture->GetCurrentPosition(&capturePosition, &readPosition))) {
      Fail("GetStatus failed");
    }
    if (NoteReadPosition(progress, readPosition, size, watch)) break;
    CheckCapture(watch);
    SleepMilliseconds(kPollMilliseconds);
  }

  // On Windows the buffer has stopped by itself and Stop changes nothing.
  // Under Wine it may still be running (see NoteReadPosition), and a buffer
  // that did stop by itself refuses the next Start unless Stop was called.
  if (FAILED(capture->Stop())) Fail("Capture failed");
}

// The whole buffer goes to the sink as one piece. The length is passed as
// well as the entire-buffer flag: Windows ignores the length when the flag
// is given, while Wine ignores the flag and would hand out zero bytes for a
// length of zero.
std::uint32_t Record(CaptureObject*, CaptureBuffer* buffer, std::uint32_t, SampleSink sink,
                     void* context) {
  IDirectSoundCaptureBuffer* capture = buffer->buffer;
  CaptureWholeBuffer(capture, buffer->size);
  void* firstPart = nullptr;
  DWORD firstLength = 0;
  void* secondPart = nullptr;
  DWORD secondLength = 0;
  if (FAILED(capture->Lock(0, buffer->size, &firstPart, &firstLength, &secondPart, &secondLength,
                           DSCBLOCK_ENTIREBUFFER))) {
    Fail("Unable to lock buffer");
  }
  sink(context, static_cast<const std::uint8_t*>(firstPart), firstLength);
  if (FAILED(capture->Unlock(firstPart, firstLength, secondPart, secondLength))) {
    Fail("Unable to unlock buffer");
  }
  return static_cast<std::uint32_t>(firstLength);
}

void ReleaseBuffer(CaptureBuffer* buffer) {
  buffer->buffer->Release();
  delete buffer;
}

void ReleaseObject(CaptureObject* object) {
  object->capture->Release();
  delete object;
}

constexpr CaptureBackend kDirectSoundBackend = {OpenDevice, CreateBuffer, Record, ReleaseBuffer,
                                                ReleaseObject};

}  // namespace

const CaptureBackend& PlatformCaptureBackend() { return kDirectSoundBackend; }

}  // namespace quorlix
