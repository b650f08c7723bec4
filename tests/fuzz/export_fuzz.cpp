// Fuzz target: what a caller passes to the image exports. File names from
// the input only go through the name rule; every file is written under one
// fixed name in a private temporary directory, in memory where the system
// has a memory file system, and only those files are ever removed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

#include "fuzz_options.h"
#include "fuzz_support.h"
#include "harness_cost.h"
#include "imaging/export/image_export.h"
#include "imaging/frame_size.h"
#include "platform/byte_order.h"
#include "platform/text.h"
#include "quorvel/quorvel.h"

namespace quorvel::fuzz {
namespace {

// The one directory this target writes into, made on first use and emptied
// and removed when the process ends normally. /dev/shm keeps the files in
// memory, so an input costs no disk I/O; without it the temporary
// directory serves.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    struct stat info;
    const char* tmp = std::getenv("TMPDIR");
    const std::string parent = ::stat("/dev/shm", &info) == 0 &&
                                       S_ISDIR(info.st_mode) &&
                                       ::access("/dev/shm", W_OK) == 0
                                   ? "/dev/shm"
                               : tmp != nullptr && tmp[0] != '\0' ? tmp
                                                                  : "/tmp";
    std::string pattern = parent + "/quorvel-export-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
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

// The scratch files are removed before and after each input that writes
// them: a file seen after a refusal can only be that input's.
class ScratchFiles {
 public:
  ScratchFiles() { Scratch().Clear(); }
  ~ScratchFiles() { Scratch().Clear(); }
  ScratchFiles(const ScratchFiles&) = delete;
  ScratchFiles& operator=(const ScratchFiles&) = delete;
};

std::wstring Wide(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// A file's bytes, read into a buffer kept from input to input.
struct FileBytes {
  const std::uint8_t* data;
  std::size_t size;
};

FileBytes ReadFile(const std::string& path) {
  static ReusedBuffer<std::uint8_t> buffer;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  struct stat info;
  FUZZ_CHECK(::fstat(fd, &info) == 0);
  // Room for one byte more than the file, so a file that grew shows.
  const std::size_t room = static_cast<std::size_t>(info.st_size) + 1;
  std::uint8_t* bytes = buffer.Get(room);
  std::size_t got = 0;
  while (got < room) {
    const ssize_t n = ::read(fd, bytes + got, room - got);
    if (n < 0 && errno == EINTR) continue;
    FUZZ_CHECK(n >= 0);
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  FUZZ_CHECK(got == static_cast<std::size_t>(info.st_size));
  return {bytes, got};
}

// The input's bytes repeated over size bytes, or a ramp when there are none.
FUZZ_CHECKER void FillPixels(std::uint8_t* pixels, std::size_t size,
                             const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) {
    for (std::size_t i = 0; i < size; ++i) {
      pixels[i] = static_cast<std::uint8_t>(i);
    }
    return;
  }
  std::size_t filled = count < size ? count : size;
  std::memcpy(pixels, bytes, filled);
  // Doubling copies: the pattern repeats with period count throughout.
  while (filled < size) {
    const std::size_t more = filled < size - filled ? filled : size - filled;
    std::memcpy(pixels + filled, pixels, more);
    filled += more;
  }
}

// Pixels of exactly size bytes, so a read past the caller's buffer is
// caught; one buffer for the source and one for a destination.
ReusedBuffer<std::uint8_t>& SourceBuffer() {
  static ReusedBuffer<std::uint8_t> buffer;
  return buffer;
}

ReusedBuffer<std::uint8_t>& DestinationBuffer() {
  static ReusedBuffer<std::uint8_t> buffer;
  return buffer;
}

const std::uint8_t* MakePixels(std::size_t size, const std::uint8_t* bytes,
                               std::size_t count) {
  std::uint8_t* pixels = SourceBuffer().Get(size);
  FillPixels(pixels, size, bytes, count);
  return pixels;
}

FUZZ_CHECKER bool SameBytes(const std::uint8_t* a, const std::uint8_t* b,
                            std::size_t size) {
  return std::memcmp(a, b, size) == 0;
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
// sizes, offsets, palette or masks. Returns the pixel data, valid until the
// next file is read.
const std::uint8_t* CheckBmpFile(const std::string& path, std::int32_t width,
                                 std::int32_t height, std::int32_t fileBits) {
  const FileBytes file = ReadFile(path);
  const std::int32_t storedWidth = width & ~3;
  const std::uint32_t infoSize = InfoSize(fileBits);
  const std::uint64_t imageSize =
      static_cast<std::uint64_t>(storedWidth) * (fileBits / 8) * height;
  FUZZ_CHECK(file.size == 14 + infoSize + imageSize);
  const std::uint8_t* at = file.data;
  FUZZ_CHECK(at[0] == 'B' && at[1] == 'M');
  FUZZ_CHECK(platform::LoadLE32(at + 2) == file.size);
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
  return file.data + 14 + infoSize;
}

// Rows bottom-up, cropped to whole 4-pixel units, each stored pixel the
// first `storedBytes` of the source's `sourceBytes` (32 bits stored as 24).
FUZZ_CHECKER bool SameRows(const std::uint8_t* stored,
                           const std::uint8_t* source, std::int32_t width,
                           std::int32_t height, std::size_t storedBytes,
                           std::size_t sourceBytes) {
  const std::size_t storedWidth = static_cast<std::size_t>(width & ~3);
  const std::size_t pitch = static_cast<std::size_t>(width) * sourceBytes;
  const std::size_t rowBytes = storedWidth * storedBytes;
  std::uint8_t differ = 0;
  for (std::int32_t i = 0; i < height; ++i) {
    const std::uint8_t* from =
        source + pitch * static_cast<std::size_t>(height - 1 - i);
    const std::uint8_t* row = stored + rowBytes * static_cast<std::size_t>(i);
    if (storedBytes == sourceBytes) {
      differ |=
          static_cast<std::uint8_t>(std::memcmp(row, from, rowBytes) != 0);
      continue;
    }
    for (std::size_t x = 0; x < storedWidth; ++x) {
      for (std::size_t b = 0; b < storedBytes; ++b) {
        differ |= static_cast<std::uint8_t>(row[storedBytes * x + b] ^
                                            from[sourceBytes * x + b]);
      }
    }
  }
  return differ == 0;
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
  const ScratchFiles files;
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
  const std::int32_t height =
      CutHeight(width, SideFromCode(options.heightCode));
  const std::size_t bytesPerPixel = ValidBits(bits) ? bits / 8 : 4;
  const std::size_t pitch = static_cast<std::size_t>(width) * bytesPerPixel;
  const std::size_t size = pitch * static_cast<std::size_t>(height);
  const std::uint8_t* pixels = MakePixels(size, in.rest(), in.restSize());
  const bool written = WriteBmpFile(pixels, Wide(path), width, height, bits);
  if (!ValidBits(bits)) {
    FUZZ_CHECK(!written && !Exists(path));
    return;
  }
  FUZZ_CHECK(written);
  const std::int32_t fileBits = bits == 32 ? 24 : bits;
  const std::uint8_t* data = CheckBmpFile(path, width, height, fileBits);
  FUZZ_CHECK(
      SameRows(data, pixels, width, height, fileBits / 8, bytesPerPixel));
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
  const ScratchFiles files;
  const ExportImageOptions options = ExportImageOptions::Read(in);
  const std::int32_t width = SideFromCode(options.widthCode);
  const std::int32_t height =
      CutHeight(width, SideFromCode(options.heightCode));
  const std::int32_t format = FormatFromCode(options.depthCode);
  const std::size_t size = SourceBytes(width, height, format);
  const std::uint8_t* pixels = MakePixels(size, in.rest(), in.restSize());
  const std::wstring raw = Wide(Scratch().raw());
  const std::wstring bmp = Wide(Scratch().bmp());

  const bool rawWritten =
      RawImageToRawFile(pixels, raw.c_str(), width, height, format);
  FUZZ_CHECK(rawWritten == KnownFormat(format));
  if (rawWritten) {
    const FileBytes file = ReadFile(Scratch().raw());
    FUZZ_CHECK(file.size == size && SameBytes(file.data, pixels, size));
  } else {
    FUZZ_CHECK(!Exists(Scratch().raw()));
  }

  const bool bmpWritten =
      RawImageToBmpRGBFile(pixels, bmp.c_str(), width, height, format);
  FUZZ_CHECK(bmpWritten == KnownFormat(format));
  if (!bmpWritten) {
    FUZZ_CHECK(!Exists(Scratch().bmp()));
    return;
  }
  const std::int32_t fileBits = format == RVX_FORMAT_MONO8 ? 8 : 24;
  const std::uint8_t* data =
      CheckBmpFile(Scratch().bmp(), width, height, fileBits);
  if (format == RVX_FORMAT_MONO8) {
    FUZZ_CHECK(SameRows(data, pixels, width, height, 1, 1));
  }
}

constexpr std::uint8_t kUntouched = 0xA5;

FUZZ_CHECKER bool AllBytesAre(const std::uint8_t* bytes, std::size_t count,
                              std::uint8_t value) {
  std::uint8_t differ = 0;
  for (std::size_t i = 0; i < count; ++i) {
    differ |= static_cast<std::uint8_t>(bytes[i] ^ value);
  }
  return differ == 0;
}

FUZZ_CHECKER bool FourthBytesZero(const std::uint8_t* out, std::size_t count) {
  std::uint8_t set = 0;
  for (std::size_t p = 0; p < count; ++p) set |= out[4 * p + 3];
  return set == 0;
}

// A monochrome frame converted: 5-6-5 grey at 16 bits, three equal bytes
// and a zero fourth at 24 and 32.
FUZZ_CHECKER bool SameGreys(const std::uint8_t* out, const std::uint8_t* grey,
                            std::size_t count, std::int32_t bits) {
  std::uint32_t differ = 0;
  if (bits == 16) {
    for (std::size_t p = 0; p < count; ++p) {
      const std::uint32_t v = grey[p];
      const std::uint32_t stored = out[2 * p] | (out[2 * p + 1] << 8);
      differ |= stored ^ (((v >> 3) << 11) | ((v >> 2) << 5) | (v >> 3));
    }
    return differ == 0;
  }
  const std::size_t step = static_cast<std::size_t>(bits) / 8;
  for (std::size_t p = 0; p < count; ++p) {
    const std::uint8_t* at = out + step * p;
    differ |= static_cast<std::uint32_t>((at[0] ^ grey[p]) | (at[1] ^ grey[p]) |
                                         (at[2] ^ grey[p]));
    if (step == 4) differ |= at[3];
  }
  return differ == 0;
}

std::int32_t ConvertBitsFromCode(std::uint8_t code) {
  static constexpr std::int32_t kValid[] = {16, 24, 32};
  static constexpr std::int32_t kInvalid[] = {8, 0, 15, 33, -16, 64, 1, 48};
  return code < 0xC0 ? kValid[code % 3] : kInvalid[code % 8];
}

void FuzzConvert(ByteReader& in) {
  const ExportImageOptions options = ExportImageOptions::Read(in);
  const std::int32_t width = SideFromCode(options.widthCode);
  const std::int32_t height =
      CutHeight(width, SideFromCode(options.heightCode));
  const std::int32_t bits = ConvertBitsFromCode(options.depthCode);
  const std::int32_t format = FormatFromCode(options.flags);
  const std::size_t size = SourceBytes(width, height, format);
  const std::uint8_t* pixels = MakePixels(size, in.rest(), in.restSize());
  const bool validBits = bits == 16 || bits == 24 || bits == 32;
  const std::size_t bytesPerPixel = validBits ? bits / 8 : 4;
  const std::size_t pixelCount = static_cast<std::size_t>(width) * height;
  // The caller's buffer is exactly width x height x bits / 8 bytes.
  const std::size_t destinationSize = pixelCount * bytesPerPixel;
  std::uint8_t* destination = DestinationBuffer().Get(destinationSize);
  std::memset(destination, kUntouched, destinationSize);

  const bool converted =
      RawImageToBmpImage(pixels, destination, width, height, bits, format);
  FUZZ_CHECK(converted == (validBits && KnownFormat(format)));
  if (!converted) {
    FUZZ_CHECK(AllBytesAre(destination, destinationSize, kUntouched));
    return;
  }
  if (format == RVX_FORMAT_BAYER_GRBG10) {
    // The fourth byte is defined even where demosaicing leaves it.
    if (bits == 32) FUZZ_CHECK(FourthBytesZero(destination, pixelCount));
    return;
  }
  FUZZ_CHECK(SameGreys(destination, pixels, pixelCount, bits));
}

}  // namespace
}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorvel::fuzz;
  ByteReader in(data, size);
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
  return 0;
}
