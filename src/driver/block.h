// Heap blocks of noise bytes. Every phase takes its blocks from here, so a
// block that cannot be had ends the run with one text instead of letting a
// phase go on without it.
#ifndef QUORLIX_DRIVER_BLOCK_H_
#define QUORLIX_DRIVER_BLOCK_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorlix {

using Block = std::unique_ptr<std::uint8_t[]>;

// Both fail with "Unable to allocate memory".
Block AllocateBlock(std::size_t bytes);
Block AllocateZeroedBlock(std::size_t bytes);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_BLOCK_H_
