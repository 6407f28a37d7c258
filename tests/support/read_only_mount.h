// A folder bound onto itself, so that a test can make it read-only while a
// run is going on: root, which the mounting needs, ignores permission bits
// but not a read-only mount. A test that cannot mount skips.
#ifndef QUORLIX_TESTS_SUPPORT_READ_ONLY_MOUNT_H_
#define QUORLIX_TESTS_SUPPORT_READ_ONLY_MOUNT_H_

#include <string>

namespace quorlix::testing {

class ReadOnlyMount {
 public:
  explicit ReadOnlyMount(const std::string& folder);
  ~ReadOnlyMount();
  ReadOnlyMount(const ReadOnlyMount&) = delete;
  ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

  bool mounted() const { return mounted_; }
  // From now on nothing can be created, written or deleted in the folder.
  bool MakeReadOnly();

 private:
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_READ_ONLY_MOUNT_H_
