// The records of the files a run has made and not yet deleted or kept, in a
// form that a signal handler, or another thread ending the process, can read
// without taking a lock or allocating: blocks that never move, filled in
// order, each record complete before it is published. Each platform's file
// layer keeps its own kind of record in one table of these.
#ifndef QUORLIX_PLATFORM_MADE_RECORDS_H_
#define QUORLIX_PLATFORM_MADE_RECORDS_H_

#include <atomic>
#include <cstddef>
#include <new>

namespace quorlix {

template <typename Record>
struct MadeRecords {
  static constexpr std::size_t kBlockRecords = 1024;
  static constexpr std::size_t kMaxBlocks = 256;
  std::atomic<Record*> blocks[kMaxBlocks] = {};
  // Records below this are complete; the handlers read no further.
  std::atomic<std::size_t> used{0};
  // Records still the run's, kept by the thread that makes files.
  std::size_t live = 0;

  Record* At(std::size_t index) {
    if (index / kBlockRecords >= kMaxBlocks) return nullptr;
    Record* block = blocks[index / kBlockRecords].load(std::memory_order_acquire);
    return block == nullptr ? nullptr : block + index % kBlockRecords;
  }

  // A record for a new file, at index, or null when none can be had. Once
  // nothing is live, the records are reused from the start.
  Record* New(std::size_t& index) {
    if (live == 0) used.store(0, std::memory_order_release);
    index = used.load(std::memory_order_relaxed);
    if (index / kBlockRecords >= kMaxBlocks) return nullptr;
    std::atomic<Record*>& block = blocks[index / kBlockRecords];
    if (block.load(std::memory_order_relaxed) == nullptr) {
      block.store(new (std::nothrow) Record[kBlockRecords](), std::memory_order_release);
    }
    return At(index);
  }

  // The record at index is complete: the handlers may read it.
  void Publish(std::size_t index) { used.store(index + 1, std::memory_order_release); }
};

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_MADE_RECORDS_H_
