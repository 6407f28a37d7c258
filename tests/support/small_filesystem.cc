#include "support/small_filesystem.h"

#include <sys/mount.h>

namespace quorlix::testing {

SmallFilesystem::SmallFilesystem(std::size_t pages) {
  const std::string options = "size=" + std::to_string(pages * 4096) + ",mode=0700";
  mounted = mount("tmpfs", mountPoint.path.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallFilesystem::~SmallFilesystem() {
  if (mounted) umount2(mountPoint.path.c_str(), MNT_DETACH);
}

}  // namespace quorlix::testing
