// The forms of the two XOR folds that this build carries, listed so that
// each one can be checked against the byte-by-byte reference on its own,
// whichever of them XorInto and RotateXorInto happen to pick on the test
// machine. The word-wide forms are plain C++ and exist everywhere; the
// vector forms depend on the processor family the build targets, and a form
// can be built in and still be unusable on the processor at hand.
#ifndef QUORLIX_COMBINE_XOR_KERNEL_FORMS_H_
#define QUORLIX_COMBINE_XOR_KERNEL_FORMS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorlix {

using FoldFunction = void (*)(std::uint8_t* target, const std::uint8_t* source, std::size_t length);

struct FoldForm {
  const char* name;
  FoldFunction fold;
  bool usable;  // this processor has the instructions the form needs
};

std::vector<FoldForm> XorIntoForms();
std::vector<FoldForm> RotateXorIntoForms();

// Eight bytes at a time in a 64-bit word: the form for processors that have
// no vector form here.
void XorIntoWords(std::uint8_t* target, const std::uint8_t* source, std::size_t length);
void RotateXorIntoWords(std::uint8_t* result, const std::uint8_t* source, std::size_t length);

}  // namespace quorlix

#endif  // QUORLIX_COMBINE_XOR_KERNEL_FORMS_H_
