// DirectSound capture backend: records from the capture device the user
// names, or Windows' default one, into a looping capture buffer of two
// seconds, started by the first capture and running until it is released.
// Each capture reads the samples written after it began through the ring
// reader, so memory stays that of the ring whatever the capture's length.
// Every call that may wait on the audio service (Windows' audio engine, or
// under Wine a sound server that can freeze) is a bounded call: open,
// buffer, start and release. The buffer's own position, lock and unlock
// calls answer from the process and are made directly.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "capture/bounded_call.h"
#include "capture/capture_watch.h"
#include "capture/directsound_devices.h"
#include "capture/ring_reader.h"
#include "capture/sound_capture.h"
#include "driver/failure.h"
#include "platform/interrupt.h"

namespace quorlix {

struct CaptureObject {
  IDirectSoundCapture8* capture = nullptr;
  std::shared_ptr<CallThread> callThread;
};

struct CaptureBuffer {
  IDirectSoundCaptureBuffer* buffer = nullptr;
  std::shared_ptr<CallThread> callThread;
  bool started = false;
};

namespace {

constexpr std::chrono::milliseconds kServiceCallLimit = kCaptureStallLimit;
// A release comes after the run's last text; a service that holds it longer
// only keeps the process from ending.
constexpr std::chrono::milliseconds kReleaseLimit{500};

// Runs call on the thread as a bounded call and returns its result; a call
// that outlives the limit or an interrupt is left to the thread.
template <typename Call>
HRESULT CallService(CallThread& thread, Call call, const char* timeoutText) {
  auto result = std::make_shared<HRESULT>(E_FAIL);
  const CallOutcome outcome =
      CallWithBound(thread, [result, call] { *result = call(); }, nullptr, kServiceCallLimit, true);
  if (outcome == CallOutcome::kFinished) return *result;
  Fail(outcome == CallOutcome::kInterrupted ? "Interrupted" : timeoutText);
}

// An empty name opens the default device as DirectSound itself picks it.
// Runs on the call thread.
void OpenOnCallThread(const std::string& name, DeviceOpening& opening,
                      IDirectSoundCapture8*& made) {
  GUID device = {};
  if (!name.empty() && !ChooseCaptureDevice(name, device, opening)) return;
  const HRESULT created =
      DirectSoundCaptureCreate8(name.empty() ? nullptr : &device, &made, nullptr);
  if (FAILED(created)) {
    made = nullptr;
    opening.reason = DirectSoundErrorText(created);
    return;
  }
  if (name.empty()) NameDefaultCaptureDevice(opening);
  // A device is its GUID, whichever way it was chosen.
  opening.input = "DirectSound " + (opening.name.empty() ? std::string("default") : opening.name);
  opening.outcome = DeviceOutcome::kOpened;
}

DeviceOpening OpenDevice(const std::string& name) {
  std::shared_ptr<CallThread> callThread = StartCallThread();
  auto opened = std::make_shared<DeviceOpening>();
  auto made = std::make_shared<IDirectSoundCapture8*>(nullptr);
  const CallOutcome outcome = CallWithBound(
      *callThread, [name, opened, made] { OpenOnCallThread(name, *opened, *made); },
      [made] {
        if (*made != nullptr) (*made)->Release();
      },
      kServiceCallLimit, true);
  DeviceOpening opening;
  if (outcome != CallOutcome::kFinished || *made == nullptr) {
    StopCallThread(*callThread);
    if (outcome == CallOutcome::kInterrupted) Fail("Interrupted");
    if (outcome == CallOutcome::kTimedOut) {
      opening.reason = "DirectSound gave no answer in 10 s";
    } else {
      opening = *opened;
    }
    return opening;
  }
  opening = *opened;
  opening.object = new (std::nothrow) CaptureObject{*made, callThread};
  if (opening.object == nullptr) {
    (*made)->Release();
    StopCallThread(*callThread);
    opening.outcome = DeviceOutcome::kCannotOpen;
    opening.reason = DirectSoundErrorText(DSERR_OUTOFMEMORY);
  }
  return opening;
}

// What CreateCaptureBuffer is given and makes; shared with the call thread,
// which may outlive the caller's frame.
struct BufferRequest {
  WAVEFORMATEX format = {};
  DSCBUFFERDESC description = {};
  IDirectSoundCaptureBuffer* made = nullptr;
};

CaptureBuffer* CreateBuffer(CaptureObject* object, std::uint32_t) {
  auto request = std::make_shared<BufferRequest>();
  WAVEFORMATEX& format = request->format;
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
  DSCBUFFERDESC& description = request->description;
  description.dwSize = sizeof(DSCBUFFERDESC);
  description.dwFlags = 0;
  description.dwBufferBytes = kCaptureRingBytes;
  description.dwReserved = 0;
  description.lpwfxFormat = &format;
  description.dwFXCount = 0;
  description.lpDSCFXDesc = nullptr;

  IDirectSoundCapture8* capture = object->capture;
  const CallOutcome outcome = CallWithBound(
      *object->callThread,
      [capture, request] {
        if (FAILED(capture->CreateCaptureBuffer(&request->description, &request->made, nullptr))) {
          request->made = nullptr;
        }
      },
      [request] {
        if (request->made != nullptr) request->made->Release();
      },
      kServiceCallLimit, true);
  if (outcome == CallOutcome::kInterrupted) Fail("Interrupted");
  if (outcome != CallOutcome::kFinished || request->made == nullptr) return nullptr;
  CaptureBuffer* buffer = new (std::nothrow) CaptureBuffer{request->made, object->callThread};
  if (buffer == nullptr) request->made->Release();
  return buffer;
}

// The end of the samples that are safe to read. A buffer that has stopped
// by itself will not start writing again.
std::uint32_t ReadPosition(void* device) {
  IDirectSoundCaptureBuffer* capture = static_cast<CaptureBuffer*>(device)->buffer;
  DWORD status = 0;
  if (FAILED(capture->GetStatus(&status))) Fail("GetStatus failed");
  if ((status & DSCBSTATUS_CAPTURING) == 0) Fail("Capture failed");
  DWORD readPosition = 0;
  if (FAILED(capture->GetCurrentPosition(nullptr, &readPosition))) Fail("GetStatus failed");
  return readPosition;
}

void PassRegion(void* device, std::uint32_t offset, std::uint32_t length, SampleSink sink,
                void* context) {
  IDirectSoundCaptureBuffer* capture = static_cast<CaptureBuffer*>(device)->buffer;
  void* firstPart = nullptr;
  DWORD firstLength = 0;
  void* secondPart = nullptr;
  DWORD secondLength = 0;
  if (FAILED(capture->Lock(offset, length, &firstPart, &firstLength, &secondPart, &secondLength,
                           0))) {
    Fail("Unable to lock buffer");
  }
  const DWORD firstUsed = std::min<DWORD>(firstLength, length);
  if (firstPart != nullptr) sink(context, static_cast<const std::uint8_t*>(firstPart), firstUsed);
  if (secondPart != nullptr) {
    sink(context, static_cast<const std::uint8_t*>(secondPart),
         std::min<DWORD>(secondLength, length - firstUsed));
  }
  if (FAILED(capture->Unlock(firstPart, firstLength, secondPart, secondLength))) {
    Fail("Unable to unlock buffer");
  }
}

std::chrono::steady_clock::time_point Now(void*) { return std::chrono::steady_clock::now(); }

void Pause(void*, unsigned milliseconds) { SleepMilliseconds(milliseconds); }

std::uint32_t Record(CaptureObject*, CaptureBuffer* buffer, std::uint32_t captureBytes,
                     SampleSink sink, void* context) {
  if (!buffer->started) {
    IDirectSoundCaptureBuffer* capture = buffer->buffer;
    const HRESULT started = CallService(
        *buffer->callThread, [capture] { return capture->Start(DSCBSTART_LOOPING); },
        "Capture timed out");
    if (FAILED(started)) Fail("Capture failed");
    buffer->started = true;
  }
  const CaptureRing ring = {buffer, kCaptureRingBytes, ReadPosition, PassRegion, Now, Pause};
  return ReadCaptureRing(ring, captureBytes, sink, context);
}

void ReleaseBuffer(CaptureBuffer* buffer) {
  IDirectSoundCaptureBuffer* capture = buffer->buffer;
  CallWithBound(*buffer->callThread, [capture] { capture->Release(); }, nullptr, kReleaseLimit,
                false);
  delete buffer;
}

void ReleaseObject(CaptureObject* object) {
  IDirectSoundCapture8* capture = object->capture;
  CallWithBound(*object->callThread, [capture] { capture->Release(); }, nullptr, kReleaseLimit,
                false);
  StopCallThread(*object->callThread);
  delete object;
}

constexpr CaptureBackend kDirectSoundBackend = {OpenDevice, CreateBuffer, Record, ReleaseBuffer,
                                                ReleaseObject};

}  // namespace

const CaptureBackend& PlatformCaptureBackend() { return kDirectSoundBackend; }

}  // namespace quorlix
