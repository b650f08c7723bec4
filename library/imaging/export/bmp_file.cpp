// The BMP layout: file header, info header with palette or masks, and the
// rows bottom-up.
#include "imaging/export/image_export.h"

#include <algorithm>
#include <limits>

#include "imaging/export/image_buffer.h"
#include "imaging/export/output_file.h"
#include "platform/byte_order.h"

namespace quorvel {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

}  // namespace

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

  std::unique_ptr<std::uint8_t[]> data = imaging::TryAllocateImage(imageSize);
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
  imaging::OutputFile file(name);
  file.Write(header, sizeof header);
  file.Write(info.data(), info.size());
  file.Write(data.get(), static_cast<std::size_t>(imageSize));
  return file.Commit();
}

}  // namespace quorvel
