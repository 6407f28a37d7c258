#include "combine/xor_kernels.h"

namespace quorlix {

unsigned RotationCounter = 0;

void XorIntoScalar(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) target[i] = static_cast<std::uint8_t>(target[i] ^ source[i]);
}

void XorInto(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  XorIntoScalar(target, source, length);
}

void RotateXorIntoScalar(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    unsigned s = source[i];
    unsigned r = RotationCounter;
    result[i] = static_cast<std::uint8_t>(result[i] ^ ((s << r) | (s >> (8 - r))));
    RotationCounter = (RotationCounter + 1) & 7u;
  }
}

void RotateXorInto(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  RotateXorIntoScalar(result, source, length);
}

}  // namespace quorlix
