// The Win32 platform layer under the run's temporary file lists and capture
// loop: names made by GetTempFileNameA, deletion by name, the path check,
// flushing to disk and the pause between polls. Names are matched by prefix
// only: Windows and Wine each give the rest of the name in a form of their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>

#include "driver/failure.h"
#include "driver/temp_file_list.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "support/temp_dir.h"

namespace quorlix {
namespace {

using testing::ListFolder;
using testing::TempDir;

bool IsPlainFile(const std::string& name) {
  DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

long long FileSize(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Refusal(const std::string& folder) {
  std::string name;
  try {
    MakeTempName(folder.c_str(), "cap", name);
  } catch (const FailureMessage& failure) {
    return failure.text;
  }
  return "";
}

TEST(Win32TempName, CreatesAnEmptyFileInTheFolderUnderThePrefix) {
  TempDir folder;
  for (const std::string& given : {folder.path, folder.path + "\\"}) {
    for (const char* prefix : {"cap", "mid", "dat"}) {
      std::string name;
      MakeTempName(given.c_str(), prefix, name);
      const std::string expectedStart = folder.path + "\\" + prefix;
      EXPECT_EQ(name.compare(0, expectedStart.size(), expectedStart), 0) << name;
      EXPECT_GT(name.size(), expectedStart.size()) << name;
      EXPECT_TRUE(IsPlainFile(name)) << name;
      EXPECT_EQ(FileSize(name), 0) << name;
    }
  }
  EXPECT_EQ(ListFolder(folder.path).size(), 6u) << "every name is new";
}

TEST(Win32TempName, NeverGivesTheSameNameTwice) {
  TempDir folder;
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    std::string name;
    MakeTempName(folder.path.c_str(), "cap", name);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 200u);
  EXPECT_EQ(ListFolder(folder.path).size(), 200u);
}

TEST(Win32TempName, RefusesWhereNoFileCanBeMade) {
  TempDir folder;
  const std::string plainFile = folder.path + "\\plain";
  testing::WriteTextFile(plainFile, "x");
  const std::string missing = folder.path + "\\missing";
  const std::string tooLong = folder.path + "\\" + std::string(MAX_PATH, 'a');
  for (const std::string& where : {missing, plainFile, tooLong}) {
    EXPECT_EQ(Refusal(where), "GetTempFileName failed") << where;
  }
  EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{"plain"}) << "nothing was made";
}

TEST(Win32DeleteListedFiles, DeletesEveryListedFileAndNothingElse) {
  TempDir folder;
  TempFileList list;
  for (int i = 0; i < 3; ++i) {
    std::string name;
    MakeTempName(folder.path.c_str(), "mid", name);
    Append(list, name.c_str());
  }
  // A listed name whose file is already gone is no failure.
  Append(list, (folder.path + "\\gone.tmp").c_str());
  testing::WriteTextFile(folder.path + "\\keep", "keep me");
  DeleteListedFiles(list);
  EXPECT_TRUE(list.names.empty());
  EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{"keep"});
}

struct PathCase {
  const char* label;
  std::string path;
  bool exists;
};

TEST(Win32PathExists, AnswersForFoldersFilesAndMissingPaths) {
  TempDir folder;
  testing::WriteTextFile(folder.path + "\\plain", "x");
  const PathCase cases[] = {
      {"folder", folder.path, true},
      {"folder with separator", folder.path + "\\", true},
      {"plain file", folder.path + "\\plain", true},
      {"missing", folder.path + "\\missing", false},
      {"missing parent", folder.path + "\\missing\\deeper", false},
      {"nowhere", "nowhere", false},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(PathExists(c.path.c_str()), c.exists) << c.label << ": " << c.path;
  }
}

TEST(Win32SyncFileToDisk, PutsBufferedBytesInTheFile) {
  TempDir folder;
  const std::string name = folder.path + "\\synced";
  std::FILE* file = std::fopen(name.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  const char data[] = "noise bits";
  ASSERT_EQ(std::fwrite(data, 1, sizeof data, file), sizeof data);
  EXPECT_TRUE(SyncFileToDisk(file));
  // Seen from outside the stream before it is closed.
  EXPECT_EQ(FileSize(name), static_cast<long long>(sizeof data));
  std::fclose(file);
}

TEST(Win32Sleep, WaitsMillisecondsNotMore) {
  const auto start = std::chrono::steady_clock::now();
  SleepMilliseconds(150);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(140));
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace quorlix
