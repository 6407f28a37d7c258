#include "driver/temp_file_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "driver/failure.h"
#include "driver/noise_file.h"
#include "support/temp_dir.h"

namespace quorlix {
namespace {

using testing::ListFolder;
using testing::TempDir;

std::string Refusal(const std::string& folderPath, TempFileList& list) {
  RunFolder folder{folderPath};
  OpenFile slot;
  try {
    MakeListedFile(folder, "cap", list, slot);
  } catch (const FailureMessage& failure) {
    CloseRunFolder(folder);
    return failure.text;
  }
  CloseFile(slot);
  CloseRunFolder(folder);
  return "";
}

TEST(MakeListedFile, CreatesAnEmptyPrivateFileUnderThePrefix) {
  TempDir folder;
  TempFileList list;
  for (const std::string& given : {folder.path, folder.path + "/"}) {
    RunFolder runFolder{given};
    for (const char* prefix : {"cap", "mid", "dat"}) {
      OpenFile slot;
      const MadeFile& made = MakeListedFile(runFolder, prefix, list, slot);
      const std::string name = MadeFileName(runFolder, made);
      EXPECT_EQ(name.substr(0, given.size()), given);
      EXPECT_TRUE(std::regex_match(name, std::regex(folder.path + "/" + prefix + "[0-9A-F]{4}\\.tmp")))
          << name;
      EXPECT_TRUE(CloseFile(slot));
      struct stat info;
      ASSERT_EQ(stat(name.c_str(), &info), 0);
      EXPECT_TRUE(S_ISREG(info.st_mode));
      EXPECT_EQ(info.st_mode & 0777, 0600u);
      EXPECT_EQ(info.st_size, 0);
    }
    CloseRunFolder(runFolder);
  }
  EXPECT_EQ(ListFolder(folder.path).size(), 6u) << "every name is new";
  EXPECT_EQ(list.files.size(), 6u);
}

TEST(MakeListedFile, SkipsTakenNamesAndPlantedLinksThenGivesUp) {
  TempDir folder;
  TempDir elsewhere;
  const std::string victim = elsewhere.path + "/victim";
  testing::WriteTextFile(victim, "keep me");
  // Every number but 0x1234 is taken, by plain files and by links that would
  // send the new file elsewhere.
  for (unsigned number = 1; number <= 0xFFFF; ++number) {
    if (number == 0x1234) continue;
    char path[64];
    std::snprintf(path, sizeof path, "/cap%04X.tmp", number);
    std::string taken = folder.path + path;
    if (number % 2 == 0) {
      ASSERT_EQ(symlink(victim.c_str(), taken.c_str()), 0);
    } else {
      testing::WriteTextFile(taken, "");
    }
  }
  TempFileList list;
  EXPECT_EQ(Refusal(folder.path, list), "");
  ASSERT_EQ(list.files.size(), 1u);
  EXPECT_EQ(std::string(list.files[0].leaf), "cap1234.tmp");
  EXPECT_EQ(Refusal(folder.path, list), "GetTempFileName failed");
  EXPECT_EQ(list.files.size(), 1u);
  EXPECT_EQ(testing::ReadWholeFile(victim).size(), 7u);
}

TEST(MakeListedFile, FailsAtOnceWhereNoFileCanBeMade) {
  TempDir folder;
  const std::string plainFile = folder.path + "/plain";
  testing::WriteTextFile(plainFile, "x");
  TempFileList list;
  for (const std::string& bad : {folder.path + "/missing", plainFile, std::string(5000, 'a')}) {
    EXPECT_EQ(Refusal(bad, list), "GetTempFileName failed") << bad.substr(0, 80);
  }
  EXPECT_TRUE(list.files.empty());
  EXPECT_EQ(ListFolder(folder.path).size(), 1u);
}

TEST(TempFileList, NeverWritesReadsOrDeletesWhatTakesOverAListedName) {
  // Another user of a shared folder swaps a file of the run for one of their
  // own, or for a link to someone else's file, between its creation and its
  // use; the run's bytes still go only into the file it made.
  const struct {
    const char* takeover;
    bool byLink;
  } cases[] = {{"a plain file", false}, {"a symbolic link", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.takeover);
    TempDir folder;
    TempDir elsewhere;
    const std::string victim = elsewhere.path + "/victim";
    testing::WriteTextFile(victim, "someone else's");
    RunFolder runFolder{folder.path};
    TempFileList list;
    OpenFile slot;
    const MadeFile made = MakeListedFile(runFolder, "mid", list, slot);
    const std::string name = MadeFileName(runFolder, made);
    const std::string moved = folder.path + "/moved-aside";
    ASSERT_EQ(rename(name.c_str(), moved.c_str()), 0);
    if (c.byLink) {
      ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);
    } else {
      testing::WriteTextFile(name, "planted");
    }
    const std::uint8_t bits[4] = {1, 2, 3, 4};
    ASSERT_TRUE(WriteWholeFile(slot, bits, sizeof bits));
    ASSERT_TRUE(CloseFile(slot));
    EXPECT_EQ(testing::ReadWholeFile(moved), std::vector<std::uint8_t>(bits, bits + 4));

    std::uint8_t back[4] = {};
    try {
      ReadNoiseFile(runFolder, made, slot, back, sizeof back, {"Unable to open mid file - ", "-"});
      ADD_FAILURE() << "read what took over the name";
    } catch (const FailureMessage& failure) {
      EXPECT_EQ(failure.text, "Unable to open mid file - " + name);
    }
    if (slot.handle != -1) CloseFile(slot);

    DeleteListedFiles(runFolder, list);
    CloseRunFolder(runFolder);
    EXPECT_TRUE(list.files.empty());
    EXPECT_EQ(ListFolder(folder.path), (std::set<std::string>{made.leaf, "moved-aside"}));
    EXPECT_EQ(testing::ReadWholeFile(victim).size(), 14u);
  }
}

}  // namespace
}  // namespace quorlix
