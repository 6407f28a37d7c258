// Windows file services. Names follow GetTempFileNameA's pattern (prefix,
// four hex digits, .tmp), but each file is made here with CREATE_NEW so that
// the handle of its creation is the one it is written through. Windows has
// no descriptor for a folder: names are full paths, and a file is known
// again by its volume serial number and file index.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/interrupt.h"

namespace quorlix {
namespace {

// The full names of files made and not yet deleted or kept, for an abort's
// handler; it runs on the thread that aborts, so a plain list serves.
struct MadeRecord {
  std::string name;
  FileIdentity identity;
  bool live;
};
std::vector<MadeRecord> records;
std::size_t recordsLive = 0;

HANDLE Handle(const OpenFile& file) { return reinterpret_cast<HANDLE>(file.handle); }

bool IdentityOf(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  return a.volume == b.volume && a.index == b.index;
}

// Opens the name itself, never what a link there points to.
HANDLE OpenExisting(const std::string& name, DWORD access) {
  return CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

void DeleteIfSame(const std::string& name, const FileIdentity& identity) {
  HANDLE handle = OpenExisting(name, DELETE | FILE_READ_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE) return;
  FileIdentity found;
  if (IdentityOf(handle, found) && SameIdentity(found, identity)) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
  }
  CloseHandle(handle);
}

}  // namespace

bool PathExists(const char* path) { return PathFileExistsA(path) != FALSE; }

std::string MadeFileName(const RunFolder& folder, const MadeFile& made) {
  std::string name = folder.path;
  if (!name.empty() && name.back() != '\\' && name.back() != '/') name += '\\';
  return name + made.leaf;
}

bool CreateUniqueFile(RunFolder& folder, const char* prefix, MadeFile& made, OpenFile& file) {
  if (std::strlen(prefix) > 3) return false;
  const MadeFile noLeaf;
  const std::string base = MadeFileName(folder, noLeaf);
  if (records.size() == records.capacity()) records.reserve(2 * records.size() + 16);
  static unsigned next = static_cast<unsigned>(std::time(nullptr)) ^ GetCurrentProcessId();
  for (unsigned attempt = 0; attempt < 0xFFFF; ++attempt) {
    unsigned number = (next + attempt) % 0xFFFF + 1;
    char leaf[16];
    std::snprintf(leaf, sizeof leaf, "%s%04X.tmp", prefix, number);
    std::string candidate = base + leaf;
    if (candidate.size() >= MAX_PATH) return false;
    HANDLE handle = CreateFileA(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return false;
    }
    FileIdentity identity;
    if (!IdentityOf(handle, identity)) {
      CloseHandle(handle);
      DeleteFileA(candidate.c_str());
      return false;
    }
    records.push_back({std::move(candidate), identity, true});
    ++recordsLive;
    std::memcpy(made.leaf, leaf, sizeof leaf);
    made.identity = identity;
    made.record = records.size() - 1;
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    next = number;
    return true;
  }
  return false;
}

bool OpenMadeFile(RunFolder& folder, const MadeFile& made, OpenFile& file) {
  HANDLE handle = OpenExisting(MadeFileName(folder, made), GENERIC_READ);
  if (handle == INVALID_HANDLE_VALUE) return false;
  file.handle = reinterpret_cast<std::intptr_t>(handle);
  FileIdentity found;
  return IdentityOf(handle, found) && SameIdentity(found, made.identity);
}

bool WriteWholeFile(OpenFile& file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(Handle(file), data, piece, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool ReadWholeFile(OpenFile& file, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(Handle(file), data, piece, &got, nullptr) || got == 0) return false;
    data += got;
    size -= got;
  }
  return true;
}

bool SyncFileToDisk(OpenFile& file) { return FlushFileBuffers(Handle(file)) != FALSE; }

bool CloseFile(OpenFile& file) {
  HANDLE handle = Handle(file);
  file.handle = -1;
  return CloseHandle(handle) != FALSE;
}

// NTFS journals its folders: a name is as durable as the file's own flush.
bool SyncRunFolder(RunFolder&) { return true; }

void DeleteMadeFile(RunFolder& folder, const MadeFile& made) {
  DeleteIfSame(MadeFileName(folder, made), made.identity);
  KeepMadeFile(made);
}

void KeepMadeFile(const MadeFile& made) {
  if (made.record >= records.size()) return;
  MadeRecord& record = records[made.record];
  if (!record.live || !SameIdentity(record.identity, made.identity)) return;
  record.live = false;
  // Once nothing is live, the records are reused from the start.
  if (--recordsLive == 0) records.clear();
}

void DeleteMadeFilesNow() {
  for (MadeRecord& record : records) {
    if (record.live) DeleteIfSame(record.name, record.identity);
    record.live = false;
  }
}

void CloseRunFolder(RunFolder&) {}

}  // namespace quorlix
