// The Win32 platform layer under the run's temporary file lists and capture
// loop: files made with CREATE_NEW and shared with no other opener, read back
// from the run's own handle, gone with the process however it ends unless
// kept, a deletion that leaves the file, the path forms Windows would bend,
// the path check with names in any script, and the pause between polls. Names are matched by prefix
// only: Windows and Wine each give the rest of the name in a form of their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "driver/failure.h"
#include "driver/temp_file_list.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/win32_utf16.h"
#include "support/temp_dir.h"

namespace quorlix {
namespace {

using testing::ListFolder;
using testing::TempDir;

// A folder named in Cyrillic and CJK, with a space, which no ANSI code page holds.
const char kScriptsName[] = "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB8 \xE9\x8D\xB5";

std::wstring Wide(const std::string& text) {
  std::wstring wide;
  EXPECT_TRUE(Widen(text, wide)) << text;
  return wide;
}

bool IsPlainFile(const std::string& name) {
  DWORD attributes = GetFileAttributesW(Wide(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

long long FileSize(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(name).c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Refusal(const std::string& folderPath) {
  RunFolder folder{folderPath};
  TempFileList list;
  OpenFile slot;
  std::string refusal;
  try {
    MakeListedFile(folder, "cap", list, slot);
    CloseFile(slot);
  } catch (const FailureMessage& failure) {
    refusal = failure.text;
  }
  DeleteListedFiles(folder, list);
  CloseRunFolder(folder);
  return refusal;
}

TEST(Win32TempName, CreatesAnEmptyFileInTheFolderUnderThePrefix) {
  TempDir folder;
  for (const std::string& given : {folder.path, folder.path + "\\"}) {
    RunFolder runFolder{given};
    TempFileList list;
    for (const char* prefix : {"cap", "mid", "dat"}) {
      OpenFile slot;
      const bool output = prefix[0] == 'd';
      const std::string name =
          MadeFileName(runFolder, MakeListedFile(runFolder, prefix, list, slot, output));
      EXPECT_TRUE(CloseFile(slot));
      const std::string expectedStart = folder.path + "\\" + prefix;
      EXPECT_EQ(name.compare(0, expectedStart.size(), expectedStart), 0) << name;
      EXPECT_EQ(name.size(), expectedStart.size() + 8) << name;
      EXPECT_TRUE(IsPlainFile(name)) << name;
      EXPECT_EQ(FileSize(name), 0) << name;
    }
    EXPECT_TRUE(KeepMadeFile(list.files.back()));
    list.files.pop_back();
    EXPECT_TRUE(DeleteListedFiles(runFolder, list));
    CloseRunFolder(runFolder);
  }
  EXPECT_EQ(ListFolder(folder.path).size(), 2u) << "the two outputs, kept";
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
  EXPECT_TRUE(DeleteListedFiles(runFolder, list));
  CloseRunFolder(runFolder);
  EXPECT_TRUE(ListFolder(folder.path).empty());
}

TEST(Win32TempName, RefusesWhereNoFileCanBeMadeOrWindowsWouldTakeAnotherFolder) {
  TempDir folder;
  const std::string plainFile = folder.path + "\\plain";
  testing::WriteTextFile(plainFile, "x");
  const std::string keys = folder.path + "\\keys";
  ASSERT_TRUE(CreateDirectoryA(keys.c_str(), nullptr));
  const std::string missing = folder.path + "\\missing";
  const std::string tooLong = folder.path + "\\" + std::string(MAX_PATH, 'a');
  for (const std::string& where :
       {missing, plainFile, tooLong, std::string("NUL"), std::string("CON"), keys + " ",
        keys + ".", keys + " \\", keys + ".\\."}) {
    EXPECT_EQ(Refusal(where), "GetTempFileName failed") << where;
  }
  EXPECT_EQ(ListFolder(folder.path), (std::set<std::string>{"keys", "plain"})) << "nothing was made";
  EXPECT_TRUE(ListFolder(keys).empty()) << "nothing was made";
}

TEST(Win32TempFiles, AreOpenToNoOtherOpenerAndReadBackFromTheRunsOwnFile) {
  TempDir folder;
  testing::WriteTextFile(folder.path + "\\keep", "keep me");
  RunFolder runFolder{folder.path};
  TempFileList list;
  OpenFile slot;
  const std::string name = MadeFileName(runFolder, MakeListedFile(runFolder, "mid", list, slot));
  const std::uint8_t bits[3] = {7, 8, 9};
  EXPECT_TRUE(WriteWholeFile(slot, bits, sizeof bits));
  EXPECT_TRUE(CloseFile(slot));
  // What a backup, sync or scanning tool would try: none of it gets in.
  const std::wstring wide = Wide(name);
  EXPECT_EQ(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(MoveFileW(wide.c_str(), Wide(folder.path + "\\moved").c_str()));
  EXPECT_FALSE(DeleteFileW(wide.c_str()));
  std::uint8_t back[3] = {};
  ASSERT_TRUE(OpenMadeFile(runFolder, list.files[0], slot));
  EXPECT_TRUE(ReadWholeFile(slot, back, sizeof back));
  EXPECT_EQ(back[0], 7);
  EXPECT_EQ(back[2], 9);
  CloseFile(slot);
  EXPECT_TRUE(DeleteListedFiles(runFolder, list));
  CloseRunFolder(runFolder);
  EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{"keep"});
}

TEST(Win32TempFiles, ADeletionThatLeavesTheFileIsReported) {
  // Attributes alone can be read past any sharing; a program holding them
  // keeps the name while the file waits for it (everywhere but where Windows
  // deletes the POSIX way, Wine included). Whatever happens, what the run
  // says matches the folder.
  TempDir folder;
  RunFolder runFolder{folder.path};
  TempFileList list;
  OpenFile slot;
  const std::string name = MadeFileName(runFolder, MakeListedFile(runFolder, "cap", list, slot));
  CloseFile(slot);
  HANDLE holder = CreateFileW(Wide(name).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ::testing::internal::CaptureStderr();
  const bool deleted = DeleteListedFiles(runFolder, list);
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(deleted, ListFolder(folder.path).empty());
  EXPECT_EQ(report, deleted ? "" : "Unable to delete file - " + name + "\n");
  CloseHandle(holder);
  EXPECT_TRUE(ListFolder(folder.path).empty()) << "gone once the holder lets go";
  CloseRunFolder(runFolder);
}

// Started again by GoWithTheProcessHoweverItEnds, this program makes files
// the way a run does, keeps one output, and ends as it is told before any
// test runs.
void MakeFilesAndEnd(const std::string& folderPath, const std::string& end) {
  InstallInterruptHandler();
  RunFolder folder{folderPath};
  const struct {
    const char* prefix;
    bool output;
    bool kept;
  } files[] = {{"cap", false, false}, {"mid", false, false}, {"dat", true, false}, {"dat", true, true}};
  for (const auto& f : files) {
    MadeFile made;
    OpenFile file;
    const std::uint8_t bits[2] = {1, 2};
    if (!CreateUniqueFile(folder, f.prefix, made, file, f.output) ||
        !WriteWholeFile(file, bits, sizeof bits) || !CloseFile(file) ||
        (f.kept && !KeepMadeFile(made))) {
      ExitProcess(2);
    }
  }
  if (end == "terminated") TerminateProcess(GetCurrentProcess(), 3);
  if (end == "exited") ExitProcess(3);
  if (end == "aborted") std::abort();
  if (end == "second interrupt") {
    DeleteMadeFilesNow();
    ExitProcess(3);
  }
  ExitProcess(2);
}

// Started by the end-to-end tests with QUORLIX_TEST_HOLD naming a folder,
// this program stands for a backup, sync or scanning tool: it opens each new
// cap*.tmp there for reading as fopen does, holds what it could open, says
// what it did on a line each, and runs until it is ended.
[[noreturn]] void HoldRawFiles(const std::wstring& folder) {
  std::set<std::wstring> seen;
  std::printf("watching\n");
  std::fflush(stdout);
  for (;;) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\cap*.tmp").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
      if (!seen.insert(found.cFileName).second) continue;
      HANDLE file = CreateFileW((folder + L"\\" + found.cFileName).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
      std::printf("%s %ls\n", file == INVALID_HANDLE_VALUE ? "refused" : "held", found.cFileName);
      std::fflush(stdout);
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    Sleep(10);
  }
}

[[maybe_unused]] const bool kHelperRan = [] {
  wchar_t hold[MAX_PATH];
  if (GetEnvironmentVariableW(L"QUORLIX_TEST_HOLD", hold, MAX_PATH) > 0) HoldRawFiles(hold);
  char folder[MAX_PATH];
  char end[32];
  if (GetEnvironmentVariableA("QUORLIX_TEST_CHILD_FOLDER", folder, sizeof folder) == 0 ||
      GetEnvironmentVariableA("QUORLIX_TEST_CHILD_END", end, sizeof end) == 0) {
    return false;
  }
  MakeFilesAndEnd(folder, end);
  return true;
}();

TEST(Win32TempFiles, GoWithTheProcessHoweverItEndsButTheKeptOutput) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(nul, INVALID_HANDLE_VALUE);
  for (const char* end : {"terminated", "exited", "aborted", "second interrupt"}) {
    SCOPED_TRACE(end);
    TempDir folder;
    testing::WriteTextFile(folder.path + "\\already-here", "x");
    SetEnvironmentVariableA("QUORLIX_TEST_CHILD_FOLDER", folder.path.c_str());
    SetEnvironmentVariableA("QUORLIX_TEST_CHILD_END", end);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION child = {};
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\"";
    const BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &child);
    SetEnvironmentVariableA("QUORLIX_TEST_CHILD_FOLDER", nullptr);
    SetEnvironmentVariableA("QUORLIX_TEST_CHILD_END", nullptr);
    ASSERT_TRUE(started);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_NE(status, 2u) << "the child could not make its files";
    const std::set<std::string> left = ListFolder(folder.path);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(*left.begin(), "already-here");
    EXPECT_EQ(left.rbegin()->substr(0, 3), "dat") << *left.rbegin();
  }
  CloseHandle(nul);
}

struct PathCase {
  const char* label;
  std::string path;
  bool exists;
};

TEST(Win32PathExists, AnswersForFoldersFilesAndMissingPaths) {
  TempDir folder;
  testing::WriteTextFile(folder.path + "\\plain", "x");
  const std::string scripts = folder.path + "\\" + kScriptsName;
  ASSERT_TRUE(CreateDirectoryW(Wide(scripts).c_str(), nullptr));
  const PathCase cases[] = {
      {"folder", folder.path, true},
      {"folder with separator", folder.path + "\\", true},
      {"folder named in other scripts", scripts, true},
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
