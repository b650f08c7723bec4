#include "imaging/export/image_export.h"

#include "imaging/convert.h"
#include "imaging/export/image_buffer.h"
#include "imaging/export/output_file.h"
#include "imaging/frame_size.h"
#include "imaging/pixel_format.h"
#include "platform/clock.h"
#include "quorvel/quorvel.h"

namespace quorvel {

bool WriteRawFile(const std::uint8_t* pixels, const std::wstring& name,
                  std::size_t size) {
  imaging::OutputFile file(name);
  file.Write(pixels, size);
  return file.Commit();
}

bool RawImageToRawFile(const std::uint8_t* pixels, const wchar_t* fileName,
                       std::int32_t width, std::int32_t height,
                       std::int32_t pixelFormat) {
  if (pixels == nullptr || width <= 0 || height <= 0 || fileName == nullptr)
    return false;
  const std::wstring name = NormaliseFileName(fileName, L".raw");
  if (name.empty()) return false;
  const std::int32_t size = FrameByteSize(width, height, pixelFormat);
  if (size <= 0) return false;
  return WriteRawFile(pixels, name, static_cast<std::size_t>(size));
}

bool RawImageToBmpRGBFile(const std::uint8_t* pixels, const wchar_t* fileName,
                          std::int32_t width, std::int32_t height,
                          std::int32_t pixelFormat) {
  if (pixels == nullptr || width <= 0 || height <= 0 || fileName == nullptr)
    return false;
  const std::wstring name = NormaliseFileName(fileName, L".bmp");
  if (name.empty()) return false;
  if (pixelFormat == RVX_FORMAT_MONO8) {
    return WriteBmpFile(pixels, name, width, height, 8);
  }
  if (pixelFormat != RVX_FORMAT_BAYER_GRBG10) return false;
  std::unique_ptr<std::uint8_t[]> work =
      imaging::TryAllocateImage(imaging::WorkImageBytes(width, height));
  std::unique_ptr<std::uint8_t[]> packed =
      imaging::TryAllocateImage(static_cast<std::uint64_t>(width) *
                                static_cast<std::uint64_t>(height) * 3);
  if (work == nullptr || packed == nullptr) return false;
  if (!ConvertToWork(pixelFormat, pixels, work.get(), width, height))
    return false;
  DecimateAndPack(work.get(), packed.get(), width, height, 24, 1, nullptr, 1,
                  nullptr);
  work.reset();
  return WriteBmpFile(packed.get(), name, width, height, 24);
}

bool RawImageToBmpImage(const std::uint8_t* pixels, std::uint8_t* destination,
                        std::int32_t width, std::int32_t height,
                        std::int32_t bitsPerPixel, std::int32_t pixelFormat) {
  if (pixels == nullptr || destination == nullptr || width <= 0 || height <= 0)
    return false;
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
    return false;
  if (FindPixelFormat(pixelFormat) == nullptr) return false;
  // Zero-filled, so the fourth byte of a demosaiced pixel is 0 as well.
  std::unique_ptr<std::uint8_t[]> work =
      imaging::TryAllocateImage(imaging::WorkImageBytes(width, height));
  if (work == nullptr) return false;
  if (!ConvertToWork(pixelFormat, pixels, work.get(), width, height))
    return false;
  platform::SleepMs(1);
  DecimateAndPack(work.get(), destination, width, height, bitsPerPixel, 1,
                  nullptr, 1, nullptr);
  platform::SleepMs(1);
  return true;
}

}  // namespace quorvel
