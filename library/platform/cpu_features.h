// What the processor runs beyond the build's baseline instruction set. The
// pixel conversions and the motion-mask code both choose their AVX2 build
// here, so one switch sends every routine down the same path.
#pragma once

namespace quorvel::platform {

// True when the processor and its operating system (which must save the
// 256-bit registers) run AVX2 code and AllowAvx2 has not turned it off.
// Cheap enough to ask on every frame.
bool CpuHasAvx2();

// With false, CpuHasAvx2 answers false, so that tests run the baseline code
// on an AVX2 machine; true (the default) restores the processor's answer.
void AllowAvx2(bool allowed);

}  // namespace quorvel::platform
