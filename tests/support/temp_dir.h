// A fresh folder under the system's temporary folder, removed with everything
// in it when the test is done.
#ifndef QUORLIX_TESTS_SUPPORT_TEMP_DIR_H_
#define QUORLIX_TESTS_SUPPORT_TEMP_DIR_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace quorlix::testing {

struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
};

// Names (not paths) of the entries directly inside folder.
std::set<std::string> ListFolder(const std::string& folder);

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_TEMP_DIR_H_
