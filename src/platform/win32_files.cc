// Windows file services: the names of raw, mid and output files come from
// GetTempFileNameA, which creates each file empty inside the run's folder so
// no two runs or captures can pick the same name.
#include <windows.h>
#include <io.h>
#include <shlwapi.h>

#include "platform/files.h"

namespace quorlix {

bool PathExists(const char* path) { return PathFileExistsA(path) != FALSE; }

bool CreateUniqueFile(const char* folder, const char* prefix, std::string& name) {
  char buffer[MAX_PATH];
  if (GetTempFileNameA(folder, prefix, 0, buffer) == 0) return false;
  name = buffer;
  return true;
}

void DeleteNamedFile(const char* name) { DeleteFileA(name); }

bool SyncFileToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != FALSE;
}

}  // namespace quorlix
