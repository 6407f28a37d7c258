#include "driver/temp_file_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>

#include "driver/failure.h"
#include "support/temp_dir.h"

namespace quorlix {
namespace {

using testing::ListFolder;
using testing::TempDir;

std::string Refusal(const std::string& folder, std::string& nameBuffer) {
  try {
    MakeTempName(folder.c_str(), "cap", nameBuffer);
  } catch (const FailureMessage& failure) {
    return failure.text;
  }
  return "";
}

TEST(MakeTempName, CreatesAnEmptyPrivateFileUnderThePrefix) {
  TempDir folder;
  for (const std::string& given : {folder.path, folder.path + "/"}) {
    for (const char* prefix : {"cap", "mid", "dat"}) {
      std::string name;
      MakeTempName(given.c_str(), prefix, name);
      EXPECT_TRUE(std::regex_match(name, std::regex(folder.path + "/" + prefix + "[0-9A-F]{4}\\.tmp")))
          << name;
      struct stat info;
      ASSERT_EQ(stat(name.c_str(), &info), 0);
      EXPECT_TRUE(S_ISREG(info.st_mode));
      EXPECT_EQ(info.st_mode & 0777, 0600u);
      EXPECT_EQ(info.st_size, 0);
    }
  }
  EXPECT_EQ(ListFolder(folder.path).size(), 6u) << "every name is new";
}

TEST(MakeTempName, SkipsTakenNamesAndPlantedLinksThenGivesUp) {
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
  std::string name;
  MakeTempName(folder.path.c_str(), "cap", name);
  EXPECT_EQ(name, folder.path + "/cap1234.tmp");
  EXPECT_EQ(Refusal(folder.path, name), "GetTempFileName failed");
  EXPECT_EQ(testing::ReadWholeFile(victim).size(), 7u);
}

TEST(MakeTempName, FailsAtOnceWhereNoFileCanBeMade) {
  TempDir folder;
  const std::string plainFile = folder.path + "/plain";
  testing::WriteTextFile(plainFile, "x");
  std::string name = "untouched";
  for (const std::string& bad : {folder.path + "/missing", plainFile, std::string(5000, 'a')}) {
    EXPECT_EQ(Refusal(bad, name), "GetTempFileName failed") << bad.substr(0, 80);
  }
  EXPECT_EQ(name, "untouched");
  EXPECT_EQ(ListFolder(folder.path).size(), 1u);
}

TEST(TempFileList, DeletesWhatItListsAndOnlyThat) {
  TempDir folder;
  TempFileList list;
  std::string name;
  for (int i = 0; i < 3; ++i) {
    MakeTempName(folder.path.c_str(), "cap", name);
    Append(list, name.c_str());
  }
  MakeTempName(folder.path.c_str(), "dat", name);
  Append(list, (folder.path + "/already-gone").c_str());
  ASSERT_EQ(list.names.size(), 4u);
  DeleteListedFiles(list);
  EXPECT_TRUE(list.names.empty());
  EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{name.substr(folder.path.size() + 1)});
}

}  // namespace
}  // namespace quorlix
