// The suffix array of a string of noise bits, for the tuple estimates when
// the string repeats itself over more than 64 bits. libdivsufsort builds it
// in time that stays near linear even for strings made of long repeats.
#ifndef QUORLIX_ANALYSIS_SUFFIX_SORT_H_
#define QUORLIX_ANALYSIS_SUFFIX_SORT_H_

#include <cstdint>
#include <vector>

#include "analysis/noise_bit_string.h"

namespace quorlix {

// Starting positions of all suffixes, in lexicographic order (a suffix
// before every longer one it begins).
std::vector<std::int32_t> SortSuffixes(const NoiseBitString& s);

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_SUFFIX_SORT_H_
