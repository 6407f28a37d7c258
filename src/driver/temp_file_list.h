// Temporary files of a run. Every file the tool writes is named inside the
// run's folder under a three-letter prefix that tells its kind ("cap" raw
// captures, "mid" stage-one results, "dat" the output). Intermediate files
// are listed the moment their name exists, so the teardown deletes them
// whether the run ended well or not.
#ifndef QUORLIX_DRIVER_TEMP_FILE_LIST_H_
#define QUORLIX_DRIVER_TEMP_FILE_LIST_H_

#include <string>
#include <vector>

namespace quorlix {

struct TempFileList {
  std::vector<std::string> names;
};

void Append(TempFileList& list, const char* name);

// Deletes the files first to last and forgets their names.
void DeleteListedFiles(TempFileList& list);

// Creates a new empty file in folder whose name begins with prefix and puts
// its full name into nameBuffer; fails with "GetTempFileName failed".
void MakeTempName(const char* folder, const char* prefix, std::string& nameBuffer);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_TEMP_FILE_LIST_H_
