// The two XOR folds that combine noise blocks. XorInto is the plain fold of
// stage one; RotateXorInto rotates each source byte left by a process-wide
// counter that advances byte by byte and runs on from call to call, so the
// rotation pattern continues across stage two's mid files.
#ifndef QUORLIX_COMBINE_XOR_KERNELS_H_
#define QUORLIX_COMBINE_XOR_KERNELS_H_

#include <cstddef>
#include <cstdint>

namespace quorlix {

// Rotation (0 to 7) for the next byte RotateXorInto handles; 0 at start-up.
extern unsigned RotationCounter;

// target[i] ^= source[i] for every i below length. The blocks are distinct
// (or the same block); a partly overlapping pair is not supported.
void XorInto(std::uint8_t* target, const std::uint8_t* source, std::size_t length);
void XorIntoScalar(std::uint8_t* target, const std::uint8_t* source, std::size_t length);

// result[i] ^= source[i] rotated left by RotationCounter, which then advances
// by one modulo 8.
void RotateXorInto(std::uint8_t* result, const std::uint8_t* source, std::size_t length);
void RotateXorIntoScalar(std::uint8_t* result, const std::uint8_t* source, std::size_t length);

}  // namespace quorlix

#endif  // QUORLIX_COMBINE_XOR_KERNELS_H_
