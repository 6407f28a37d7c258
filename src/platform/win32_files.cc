// Windows file services. Names follow GetTempFileNameA's pattern (prefix,
// four hex digits, .tmp), but each file is made here with CREATE_NEW, shared
// with no other opener and private to the user, and the run holds that
// handle until it deletes or keeps the file: the system deletes a file the
// run has not kept when the handle closes, however the process ends, and no
// other program can open it meanwhile. Reads and writes go through copies of
// the held handle. The folder is held open too, so that it cannot be renamed
// or removed under the run. Names are UTF-8 in the tool and UTF-16 here.
#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/made_records.h"
#include "platform/win32_utf16.h"

namespace quorlix {
namespace {

// The files made and not yet deleted or kept, for an abort's handler or the
// console's handler thread to delete: each by the handle that made it.
struct MadeRecord {
  std::atomic<HANDLE> keeper;  // the creation's handle; null once deleted or kept
  FileIdentity identity;
  bool mayKeep;
};
MadeRecords<MadeRecord> records;

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

MadeRecord* RecordOf(const MadeFile& made) {
  MadeRecord* record = records.At(made.record);
  return record != nullptr && SameIdentity(record->identity, made.identity) ? record : nullptr;
}

// The held handle, now the caller's to close; null when another thread took
// it first.
HANDLE TakeKeeper(MadeRecord& record) {
  HANDLE keeper = record.keeper.exchange(nullptr);
  if (keeper != nullptr) --records.live;
  return keeper;
}

// Whether the file goes when its last handle closes.
bool SetDeletion(HANDLE handle, bool deleted) {
  FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(deleted)};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) !=
         FALSE;
}

// The file goes when the run's handle closes. Where Windows deletes the POSIX
// way (Windows 10 1709 and later, on NTFS), its name goes then too, even
// while another program still holds the file; elsewhere the name stays until
// that program lets go.
void MarkDeleted(HANDLE handle) {
  constexpr auto kDispositionEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);  // FileDispositionInfoEx
  constexpr DWORD kDeletePosixWay = 0x1 | 0x2;  // FILE_DISPOSITION_FLAG_DELETE, _POSIX_SEMANTICS
  DWORD flags = kDeletePosixWay;
  if (!SetFileInformationByHandle(handle, kDispositionEx, &flags, sizeof flags)) {
    SetDeletion(handle, true);
  }
}

// After the run's last handle of a deleted file is closed: false while the
// name still leads to that file, which happens while another program holds
// it (refused to every new opener on Windows, but not under Wine).
bool NameLeadsNoLongerTo(const std::string& name, const FileIdentity& identity) {
  std::wstring wide;
  if (!Widen(name, wide)) return false;
  HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // Denied is what a file pending deletion answers.
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  FileIdentity found;
  const bool stillThere = IdentityOf(handle, found) && SameIdentity(found, identity);
  CloseHandle(handle);
  return !stillThere;
}

// Readable and writable by the user alone, like mode 0600: a protected DACL
// with one entry, for the user's own SID, so that nothing the folder passes
// on to new files applies.
struct PrivateSecurity {
  SECURITY_ATTRIBUTES attributes;
  SECURITY_DESCRIPTOR descriptor;
  alignas(DWORD) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  alignas(DWORD) unsigned char acl[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
};

bool MakePrivateSecurity(PrivateSecurity& security) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  const BOOL gotUser =
      GetTokenInformation(token, TokenUser, security.user, sizeof security.user, &size);
  CloseHandle(token);
  if (!gotUser) return false;
  PSID user = reinterpret_cast<TOKEN_USER*>(security.user)->User.Sid;
  ACL* acl = reinterpret_cast<ACL*>(security.acl);
  security.attributes = {sizeof(SECURITY_ATTRIBUTES), &security.descriptor, FALSE};
  return InitializeAcl(acl, sizeof security.acl, ACL_REVISION) &&
         AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS & ~FILE_EXECUTE, user) &&
         InitializeSecurityDescriptor(&security.descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&security.descriptor, TRUE, acl, FALSE) &&
         SetSecurityDescriptorControl(&security.descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

SECURITY_ATTRIBUTES* PrivateFileAttributes() {
  static PrivateSecurity security;
  static const bool made = MakePrivateSecurity(security);
  return made ? &security.attributes : nullptr;
}

bool IsBareDrive(const std::wstring& path) {
  return path.size() == 2 && path[1] == L':' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

// Windows drops a space or a dot at the end of a name, so such a folder would
// be taken for another one. A \\?\ path is taken as it is written.
bool NamesTrimmedByWindows(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return false;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring_view segment(path.data() + start, end - start);
    if (!segment.empty() && segment != L"." && segment != L".." &&
        (segment.back() == L' ' || segment.back() == L'.')) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

// Opens the folder once, refusing what is not a folder on a disk (a file, a
// device such as NUL or CON). A bare drive letter means that drive's current
// folder, which becomes the folder's path so that the names shown are whole.
bool OpenFolder(RunFolder& folder) {
  if (folder.handle != -1) return true;
  std::wstring path;
  if (!Widen(folder.path, path) || path.empty() || NamesTrimmedByWindows(path)) return false;
  if (IsBareDrive(path)) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    path.assign(full, length);
    folder.path = Narrow(full, length);
  }
  // Without FILE_SHARE_DELETE nobody can rename or remove the folder while
  // the run holds it; traversing is the least access that counts for that.
  HANDLE handle = CreateFileW(path.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CloseHandle(handle);
    return false;
  }
  folder.handle = reinterpret_cast<std::intptr_t>(handle);
  return true;
}

HANDLE Handle(const OpenFile& file) { return reinterpret_cast<HANDLE>(file.handle); }

bool CopyHandle(HANDLE handle, HANDLE& copy) {
  return DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS) != FALSE;
}

}  // namespace

bool PathExists(const char* path) {
  std::wstring wide;
  return Widen(path, wide) && PathFileExistsW(wide.c_str()) != FALSE;
}

std::string MadeFileName(const RunFolder& folder, const MadeFile& made) {
  std::string name = folder.path;
  if (!name.empty() && name.back() != '\\' && name.back() != '/') name += '\\';
  return name + made.leaf;
}

bool CreateUniqueFile(RunFolder& folder, const char* prefix, MadeFile& made, OpenFile& file,
                      bool mayKeep) {
  SECURITY_ATTRIBUTES* privateFile = PrivateFileAttributes();
  if (std::strlen(prefix) > 3 || privateFile == nullptr || !OpenFolder(folder)) return false;
  std::wstring base;
  if (!Widen(MadeFileName(folder, MadeFile{}), base)) return false;
  // A file that may be kept is marked for deletion as soon as it exists, and
  // unmarked when it is kept; the others go when their handle closes.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (mayKeep ? 0 : FILE_FLAG_DELETE_ON_CLOSE);
  static unsigned next = static_cast<unsigned>(std::time(nullptr)) ^ GetCurrentProcessId();
  for (unsigned attempt = 0; attempt < 0xFFFF; ++attempt) {
    unsigned number = (next + attempt) % 0xFFFF + 1;
    char leaf[16];
    std::snprintf(leaf, sizeof leaf, "%s%04X.tmp", prefix, number);
    std::wstring candidate = base;
    for (const char* c = leaf; *c != '\0'; ++c) candidate += static_cast<wchar_t>(*c);
    if (candidate.size() >= MAX_PATH) return false;
    std::size_t index = 0;
    MadeRecord* record = records.New(index);
    if (record == nullptr) return false;
    HANDLE handle = CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                /*dwShareMode=*/0, privateFile, CREATE_NEW, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return false;
    }
    FileIdentity identity;
    HANDLE slot = nullptr;
    if (!IdentityOf(handle, identity) || (mayKeep && !SetDeletion(handle, true)) ||
        !CopyHandle(handle, slot)) {
      SetDeletion(handle, true);
      CloseHandle(handle);
      return false;
    }
    record->identity = identity;
    record->mayKeep = mayKeep;
    record->keeper.store(handle, std::memory_order_release);
    records.Publish(index);
    ++records.live;
    std::memcpy(made.leaf, leaf, sizeof leaf);
    made.identity = identity;
    made.record = index;
    file.handle = reinterpret_cast<std::intptr_t>(slot);
    next = number;
    return true;
  }
  return false;
}

bool OpenMadeFile(RunFolder&, const MadeFile& made, OpenFile& file) {
  MadeRecord* record = RecordOf(made);
  HANDLE keeper = record == nullptr ? nullptr : record->keeper.load(std::memory_order_acquire);
  HANDLE copy = nullptr;
  if (keeper == nullptr || !CopyHandle(keeper, copy)) return false;
  file.handle = reinterpret_cast<std::intptr_t>(copy);
  // The copy shares the file position that the writing left at the end.
  const LARGE_INTEGER start = {};
  return SetFilePointerEx(copy, start, nullptr, FILE_BEGIN) != FALSE;
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

bool DeleteMadeFile(RunFolder& folder, const MadeFile& made) {
  MadeRecord* record = RecordOf(made);
  HANDLE keeper = record == nullptr ? nullptr : TakeKeeper(*record);
  if (keeper != nullptr) {
    MarkDeleted(keeper);
    CloseHandle(keeper);
  }
  return NameLeadsNoLongerTo(MadeFileName(folder, made), made.identity);
}

bool KeepMadeFile(const MadeFile& made) {
  MadeRecord* record = RecordOf(made);
  if (record == nullptr || !record->mayKeep) return false;
  HANDLE keeper = record->keeper.load(std::memory_order_acquire);
  // Unmarked before the handle is given up, so that it stays even if an
  // abort's handler closes the handle first.
  if (keeper == nullptr || !SetDeletion(keeper, false)) return false;
  keeper = TakeKeeper(*record);
  if (keeper != nullptr) CloseHandle(keeper);
  return true;
}

void DeleteMadeFilesNow() {
  const std::size_t used = records.used.load(std::memory_order_acquire);
  for (std::size_t index = 0; index < used; ++index) {
    MadeRecord* record = records.At(index);
    HANDLE keeper = record == nullptr ? nullptr : record->keeper.exchange(nullptr);
    if (keeper == nullptr) continue;
    MarkDeleted(keeper);
    CloseHandle(keeper);
  }
}

bool FolderFreeBytes(RunFolder& folder, std::uint64_t& bytes) {
  // The held folder, by its name: a share's name must end in a separator.
  std::wstring path;
  if (!OpenFolder(folder) || !Widen(folder.path, path)) return false;
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return false;
  bytes = available.QuadPart;
  return true;
}

void CloseRunFolder(RunFolder& folder) {
  if (folder.handle == -1) return;
  CloseHandle(reinterpret_cast<HANDLE>(folder.handle));
  folder.handle = -1;
}

}  // namespace quorlix
