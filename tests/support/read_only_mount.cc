// The bind mount onto the folder itself and its switch to read-only.
#include "support/read_only_mount.h"

#include <sys/mount.h>

namespace quorlix::testing {

ReadOnlyMount::ReadOnlyMount(const std::string& folder) : folder_(folder) {
  mounted_ = mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

ReadOnlyMount::~ReadOnlyMount() {
  if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
}

bool ReadOnlyMount::MakeReadOnly() {
  return mounted_ &&
         mount(nullptr, folder_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

}  // namespace quorlix::testing
