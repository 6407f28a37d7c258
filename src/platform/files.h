// The operating-system file services the tool needs. Every file a run makes
// is created exclusively in the run's folder, private to the user, and
// written and read through handles, never reopened by name for writing; a
// file is recognised again by its identity, so that nothing another user
// puts under one of the run's names is ever read as the run's own or deleted
// by it. The files a run has made and not yet deleted or kept are also held
// where a fatal signal's handler can delete them; where the system can delete
// a file when the process ends, however it ends, it is asked to. Names are
// UTF-8. One implementation per platform.
#ifndef QUORLIX_PLATFORM_FILES_H_
#define QUORLIX_PLATFORM_FILES_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorlix {

bool PathExists(const char* path);

// The folder a run keeps its files in. The platform opens it when the first
// file is made; CloseRunFolder gives it back.
struct RunFolder {
  std::string path;
  std::intptr_t handle = -1;
};

// Which file it is, whatever name it has: device and inode, or volume and
// file index.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
};

// Small, since a run may list 131071 of them.
struct MadeFile {
  char leaf[16] = {};  // the file's own name inside the folder
  FileIdentity identity;
  std::size_t record = 0;  // where the platform keeps it for a fatal signal
};

// The name to show for a made file: the folder's path as given, one
// separator and the file's own name.
std::string MadeFileName(const RunFolder& folder, const MadeFile& made);

// An open file; handle -1 when none.
struct OpenFile {
  std::intptr_t handle = -1;
};

// Creates a new, empty file in the folder whose name begins with prefix,
// private to the user, open for writing in file. Never reuses or follows an
// existing name. Returns false, leaving no file behind, when no such file can
// be made or its full name would not fit the platform's name limit. Only a
// file made with mayKeep can be kept; until it is, it goes like the others.
bool CreateUniqueFile(RunFolder& folder, const char* prefix, MadeFile& made, OpenFile& file,
                      bool mayKeep);

// Opens a file this run made for reading, from its start; false when it can
// no longer be read as the run's own (its name now leads anywhere else).
bool OpenMadeFile(RunFolder& folder, const MadeFile& made, OpenFile& file);

// Both return false on any failure or a short transfer. A call cut short by
// a signal goes on, unless the run has been interrupted.
bool WriteWholeFile(OpenFile& file, const std::uint8_t* data, std::size_t size);
bool ReadWholeFile(OpenFile& file, std::uint8_t* data, std::size_t size);

// Pushes everything written so far through to the storage device.
bool SyncFileToDisk(OpenFile& file);

// The file is closed whether or not the close succeeded.
bool CloseFile(OpenFile& file);

// Makes the folder's list of names durable, so that a file synced to disk
// keeps its name after a power cut.
bool SyncRunFolder(RunFolder& folder);

// Deletes the file if its name still leads to it; anything else is left
// alone, and a file already gone is no error. False when the file is still
// there (or may be): it holds key material, so this must not pass unseen.
bool DeleteMadeFile(RunFolder& folder, const MadeFile& made);

// The file stays: it is no longer deleted on a fatal signal or at the end of
// the process. False when it cannot stay.
bool KeepMadeFile(const MadeFile& made);

// Deletes every file made and neither deleted nor kept. Safe inside a signal
// handler and on any thread: it allocates nothing and takes no lock.
void DeleteMadeFilesNow();

// The bytes this user can still write to the folder's file system, as df
// shows them available; false when the folder cannot be had or its file
// system does not tell.
bool FolderFreeBytes(RunFolder& folder, std::uint64_t& bytes);

void CloseRunFolder(RunFolder& folder);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_FILES_H_
