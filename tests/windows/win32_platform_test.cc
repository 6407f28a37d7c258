// The Win32 platform layer under the run's temporary file lists and capture
// loop: names made with CREATE_NEW, writing through the creation's handle,
// reading and deleting only the file the run made, the path check, flushing
// to disk and the pause between polls. Names are matched by prefix
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

std::string Refusal(const std::string& folderPath) {
  RunFolder folder{folderPath};
  TempFileList list;
  OpenFile slot;
  try {
    MakeListedFile(folder, "cap", list, slot);
  } catch (const FailureMessage& failure) {
    return failure.text;
  }
  CloseFile(slot);
  return "";
}

TEST(Win32TempName, CreatesAnEmptyFileInTheFolderUnderThePrefix) {
  TempDir folder;
  TempFileList list;
  for (const std::string& given : {folder.path, folder.path + "\\"}) {
    RunFolder runFolder{given};
    for (const char* prefix : {"cap", "mid", "dat"}) {
      OpenFile slot;
      const std::string name = MadeFileName(runFolder, MakeListedFile(runFolder, prefix, list, slot));
      EXPECT_TRUE(CloseFile(slot));
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
  RunFolder runFolder{folder.path};
  TempFileList list;
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    OpenFile slot;
    names.insert(MadeFileName(runFolder, MakeListedFile(runFolder, "cap", list, slot)));
    CloseFile(slot);
  }
  EXPECT_EQ(names.size(), 200u);
  EXPECT_EQ(ListFolder(folder.path).size(), 200u);
  DeleteListedFiles(runFolder, list);
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

TEST(Win32TempFiles, AreWrittenThroughTheirCreationAndDeletedOnlyWhileTheirNameLeadsToThem) {
  TempDir folder;
  RunFolder runFolder{folder.path};
  TempFileList list;
  std::string names[3];
  for (std::string& name : names) {
    OpenFile slot;
    name = MadeFileName(runFolder, MakeListedFile(runFolder, "mid", list, slot));
    const std::uint8_t bits[3] = {7, 8, 9};
    EXPECT_TRUE(WriteWholeFile(slot, bits, sizeof bits));
    // Seen from outside before the handle is closed.
    EXPECT_TRUE(SyncFileToDisk(slot));
    EXPECT_EQ(FileSize(name), 3);
    EXPECT_TRUE(CloseFile(slot));
  }
  // The second name now leads to a file the run did not make.
  ASSERT_TRUE(MoveFileA(names[1].c_str(), (folder.path + "\\moved").c_str()));
  testing::WriteTextFile(names[1], "someone else's");
  std::uint8_t back[3] = {};
  OpenFile slot;
  EXPECT_FALSE(OpenMadeFile(runFolder, list.files[1], slot));
  if (slot.handle != -1) CloseFile(slot);
  ASSERT_TRUE(OpenMadeFile(runFolder, list.files[2], slot));
  EXPECT_TRUE(ReadWholeFile(slot, back, sizeof back));
  EXPECT_EQ(back[2], 9);
  CloseFile(slot);
  testing::WriteTextFile(folder.path + "\\keep", "keep me");
  DeleteListedFiles(runFolder, list);
  EXPECT_TRUE(list.files.empty());
  const std::string taken = names[1].substr(folder.path.size() + 1);
  EXPECT_EQ(ListFolder(folder.path), (std::set<std::string>{"keep", "moved", taken}));
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

TEST(Win32Sleep, WaitsMillisecondsNotMore) {
  const auto start = std::chrono::steady_clock::now();
  SleepMilliseconds(150);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(140));
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace quorlix
