#include "driver/block.h"

#include <cstring>
#include <new>

#include "driver/failure.h"

namespace quorlix {

Block AllocateBlock(std::size_t bytes) {
  Block block(new (std::nothrow) std::uint8_t[bytes]);
  if (!block) Fail("Unable to allocate memory");
  return block;
}

Block AllocateZeroedBlock(std::size_t bytes) {
  Block block = AllocateBlock(bytes);
  std::memset(block.get(), 0, bytes);
  return block;
}

}  // namespace quorlix
