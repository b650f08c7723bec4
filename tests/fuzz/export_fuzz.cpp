// Fuzz target: what a caller passes to the image exports. File names from
// the input only go through the name rule; every file is written under one
// fixed name in a private temporary directory, and only those files are
// ever removed.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_options.h"
#include "fuzz_support.h"
#include "imaging/export/image_export.h"
#include "imaging/frame_size.h"
#include "platform/byte_order.h"
#include "platform/text.h"
#include "quorvel/quorvel.h"

namespace quorvel::fuzz {
namespace {

// The one directory this target writes into, made on first use and emptied
// and removed when the process ends normally.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char pattern[] = "/tmp/quorvel-export-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern;
    bmp_ = path_ + "/out.bmp";
    raw_ = path_ + "/out.raw";
  }
  ~ScratchDirectory() {
    Clear();
    (void)::rmdir(path_.c_str());
  }
  void Clear() const {
    (void)std::remove(bmp_.c_str());
    (void)std::remove(raw_.c_str());
  }
  const std::string& bmp() const { return bmp_; }
  const std::string& raw() const { return raw_; }

 private:
  std::string path_, bmp_, raw_;
};

const ScratchDirectory& Scratch() {
  static const ScratchDirectory directory;
  return directory;
}

std::wstring Wide(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(file != nullptr);
  std::uint8_t chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  std::fclose(file);
  return bytes;
}

// Pixels of exactly size bytes, the input's bytes repeated (or a ramp when
// there are none), so a read past the caller's buffer is caught.
std::unique_ptr<std::uint8_t[]> MakePixels(std::size_t size,
                                           const std::uint8_t* bytes,
                                           std::size_t count) {
  auto pixels = std::make_unique<std::uint8_t[]>(size > 0 ? size : 1);
  for (std::size_t i = 0; i < size; ++i) {
    pixels[i] = count > 0 ? bytes[i % count] : static_cast<std::uint8_t>(i);
  }
  return pixels;
}

// ---- The file-name rule.

std::wstring ReadName(NameReading reading, const std::uint8_t* bytes,
                      std::size_t count) {
  std::wstring name;
  switch (reading) {
    case NameReading::kWide:
      for (std::size_t i = 0; i + 4 <= count; i += 4) {
        name.push_back(
            static_cast<wchar_t>(platform::LoadLE32Signed(bytes + i)));
      }
      break;
    case NameReading::kNarrow: {
      // As the A exports receive it: text up to its terminator.
      const std::string narrow(
          reinterpret_cast<const char*>(bytes),
          strnlen(reinterpret_cast<const char*>(bytes), count));
      name = platform::WidenText(narrow.c_str());
      break;
    }
    default:
      for (std::size_t i = 0; i < count; ++i) name.push_back(bytes[i]);
      break;
  }
  return name;
}

bool IsSpace(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) {
    c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
  return text;
}

void CheckNameRule(const std::wstring& name, const std::wstring& extension) {
  const std::wstring result = NormaliseFileName(name, extension);
  std::size_t begin = 0, end = name.size();
  while (begin < end && IsSpace(name[begin])) ++begin;
  while (end > begin && IsSpace(name[end - 1])) --end;
  const std::wstring trimmed = name.substr(begin, end - begin);
  const bool hasExtension =
      trimmed.size() > 4 &&
      Lower(trimmed.substr(trimmed.size() - 4)) == extension;
  const std::wstring named = hasExtension ? trimmed : trimmed + extension;
  // Refused: a bare extension (nothing or a dot before it) or a name that
  // does not fit the 255 characters of the name buffer.
  const bool refused =
      (trimmed.size() <= 4 && named.front() == L'.') || named.size() > 255;
  if (refused) {
    FUZZ_CHECK(result.empty());
    return;
  }
  FUZZ_CHECK(result == named);
  FUZZ_CHECK(result.size() <= 255);
  FUZZ_CHECK(!IsSpace(result.front()) && !IsSpace(result.back()));
  FUZZ_CHECK(Lower(result.substr(result.size() - 4)) == extension);
}

void FuzzFileName(ByteReader& in) {
  const auto reading = static_cast<NameReading>(in.U8() % 3);
  const std::wstring name = ReadName(reading, in.rest(), in.restSize());
  CheckNameRule(name, L".raw");
  CheckNameRule(name, L".bmp");
}

// ---- BMP files.

std::uint32_t InfoSize(std::int32_t fileBits) {
  return 40 + (fileBits == 8 ? 1024 : fileBits == 16 ? 12 : 0);
}

// Checks a BMP file against its own header and the layout of the format:
// sizes, offsets, palette or masks. Returns the pixel data.
std::vector<std::uint8_t> CheckBmpFile(const std::string& path,
                                       std::int32_t width, std::int32_t height,
                                       std::int32_t fileBits) {
  const std::vector<std::uint8_t> file = ReadFile(path);
  const std::int32_t storedWidth = width & ~3;
  const std::uint32_t infoSize = InfoSize(fileBits);
  const std::uint64_t imageSize =
      static_cast<std::uint64_t>(storedWidth) * (fileBits / 8) * height;
  FUZZ_CHECK(file.size() == 14 + infoSize + imageSize);
  const std::uint8_t* at = file.data();
  FUZZ_CHECK(at[0] == 'B' && at[1] == 'M');
  FUZZ_CHECK(platform::LoadLE32(at + 2) == file.size());
  FUZZ_CHECK(platform::LoadLE32(at + 6) == 0);
  FUZZ_CHECK(platform::LoadLE32(at + 10) == 14 + infoSize);
  const std::uint8_t* info = at + 14;
  FUZZ_CHECK(platform::LoadLE32(info) == 40);
  FUZZ_CHECK(platform::LoadLE32Signed(info + 4) == storedWidth);
  FUZZ_CHECK(platform::LoadLE32Signed(info + 8) == height);
  FUZZ_CHECK(platform::LoadLE16(info + 12) == 1);
  FUZZ_CHECK(platform::LoadLE16(info + 14) == fileBits);
  FUZZ_CHECK(platform::LoadLE32(info + 16) == (fileBits == 16 ? 3u : 0u));
  FUZZ_CHECK(platform::LoadLE32(info + 20) == imageSize);
  FUZZ_CHECK(platform::LoadLE32(info + 24) == 10000 &&
             platform::LoadLE32(info + 28) == 10000);
  FUZZ_CHECK(platform::LoadLE32(info + 32) == (fileBits == 8    ? 256u
                                               : fileBits == 16 ? 3u
                                                                : 0u));
  FUZZ_CHECK(platform::LoadLE32(info + 36) == 0);
  const std::uint8_t* tail = info + 40;
  if (fileBits == 8) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      FUZZ_CHECK(tail[4 * i] == i && tail[4 * i + 1] == i &&
                 tail[4 * i + 2] == i && tail[4 * i + 3] == 0);
    }
  } else if (fileBits == 16) {
    FUZZ_CHECK(platform::LoadLE32(tail) == 0xF800 &&
               platform::LoadLE32(tail + 4) == 0x07E0 &&
               platform::LoadLE32(tail + 8) == 0x001F);
  }
  return {file.begin() + 14 + infoSize, file.end()};
}

std::int32_t BitsFromCode(std::uint8_t code) {
  static constexpr std::int32_t kValid[] = {8, 16, 24, 32};
  static constexpr std::int32_t kInvalid[] = {0,  1,  4,  7,  15,  23,  25, 31,
                                              33, 48, 64, -8, -24, -32, 2,  12};
  return code < 0xC0 ? kValid[code % 4] : kInvalid[code % 16];
}

bool ValidBits(std::int32_t bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

void FuzzBmpWriter(ByteReader& in) {
  const ExportImageOptions options = ExportImageOptions::Read(in);
  const std::int32_t bits = BitsFromCode(options.depthCode);
  const std::string& path = Scratch().bmp();
  if ((options.flags & ExportImageOptions::kHuge) != 0) {
    // Sizes whose pixel data alone exceeds 2 GiB: no buffer of that size
    // can be made, so the writer refuses before reading any pixel.
    const std::int32_t width = 65536 + options.widthCode * 32767;
    const std::int32_t height = 32768 + options.heightCode * 16384;
    const std::uint8_t pixel = 0;
    FUZZ_CHECK(!WriteBmpFile(&pixel, Wide(path), width, height, bits));
    FUZZ_CHECK(!Exists(path));
    return;
  }
  const std::int32_t width = SideFromCode(options.widthCode);
  const std::int32_t height = SideFromCode(options.heightCode);
  const std::size_t bytesPerPixel = ValidBits(bits) ? bits / 8 : 4;
  const std::size_t pitch = static_cast<std::size_t>(width) * bytesPerPixel;
  const std::size_t size = pitch * static_cast<std::size_t>(height);
  const auto pixels = MakePixels(size, in.rest(), in.restSize());
  const bool written =
      WriteBmpFile(pixels.get(), Wide(path), width, height, bits);
  if (!ValidBits(bits)) {
    FUZZ_CHECK(!written && !Exists(path));
    return;
  }
  FUZZ_CHECK(written);
  const std::int32_t fileBits = bits == 32 ? 24 : bits;
  const std::vector<std::uint8_t> data =
      CheckBmpFile(path, width, height, fileBits);
  // Rows bottom-up, cropped to whole 4-pixel units, 32 bits stored as 24.
  const std::size_t storedWidth = static_cast<std::size_t>(width & ~3);
  const std::size_t rowBytes = storedWidth * (fileBits / 8);
  for (std::int32_t i = 0; i < height; ++i) {
    const std::uint8_t* source =
        pixels.get() + pitch * static_cast<std::size_t>(height - 1 - i);
    const std::uint8_t* stored = data.data() + rowBytes * i;
    for (std::size_t x = 0; x < storedWidth; ++x) {
      const std::size_t bytes = fileBits / 8;
      FUZZ_CHECK(std::memcmp(stored + bytes * x, source + bytesPerPixel * x,
                             bytes) == 0);
    }
  }
}

// ---- The file exports and the conversion into a caller's buffer.

std::int32_t FormatFromCode(std::uint8_t code) {
  static constexpr std::int32_t kInvalid[] = {0, 54,       51,   -1,
                                              1, 52 + 256, 5200, -53};
  if (code < 0xC0)
    return code % 2 == 0 ? RVX_FORMAT_BAYER_GRBG10 : RVX_FORMAT_MONO8;
  return kInvalid[code % 8];
}

// The caller's frame: the frame size rule's bytes for a known format.
std::size_t SourceBytes(std::int32_t width, std::int32_t height,
                        std::int32_t format) {
  const std::int32_t frame = FrameByteSize(width, height, format);
  return frame > 0 ? static_cast<std::size_t>(frame)
                   : static_cast<std::size_t>(width) * height;
}

bool KnownFormat(std::int32_t format) {
  return format == RVX_FORMAT_BAYER_GRBG10 || format == RVX_FORMAT_MONO8;
}

void FuzzFileExports(ByteReader& in) {
  const ExportImageOptions options = ExportImageOptions::Read(in);
  const std::int32_t width = SideFromCode(options.widthCode);
  const std::int32_t height = SideFromCode(options.heightCode);
  const std::int32_t format = FormatFromCode(options.depthCode);
  const std::size_t size = SourceBytes(width, height, format);
  const auto pixels = MakePixels(size, in.rest(), in.restSize());
  const std::wstring raw = Wide(Scratch().raw());
  const std::wstring bmp = Wide(Scratch().bmp());

  const bool rawWritten =
      RawImageToRawFile(pixels.get(), raw.c_str(), width, height, format);
  FUZZ_CHECK(rawWritten == KnownFormat(format));
  if (rawWritten) {
    const std::vector<std::uint8_t> file = ReadFile(Scratch().raw());
    FUZZ_CHECK(file.size() == size &&
               std::memcmp(file.data(), pixels.get(), size) == 0);
  } else {
    FUZZ_CHECK(!Exists(Scratch().raw()));
  }

  const bool bmpWritten =
      RawImageToBmpRGBFile(pixels.get(), bmp.c_str(), width, height, format);
  FUZZ_CHECK(bmpWritten == KnownFormat(format));
  if (!bmpWritten) {
    FUZZ_CHECK(!Exists(Scratch().bmp()));
    return;
  }
  const std::int32_t fileBits = format == RVX_FORMAT_MONO8 ? 8 : 24;
  const std::vector<std::uint8_t> data =
      CheckBmpFile(Scratch().bmp(), width, height, fileBits);
  if (format == RVX_FORMAT_MONO8 && width >= 4) {
    const std::size_t storedWidth = static_cast<std::size_t>(width & ~3);
    for (std::int32_t i = 0; i < height; ++i) {
      FUZZ_CHECK(std::memcmp(data.data() + storedWidth * i,
                             pixels.get() + static_cast<std::size_t>(width) *
                                                (height - 1 - i),
                             storedWidth) == 0);
    }
  }
}

std::int32_t ConvertBitsFromCode(std::uint8_t code) {
  static constexpr std::int32_t kValid[] = {16, 24, 32};
  static constexpr std::int32_t kInvalid[] = {8, 0, 15, 33, -16, 64, 1, 48};
  return code < 0xC0 ? kValid[code % 3] : kInvalid[code % 8];
}

void FuzzConvert(ByteReader& in) {
  const ExportImageOptions options = ExportImageOptions::Read(in);
  const std::int32_t width = SideFromCode(options.widthCode);
  const std::int32_t height = SideFromCode(options.heightCode);
  const std::int32_t bits = ConvertBitsFromCode(options.depthCode);
  const std::int32_t format = FormatFromCode(options.flags);
  const std::size_t size = SourceBytes(width, height, format);
  const auto pixels = MakePixels(size, in.rest(), in.restSize());
  const bool validBits = bits == 16 || bits == 24 || bits == 32;
  const std::size_t bytesPerPixel = validBits ? bits / 8 : 4;
  const std::size_t pixelCount = static_cast<std::size_t>(width) * height;
  // The caller's buffer is exactly width x height x bits / 8 bytes.
  const std::size_t destinationSize = pixelCount * bytesPerPixel;
  auto destination = std::make_unique<std::uint8_t[]>(destinationSize);
  std::memset(destination.get(), 0xA5, destinationSize);

  const bool converted = RawImageToBmpImage(pixels.get(), destination.get(),
                                            width, height, bits, format);
  FUZZ_CHECK(converted == (validBits && KnownFormat(format)));
  if (!converted) {
    for (std::size_t i = 0; i < destinationSize; ++i) {
      FUZZ_CHECK(destination[i] == 0xA5);
    }
    return;
  }
  for (std::size_t p = 0; p < pixelCount; ++p) {
    const std::uint8_t* out = destination.get() + p * bytesPerPixel;
    if (format == RVX_FORMAT_BAYER_GRBG10) {
      // The fourth byte is defined even where demosaicing leaves it.
      if (bits == 32) FUZZ_CHECK(out[3] == 0);
      continue;
    }
    const std::uint32_t v = pixels[p];
    if (bits == 16) {
      FUZZ_CHECK(platform::LoadLE16(out) ==
                 (((v >> 3) << 11) | ((v >> 2) << 5) | (v >> 3)));
    } else {
      FUZZ_CHECK(out[0] == v && out[1] == v && out[2] == v);
      if (bits == 32) FUZZ_CHECK(out[3] == 0);
    }
  }
}

}  // namespace
}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorvel::fuzz;
  ByteReader in(data, size);
  Scratch().Clear();
  switch (static_cast<ExportMode>(in.U8() % 4)) {
    case ExportMode::kFileName:
      FuzzFileName(in);
      break;
    case ExportMode::kBmpWriter:
      FuzzBmpWriter(in);
      break;
    case ExportMode::kFileExport:
      FuzzFileExports(in);
      break;
    case ExportMode::kConvert:
      FuzzConvert(in);
      break;
  }
  Scratch().Clear();
  return 0;
}
