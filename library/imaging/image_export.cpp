#include "imaging/image_export.h"

#include <cstdio>
#include <cwctype>
#include <limits>
#include <memory>
#include <new>

#include "imaging/convert.h"
#include "imaging/frame_size.h"
#include "imaging/pixel_format.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace quorvel {

namespace {

constexpr std::size_t kLongestName = 255;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::int32_t kBayerDepth = 10;
constexpr std::int32_t kMonoDepth = 8;
// The conversion routines index images with 32-bit arithmetic; a work
// image must stay within that range.
constexpr std::uint64_t kLargestWorkImage =
    std::numeric_limits<std::int32_t>::max();

std::unique_ptr<std::uint8_t[]> TryAllocate(std::uint64_t bytes) {
  if (bytes > kLargestWorkImage) return nullptr;
  try {
    return std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(bytes));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::uint64_t WorkImageBytes(std::int32_t width, std::int32_t height) {
  return static_cast<std::uint64_t>(width) *
         static_cast<std::uint64_t>(height) * 4;
}

// A file that is removed again unless Commit() says it was completely
// written, so a failed export never leaves a partial file.
class OutputFile {
 public:
  explicit OutputFile(const std::wstring& name)
      : path_(platform::FileSystemName(name)) {
    if (!path_.empty()) file_ = std::fopen(path_.c_str(), "wb");
  }
  ~OutputFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!committed_ && file_ != nullptr) std::remove(path_.c_str());
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Write(const void* bytes, std::size_t count) {
    ok_ = ok_ && file_ != nullptr &&
          (count == 0 || std::fwrite(bytes, 1, count, file_) == count);
    return ok_;
  }
  bool Commit() {
    if (file_ == nullptr) return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    committed_ = ok_ && closed;
    if (!committed_) std::remove(path_.c_str());
    return committed_;
  }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  bool ok_ = true;
  bool committed_ = false;
};

}  // namespace

std::wstring NormaliseFileName(std::wstring_view name,
                               std::wstring_view extension) {
  std::size_t begin = 0, end = name.size();
  while (begin < end && std::iswspace(static_cast<wint_t>(name[begin])))
    ++begin;
  while (end > begin && std::iswspace(static_cast<wint_t>(name[end - 1])))
    --end;
  std::wstring trimmed(name.substr(begin, end - begin));

  if (trimmed.size() > 4) {
    std::wstring tail = trimmed.substr(trimmed.size() - 4);
    for (wchar_t& c : tail)
      c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    if (tail != extension) trimmed += extension;
  } else {
    trimmed += extension;
    // A bare extension, or nothing before it, names no file.
    if (trimmed.front() == L'.') trimmed.clear();
  }
  if (trimmed.size() > kLongestName) trimmed.clear();
  return trimmed;
}

bool WriteRawFile(const std::uint8_t* pixels, const std::wstring& name,
                  std::size_t size) {
  OutputFile file(name);
  file.Write(pixels, size);
  return file.Commit();
}

std::vector<std::uint8_t> BuildBmpInfo(std::int32_t storedWidth,
                                       std::int32_t height, std::int32_t bits) {
  const std::uint32_t extra = bits == 8 ? 256 * 4 : bits == 16 ? 3 * 4 : 0;
  std::vector<std::uint8_t> info(kInfoHeaderSize + extra, 0);
  std::uint8_t* at = info.data();
  const auto imageSize =
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(storedWidth) *
                                 static_cast<std::uint32_t>(bits) *
                                 static_cast<std::uint32_t>(height) / 8);
  platform::StoreLE32(at + 0, kInfoHeaderSize);
  platform::StoreLE32(at + 4, static_cast<std::uint32_t>(storedWidth));
  platform::StoreLE32(at + 8, static_cast<std::uint32_t>(height));
  platform::StoreLE16(at + 12, 1);
  platform::StoreLE16(at + 14, static_cast<std::uint16_t>(bits));
  platform::StoreLE32(at + 16, bits == 16 ? 3u : 0u);  // BI_BITFIELDS : BI_RGB
  platform::StoreLE32(at + 20, imageSize);
  platform::StoreLE32(at + 24, 10000);
  platform::StoreLE32(at + 28, 10000);
  platform::StoreLE32(at + 32, bits == 8 ? 256u : bits == 16 ? 3u : 0u);
  std::uint8_t* tail = at + kInfoHeaderSize;
  if (bits == 8) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      tail[4 * i] = tail[4 * i + 1] = tail[4 * i + 2] =
          static_cast<std::uint8_t>(i);
    }
  } else if (bits == 16) {
    platform::StoreLE32(tail, 0x0000F800);
    platform::StoreLE32(tail + 4, 0x000007E0);
    platform::StoreLE32(tail + 8, 0x0000001F);
  }
  return info;
}

bool WriteBmpFile(const std::uint8_t* pixels, const std::wstring& name,
                  std::int32_t width, std::int32_t height, std::int32_t bits) {
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (pixels == nullptr || width <= 0 || height <= 0) return false;
  // Whole 4-byte units per row without padding: the picture is cropped.
  const std::int32_t storedWidth = width & ~3;
  const std::int32_t fileBits = bits == 32 ? 24 : bits;
  const std::uint64_t sourcePitch =
      static_cast<std::uint64_t>(width) * (bits / 8);
  const std::uint64_t rowBytes =
      static_cast<std::uint64_t>(storedWidth) * (fileBits / 8);
  const std::uint64_t imageSize = rowBytes * static_cast<std::uint64_t>(height);
  const std::vector<std::uint8_t> info =
      BuildBmpInfo(storedWidth, height, fileBits);
  const std::uint64_t fileSize = kFileHeaderSize + info.size() + imageSize;
  if (fileSize > std::numeric_limits<std::uint32_t>::max()) return false;

  std::unique_ptr<std::uint8_t[]> data = TryAllocate(imageSize);
  if (data == nullptr && imageSize > 0) return false;
  for (std::int32_t i = 0; i < height; ++i) {
    const std::uint8_t* source =
        pixels + sourcePitch * static_cast<std::uint64_t>(height - 1 - i);
    std::uint8_t* target =
        data.get() + rowBytes * static_cast<std::uint64_t>(i);
    if (bits == 32) {
      for (std::int32_t x = 0; x < storedWidth; ++x) {
        target[3 * x] = source[4 * x];
        target[3 * x + 1] = source[4 * x + 1];
        target[3 * x + 2] = source[4 * x + 2];
      }
    } else if (rowBytes > 0) {
      std::copy(source, source + rowBytes, target);
    }
  }

  std::uint8_t header[kFileHeaderSize] = {'B', 'M'};
  platform::StoreLE32(header + 2, static_cast<std::uint32_t>(fileSize));
  platform::StoreLE32(
      header + 10, static_cast<std::uint32_t>(kFileHeaderSize + info.size()));
  OutputFile file(name);
  file.Write(header, sizeof header);
  file.Write(info.data(), info.size());
  file.Write(data.get(), static_cast<std::size_t>(imageSize));
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
  if (pixelFormat == kPixelFormatMono) {
    return WriteBmpFile(pixels, name, width, height, 8);
  }
  if (pixelFormat != kPixelFormatBayer) return false;
  std::unique_ptr<std::uint8_t[]> work =
      TryAllocate(WorkImageBytes(width, height));
  std::unique_ptr<std::uint8_t[]> packed =
      TryAllocate(static_cast<std::uint64_t>(width) *
                  static_cast<std::uint64_t>(height) * 3);
  if (work == nullptr || packed == nullptr) return false;
  DemosaicBayer(pixels, work.get(), width, height, width, kBayerDepth);
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
  if (pixelFormat != kPixelFormatBayer && pixelFormat != kPixelFormatMono)
    return false;
  // Zero-filled, so the fourth byte of a demosaiced pixel is 0 as well.
  std::unique_ptr<std::uint8_t[]> work =
      TryAllocate(WorkImageBytes(width, height));
  if (work == nullptr) return false;
  if (pixelFormat == kPixelFormatBayer) {
    DemosaicBayer(pixels, work.get(), width, height, width, kBayerDepth);
  } else {
    ExpandMono(pixels, work.get(), width, height, kMonoDepth);
  }
  platform::SleepMs(1);
  DecimateAndPack(work.get(), destination, width, height, bitsPerPixel, 1,
                  nullptr, 1, nullptr);
  platform::SleepMs(1);
  return true;
}

}  // namespace quorvel
