#include "driver/temp_file_list.h"

#include "driver/failure.h"
#include "platform/files.h"

namespace quorlix {

void Append(TempFileList& list, const char* name) { list.names.emplace_back(name); }

void DeleteListedFiles(TempFileList& list) {
  for (const std::string& name : list.names) DeleteNamedFile(name.c_str());
  list.names.clear();
}

void MakeTempName(const char* folder, const char* prefix, std::string& nameBuffer) {
  if (!CreateUniqueFile(folder, prefix, nameBuffer)) Fail("GetTempFileName failed");
}

}  // namespace quorlix
