// The operating-system file services the tool needs: whether a path exists,
// fresh uniquely named files inside a folder, deletion by name and flushing
// a written file to the disk. One implementation per platform.
#ifndef QUORLIX_PLATFORM_FILES_H_
#define QUORLIX_PLATFORM_FILES_H_

#include <cstdio>
#include <string>

namespace quorlix {

bool PathExists(const char* path);

// Creates a new, empty file in folder whose name begins with prefix, and puts
// its full name into name. Never reuses or follows an existing name. Returns
// false, leaving no file behind, when no such file can be made or its full
// name would not fit the platform's name limit.
bool CreateUniqueFile(const char* folder, const char* prefix, std::string& name);

// Failures are ignored: a file that is already gone is no error.
void DeleteNamedFile(const char* name);

// Pushes everything written to file so far through to the storage device.
bool SyncFileToDisk(std::FILE* file);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_FILES_H_
