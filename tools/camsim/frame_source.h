// What the simulated camera shows: a few shapes that move across a
// gradient, as monochrome pictures or as run-coded motion masks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace camsim {

// A width x height monochrome picture (one byte a pixel) of frame number
// index: a diagonal gradient with bright moving discs.
std::vector<std::uint8_t> RenderPicture(std::int32_t width, std::int32_t height,
                                        std::uint32_t index);
// The motion mask of the same frame: 0xFF inside the moving discs, 0x00
// elsewhere.
std::vector<std::uint8_t> RenderMask(std::int32_t width, std::int32_t height,
                                     std::uint32_t index);
// The camera's run code of a mask: one byte a run of 1 to 128 pixels, bit 0
// the value (1 moving), bits 7..1 the length minus one.
std::vector<std::uint8_t> EncodeRuns(const std::vector<std::uint8_t>& mask);

// What a streaming camera sends: a short ring of frame bodies (pictures, or
// the run code of masks) rendered once per size and kind, so pushing a
// frame costs the camera little next to the library that receives it.
// Not thread-safe.
class FrameRing {
 public:
  using Body = std::shared_ptr<const std::vector<std::uint8_t>>;
  static constexpr std::uint32_t kLength = 32;

  // The body of frame index; frames index and index + kLength are alike.
  Body Get(std::int32_t width, std::int32_t height, bool mask,
           std::uint32_t index);

 private:
  std::int32_t width_ = 0, height_ = 0;
  bool mask_ = false;
  std::vector<Body> bodies_;
};

}  // namespace camsim
