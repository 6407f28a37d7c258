// Heap blocks of noise bytes. Every phase takes its blocks from here, so a
// block that cannot be had ends the run with one text instead of letting a
// phase go on without it.
#ifndef QUORLIX_DRIVER_BLOCK_H_
#define QUORLIX_DRIVER_BLOCK_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorlix {

struct FreeBlock {
  void operator()(std::uint8_t* bytes) const;
};

using Block = std::unique_ptr<std::uint8_t[], FreeBlock>;

// Both fail with "Unable to allocate memory". A zeroed block takes its pages
// from the system as they are first written, so a block that fills slowly
// (a long capture's bits) holds only what has been written so far.
Block AllocateBlock(std::size_t bytes);
Block AllocateZeroedBlock(std::size_t bytes);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_BLOCK_H_
