// A folder on a tiny private file system that fills up after a known number
// of bytes: a full disk at a chosen moment of a run. Mounting needs root; a
// test that cannot have one skips.
#ifndef QUORLIX_TESTS_SUPPORT_SMALL_FILESYSTEM_H_
#define QUORLIX_TESTS_SUPPORT_SMALL_FILESYSTEM_H_

#include <cstddef>
#include <string>

#include "support/temp_dir.h"

namespace quorlix::testing {

struct SmallFilesystem {
  explicit SmallFilesystem(std::size_t pages);
  ~SmallFilesystem();
  SmallFilesystem(const SmallFilesystem&) = delete;
  SmallFilesystem& operator=(const SmallFilesystem&) = delete;
  TempDir mountPoint;
  bool mounted = false;
};

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_SMALL_FILESYSTEM_H_
