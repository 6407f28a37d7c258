// DirectSound's capture devices, as DirectSoundCaptureEnumerateW lists them.
// Its first entry, "Primary Sound Capture Driver", has no GUID of its own:
// it stands for whichever device is the default, which is listed again
// under its own GUID and marked instead.
#include "capture/directsound_devices.h"

#include <mmsystem.h>
#include <dsound.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "capture/bounded_call.h"
#include "capture/capture_devices.h"
#include "capture/capture_watch.h"
#include "driver/failure.h"

namespace quorlix {
namespace {

std::string Utf8(const wchar_t* text, int units) {
  if (units == 0) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, units, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

std::wstring Wide(const std::string& utf8) {
  const int length = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), units);
  return wide;
}

// Capitals in every script, so that the portable matching, which folds
// only ASCII, finds "MICRÓFONO" in "Micrófono".
std::string FoldedUtf8(const std::string& utf8) {
  std::wstring wide = Wide(utf8);
  if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Utf8(wide.data(), static_cast<int>(wide.size()));
}

std::string GuidText(const GUID& guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

struct Enumerated {
  std::vector<CaptureDeviceInfo> devices;
  std::vector<GUID> guids;
};

BOOL CALLBACK AddDevice(GUID* guid, const wchar_t* description, const wchar_t*, void* context) {
  if (guid == nullptr) return TRUE;
  auto& enumerated = *static_cast<Enumerated*>(context);
  enumerated.devices.push_back(
        {GuidText(*guid), description == nullptr ? "" : Utf8(description, lstrlenW(description)),
         false});
  enumerated.guids.push_back(*guid);
  return TRUE;
}

HRESULT Enumerate(Enumerated& enumerated) {
  const HRESULT listed = DirectSoundCaptureEnumerateW(AddDevice, &enumerated);
  if (FAILED(listed)) return listed;
  GUID defaultDevice;
  if (SUCCEEDED(GetDeviceID(&DSDEVID_DefaultCapture, &defaultDevice))) {
    for (std::size_t i = 0; i < enumerated.guids.size(); ++i) {
      enumerated.devices[i].isDefault = IsEqualGUID(enumerated.guids[i], defaultDevice) != 0;
    }
  }
  return listed;
}

}  // namespace

bool ChooseCaptureDevice(const std::string& name, GUID& device, DeviceOpening& opening) {
  Enumerated enumerated;
  const HRESULT listed = Enumerate(enumerated);
  if (FAILED(listed)) {
    opening.reason = DirectSoundErrorText(listed);
    return false;
  }
  std::vector<CaptureDeviceInfo> folded = enumerated.devices;
  for (CaptureDeviceInfo& info : folded) info.description = FoldedUtf8(info.description);
  const std::vector<const CaptureDeviceInfo*> matches =
        MatchCaptureDevices(FoldedUtf8(name), folded);
  std::vector<const CaptureDeviceInfo*> originals;
  for (const CaptureDeviceInfo* match : matches) {
    originals.push_back(&enumerated.devices[static_cast<std::size_t>(match - folded.data())]);
  }
  if (originals.size() != 1) {
    opening.outcome =
          originals.empty() ? DeviceOutcome::kNoSuchDevice : DeviceOutcome::kSeveralDevices;
    opening.reason = DeviceListLine(originals);
    return false;
  }
  const std::size_t chosen = static_cast<std::size_t>(originals[0] - enumerated.devices.data());
  device = enumerated.guids[chosen];
  opening.name = originals[0]->name;
  opening.description = originals[0]->description;
  return true;
}

void NameDefaultCaptureDevice(DeviceOpening& opening) {
  Enumerated enumerated;
  if (FAILED(Enumerate(enumerated))) return;
  for (const CaptureDeviceInfo& info : enumerated.devices) {
    if (!info.isDefault) continue;
    opening.name = info.name;
    opening.description = info.description;
  }
}

// A frozen sound service can hold the enumeration as it can hold an open,
// so it runs as a bounded call too.
CaptureDeviceList ListCaptureDevices() {
  std::shared_ptr<CallThread> callThread = StartCallThread();
  auto enumerated = std::make_shared<Enumerated>();
  auto listed = std::make_shared<HRESULT>(E_FAIL);
  const CallOutcome outcome = CallWithBound(
        *callThread, [enumerated, listed] { *listed = Enumerate(*enumerated); }, nullptr,
        kCaptureStallLimit, true);
  StopCallThread(*callThread);
  if (outcome == CallOutcome::kInterrupted) Fail("Interrupted");
  CaptureDeviceList list;
  if (outcome == CallOutcome::kTimedOut) {
    list.reason = "DirectSound gave no answer in 10 s";
  } else if (FAILED(*listed)) {
    list.reason = DirectSoundErrorText(*listed);
  } else {
    list.listed = true;
    list.devices = std::move(enumerated->devices);
  }
  return list;
}

std::string DirectSoundErrorText(HRESULT error) {
  static const struct {
    HRESULT code;
    const char* name;
  } kKnown[] = {
        {DSERR_ALLOCATED, "DSERR_ALLOCATED"},
        {DSERR_BADFORMAT, "DSERR_BADFORMAT"},
        {DSERR_GENERIC, "DSERR_GENERIC"},
        {DSERR_INVALIDCALL, "DSERR_INVALIDCALL"},
        {DSERR_INVALIDPARAM, "DSERR_INVALIDPARAM"},
        {DSERR_NOAGGREGATION, "DSERR_NOAGGREGATION"},
        {DSERR_NODRIVER, "DSERR_NODRIVER"},
        {DSERR_OUTOFMEMORY, "DSERR_OUTOFMEMORY"},
        {DSERR_UNSUPPORTED, "DSERR_UNSUPPORTED"},
  };
  char text[64];
  std::snprintf(text, sizeof text, "DirectSound error 0x%08lX",
                static_cast<unsigned long>(error));
  std::string described = text;
  for (const auto& known : kKnown) {
    if (known.code == error) described += std::string(" (") + known.name + ")";
  }
  return described;
}

}  // namespace quorlix
