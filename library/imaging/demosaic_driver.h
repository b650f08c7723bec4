// The vector Bayer interpolation, written once for every instruction set:
// demosaic_sse2.cpp and demosaic_avx2.cpp each describe their loads, lane
// selection and stores in a small `Isa` struct and instantiate the loops
// below with it, a row at a time, one vector of 16-bit lanes a step.
//
// Every colour is some sum of samples shifted right and cut to its low 8
// bits. The sums are brought to a common scale (pairs doubled, the own
// sample times four) so that each site kind needs one shift by 2 + k. Lane
// arithmetic wraps at 16 bits, which loses nothing: the stored byte holds
// bits 2 + k to 9 + k of the scaled sum, at most bit 13, and wrapping only
// changes bits 16 and up.
//
// Include this from the instruction-set files only. Each compiles it with
// its own instruction set, so no definition here may be shared between
// them (pixel_kernels.h says why): everything is a template over the
// including file's own Isa and sits in an unnamed namespace, so each object
// file keeps its own instantiations and the linker has nothing to merge.
//
// An Isa provides:
//   Lanes                    unsigned 16-bit lanes (a GNU vector type)
//   LoadWide(p)              a vector of 16-bit samples from p
//   LoadNarrow(p)            a vector of 8-bit samples from p, widened
//   OddLanesFrom(even, odd)  even's even lanes and odd's odd lanes
//   Store(out, blueGreen, red)
//                            the lanes' work pixels at out from their
//                            blue-green pairs and red bytes, keeping each
//                            fourth byte
//   Narrow(frame)            the interior of a frame narrower than a block
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging {
namespace {

struct DemosaicRows {
  const std::uint8_t* up;
  const std::uint8_t* mid;
  const std::uint8_t* down;
  std::uint8_t* out;
};

// The five scaled sums around each of the lanes' pixels.
template <class Lanes>
struct DemosaicSums {
  Lanes own4;      // 4 x own
  Lanes pairH2;    // 2 x horizontal pair
  Lanes pairV2;    // 2 x vertical pair
  Lanes cross;     // the four orthogonal neighbours
  Lanes diagonal;  // the four diagonal neighbours
};

template <class Lanes>
struct DemosaicBgr {
  Lanes blue, green, red;
};

template <class Isa>
inline constexpr std::ptrdiff_t kDemosaicLanes = sizeof(typename Isa::Lanes) /
                                                 sizeof(std::uint16_t);

// Samples x .. x + kDemosaicLanes - 1 of a row.
template <class Isa, bool kWide>
inline typename Isa::Lanes DemosaicLoad(const std::uint8_t* row,
                                        std::ptrdiff_t x) {
  if constexpr (kWide) {
    return Isa::LoadWide(row + 2 * x);
  } else {
    return Isa::LoadNarrow(row + x);
  }
}

// Which sum feeds which colour at a site of the given row and column parity.
template <bool kOddRow, bool kOddColumn, class Lanes>
inline DemosaicBgr<Lanes> DemosaicSite(const DemosaicSums<Lanes>& s) {
  if constexpr (!kOddRow && !kOddColumn) {  // green in a red row
    return {s.pairV2, s.own4, s.pairH2};
  } else if constexpr (!kOddRow && kOddColumn) {  // red
    return {s.diagonal, s.cross, s.own4};
  } else if constexpr (kOddRow && !kOddColumn) {  // blue
    return {s.own4, s.cross, s.diagonal};
  } else {  // green in a blue row
    return {s.pairH2, s.own4, s.pairV2};
  }
}

// Pixels x .. x + kDemosaicLanes - 1 of the row; kOddStart is the parity of x.
template <class Isa, int kShift, bool kWide, bool kOddRow, bool kOddStart>
inline void DemosaicBlock(const DemosaicRows& rows, std::ptrdiff_t x) {
  using Lanes = typename Isa::Lanes;
  const Lanes left = DemosaicLoad<Isa, kWide>(rows.mid, x - 1);
  const Lanes own = DemosaicLoad<Isa, kWide>(rows.mid, x);
  const Lanes right = DemosaicLoad<Isa, kWide>(rows.mid, x + 1);
  const Lanes verticalLeft = DemosaicLoad<Isa, kWide>(rows.up, x - 1) +
                             DemosaicLoad<Isa, kWide>(rows.down, x - 1);
  const Lanes vertical = DemosaicLoad<Isa, kWide>(rows.up, x) +
                         DemosaicLoad<Isa, kWide>(rows.down, x);
  const Lanes verticalRight = DemosaicLoad<Isa, kWide>(rows.up, x + 1) +
                              DemosaicLoad<Isa, kWide>(rows.down, x + 1);
  const Lanes horizontal = left + right;
  const DemosaicSums<Lanes> sums{own << 2, horizontal << 1, vertical << 1,
                                 horizontal + vertical,
                                 verticalLeft + verticalRight};
  const DemosaicBgr<Lanes> even = DemosaicSite<kOddRow, kOddStart>(sums);
  const DemosaicBgr<Lanes> odd = DemosaicSite<kOddRow, !kOddStart>(sums);

  constexpr int kScale = 2 + kShift;
  const Lanes blue = (Isa::OddLanesFrom(even.blue, odd.blue) >> kScale) & 0xFF;
  // Green goes straight to the high byte of the blue-green pair.
  const Lanes green = (Isa::OddLanesFrom(even.green, odd.green) >> kScale) << 8;
  const Lanes red = (Isa::OddLanesFrom(even.red, odd.red) >> kScale) & 0xFF;
  Isa::Store(rows.out + 4 * x, blue | green, red);
}

template <class Isa, int kShift, bool kWide, bool kOddRow>
void DemosaicRow(const DemosaicRows& rows, std::int32_t width) {
  // Largest start whose block ends on the last interior column, width - 2.
  const std::ptrdiff_t last = width - 1 - kDemosaicLanes<Isa>;
  std::ptrdiff_t x = 1;
  for (; x <= last; x += kDemosaicLanes<Isa>) {
    DemosaicBlock<Isa, kShift, kWide, kOddRow, true>(rows, x);
  }
  if (x < width - 1) {
    // The rest in one block that overlaps the previous one; pixels written
    // twice get the same value twice.
    if ((last & 1) != 0) {
      DemosaicBlock<Isa, kShift, kWide, kOddRow, true>(rows, last);
    } else {
      DemosaicBlock<Isa, kShift, kWide, kOddRow, false>(rows, last);
    }
  }
}

template <class Isa, int kShift, bool kWide>
void DemosaicRowsOf(const BayerFrame& frame) {
  const std::ptrdiff_t outPitch = std::ptrdiff_t{frame.width} * 4;
  for (std::int32_t y = 1; y < frame.height - 1; ++y) {
    const std::uint8_t* mid = frame.source + y * frame.pitchBytes;
    const DemosaicRows rows{mid - frame.pitchBytes, mid, mid + frame.pitchBytes,
                            frame.destination + y * outPitch};
    if ((y & 1) != 0) {
      DemosaicRow<Isa, kShift, kWide, true>(rows, frame.width);
    } else {
      DemosaicRow<Isa, kShift, kWide, false>(rows, frame.width);
    }
  }
}

template <class Isa>
void DemosaicInteriorWith(const BayerFrame& frame) {
  if (frame.width < kDemosaicLanes<Isa> + 2) {
    Isa::Narrow(frame);
    return;
  }
  switch (frame.depth) {
    case 8:
      DemosaicRowsOf<Isa, 0, false>(frame);
      return;
    case 10:
      DemosaicRowsOf<Isa, 2, true>(frame);
      return;
    case 12:
      DemosaicRowsOf<Isa, 4, true>(frame);
      return;
    default:
      return;
  }
}

}  // namespace
}  // namespace quorvel::imaging
