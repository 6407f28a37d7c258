#include "driver/block.h"

#include <cstdlib>

#include "driver/failure.h"

namespace quorlix {

void FreeBlock::operator()(std::uint8_t* bytes) const { std::free(bytes); }

Block AllocateBlock(std::size_t bytes) {
  Block block(static_cast<std::uint8_t*>(std::malloc(bytes == 0 ? 1 : bytes)));
  if (!block) Fail("Unable to allocate memory");
  return block;
}

Block AllocateZeroedBlock(std::size_t bytes) {
  Block block(static_cast<std::uint8_t*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
  if (!block) Fail("Unable to allocate memory");
  return block;
}

}  // namespace quorlix
