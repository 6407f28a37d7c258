// Processors without a vector form of the folds use the word-wide forms.
#include "combine/xor_kernel_forms.h"
#include "combine/xor_kernels.h"

namespace quorlix {

void XorInto(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  XorIntoWords(target, source, length);
}

void RotateXorInto(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  RotateXorIntoWords(result, source, length);
}

std::vector<FoldForm> XorIntoForms() { return {{"Words", XorIntoWords, true}}; }

std::vector<FoldForm> RotateXorIntoForms() { return {{"Words", RotateXorIntoWords, true}}; }

}  // namespace quorlix
