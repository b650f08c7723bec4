// Frame sizes and the decimation arithmetic shared by the receiver, the
// display thread and the exports.
#pragma once

#include <cstdint>

namespace quorvel {

// Byte size of one frame body. Only the low 16 bits of width and height
// count, read as signed, because that is what the camera's header carries;
// a Bayer frame (code 52) has 2 bytes a pixel, a monochrome frame (53) one,
// any other code 0. Widths read as negative give a negative size, which
// every caller must treat as "no valid frame".
std::int32_t FrameByteSize(std::int32_t width, std::int32_t height,
                           std::int32_t formatCode);

// (a + b - 1) / b with division truncating toward zero, formed in 64 bits
// so that large operands do not overflow. A zero divisor gives 0, and a
// quotient outside the 32-bit range (only possible with b == -1) saturates.
std::int32_t CeilDivide(std::int32_t a, std::int32_t b);

// Smallest step for which size / step (truncated) is at most limit, and the
// number of samples that step keeps, CeilDivide(size, step). Returns false
// and leaves both outputs untouched when size or limit is below 1 or an
// output pointer is null.
bool ChooseDecimationStep(std::int32_t size, std::int32_t limit,
                          std::int32_t* step, std::int32_t* displaySize);

}  // namespace quorvel
