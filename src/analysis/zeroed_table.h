// Tables of counts that start at zero, for the estimators' context
// dictionaries. They are taken with calloc, so that a table's pages come
// from the system already zeroed as they are first touched: no pass of
// zeroing, and no pages for the parts a string never reaches.
#ifndef QUORLIX_ANALYSIS_ZEROED_TABLE_H_
#define QUORLIX_ANALYSIS_ZEROED_TABLE_H_

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

namespace quorlix {

template <typename T>
class ZeroedTable {
  static_assert(std::is_trivial_v<T>);

 public:
  // Throws std::bad_alloc when there is no memory for it.
  explicit ZeroedTable(std::size_t size) : entries_(static_cast<T*>(std::calloc(size, sizeof(T)))) {
    if (!entries_) throw std::bad_alloc();
  }

  T& operator[](std::size_t i) { return entries_[i]; }
  const T& operator[](std::size_t i) const { return entries_[i]; }

 private:
  struct Free {
    void operator()(T* entries) const { std::free(entries); }
  };
  std::unique_ptr<T[], Free> entries_;
};

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_ZEROED_TABLE_H_
