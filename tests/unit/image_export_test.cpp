// Saving frames as raw and BMP files and converting them into buffers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/convert.h"
#include "imaging/export/image_export.h"
#include "platform/byte_order.h"
#include "quorvel/quorvel.h"

namespace quorvel {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

class ImageExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh folder per case: creating one that exists fails.
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          base / ("quorvel-export-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) dir_ = candidate.string();
    }
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code failure;
    std::filesystem::remove_all(dir_, failure);
    ASSERT_FALSE(failure) << failure.message();
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  static std::vector<std::uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in),
            std::istreambuf_iterator<char>()};
  }
  static bool Exists(const std::string& path) {
    std::error_code failure;
    return std::filesystem::exists(path, failure);
  }

  static std::vector<std::uint8_t> Frame(std::size_t bytes, unsigned seed) {
    std::vector<std::uint8_t> pixels(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
      pixels[i] = static_cast<std::uint8_t>((i * 2654435761u + seed) >> 13);
    }
    return pixels;
  }

  std::string dir_;
};

TEST(FileNameTest, NamesGetTheirExtensionOnce) {
  const auto raw = [](const wchar_t* name) {
    return NormaliseFileName(name, L".raw");
  };
  EXPECT_EQ(raw(L"pic"), L"pic.raw");
  EXPECT_EQ(raw(L"  shot.RAW \t"), L"shot.RAW");
  EXPECT_EQ(raw(L"shot.bmp"), L"shot.bmp.raw");
  EXPECT_EQ(raw(L"a.r"), L"a.r.raw");
  EXPECT_EQ(raw(L"x.raw"), L"x.raw");
  EXPECT_EQ(raw(L"abcd"), L"abcd.raw");
  EXPECT_EQ(raw(L".raw"), L"");
  EXPECT_EQ(raw(L""), L"");
  EXPECT_EQ(raw(L"   "), L"");
  EXPECT_EQ(raw(L".hidden"), L".hidden.raw");
  EXPECT_EQ(NormaliseFileName(L"pic.BMP", L".bmp"), L"pic.BMP");
  // 255 characters fit the name buffer; 256 do not.
  EXPECT_EQ(raw(std::wstring(251, L'n').c_str()).size(), 255u);
  EXPECT_EQ(raw(std::wstring(252, L'n').c_str()), L"");
}

TEST_F(ImageExportTest, RawFilesHoldTheFrameSizeOfTheirFormat) {
  const auto pixels = Frame(640 * 480 * 2, 1);
  ASSERT_EQ(rvx_RawImageToRawFileA(pixels.data(), Path("bayer").c_str(), 640,
                                   480, 52),
            1);
  EXPECT_EQ(Read(Path("bayer.raw")), pixels);
  ASSERT_EQ(rvx_RawImageToRawFileA(pixels.data(), Path("mono.raw").c_str(), 640,
                                   480, 53),
            1);
  EXPECT_EQ(Read(Path("mono.raw")).size(), 307200u);
  EXPECT_EQ(
      rvx_RawImageToRawFileA(pixels.data(), Path("none").c_str(), 640, 480, 54),
      0);
  EXPECT_FALSE(Exists(Path("none.raw")));
  // The frame size rule reads only the low 16 bits of the width.
  ASSERT_EQ(
      rvx_RawImageToRawFileA(pixels.data(), Path("wide").c_str(), 70000, 2, 53),
      1);
  EXPECT_EQ(Read(Path("wide.raw")).size(), 8928u);
  EXPECT_EQ(
      rvx_RawImageToRawFileA(pixels.data(), Path("neg").c_str(), 40000, 1, 53),
      0);
  EXPECT_FALSE(Exists(Path("neg.raw")));
  EXPECT_EQ(rvx_RawImageToRawFileA(nullptr, Path("n").c_str(), 640, 480, 53),
            0);
  EXPECT_EQ(rvx_RawImageToRawFileA(pixels.data(), nullptr, 640, 480, 53), 0);
  EXPECT_EQ(
      rvx_RawImageToRawFileA(pixels.data(), Path("z").c_str(), 0, 480, 53), 0);
  const std::string narrow = Path("w");
  const std::wstring wide(narrow.begin(), narrow.end());
  EXPECT_EQ(rvx_RawImageToRawFileW(pixels.data(), wide.c_str(), 4, 4, 53), 1);
  EXPECT_EQ(Read(Path("w.raw")).size(), 16u);
}

TEST_F(ImageExportTest, MonochromeBmpIsGreyBottomRowFirst) {
  const auto pixels = Frame(640 * 480, 2);
  ASSERT_EQ(rvx_RawImageToBmpRGBFileA(pixels.data(), Path("grey").c_str(), 640,
                                      480, 53),
            1);
  const auto file = Read(Path("grey.bmp"));
  ASSERT_EQ(file.size(), 308278u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(LoadLE32(&file[2]), 308278u);
  EXPECT_EQ(LoadLE32(&file[6]), 0u);
  EXPECT_EQ(LoadLE32(&file[10]), 1078u);
  EXPECT_EQ(LoadLE32(&file[14]), 40u);
  EXPECT_EQ(LoadLE32(&file[18]), 640u);
  EXPECT_EQ(LoadLE32(&file[22]), 480u);
  EXPECT_EQ(LoadLE16(&file[26]), 1u);
  EXPECT_EQ(LoadLE16(&file[28]), 8u);
  EXPECT_EQ(LoadLE32(&file[30]), 0u);
  EXPECT_EQ(LoadLE32(&file[34]), 307200u);
  EXPECT_EQ(LoadLE32(&file[38]), 10000u);
  EXPECT_EQ(LoadLE32(&file[42]), 10000u);
  EXPECT_EQ(LoadLE32(&file[46]), 256u);
  EXPECT_EQ(LoadLE32(&file[50]), 0u);
  for (std::uint32_t i = 0; i < 256; ++i) {
    ASSERT_EQ(LoadLE32(&file[54 + 4 * i]), i * 0x010101u)
        << "palette entry " << i;
  }
  for (int row = 0; row < 480; ++row) {
    ASSERT_TRUE(std::equal(pixels.begin() + (479 - row) * 640,
                           pixels.begin() + (480 - row) * 640,
                           file.begin() + 1078 + row * 640))
        << "stored row " << row;
  }
}

TEST_F(ImageExportTest, BayerBmpIsTwentyFourBitColour) {
  const auto samples = Frame(640 * 480 * 2, 3);
  ASSERT_EQ(rvx_RawImageToBmpRGBFileA(samples.data(), Path("colour").c_str(),
                                      640, 480, 52),
            1);
  const auto file = Read(Path("colour.bmp"));
  ASSERT_EQ(file.size(), 921654u);
  EXPECT_EQ(LoadLE32(&file[10]), 54u);
  EXPECT_EQ(LoadLE16(&file[28]), 24u);
  EXPECT_EQ(LoadLE32(&file[34]), 921600u);
  EXPECT_EQ(LoadLE32(&file[46]), 0u);
  // The same pixels as the buffer conversion, rows flipped.
  std::vector<std::uint8_t> packed(640 * 480 * 3);
  ASSERT_EQ(
      rvx_RawImageToBmpImage(samples.data(), packed.data(), 640, 480, 24, 52),
      1);
  for (int row = 0; row < 480; ++row) {
    ASSERT_TRUE(std::equal(packed.begin() + (479 - row) * 1920,
                           packed.begin() + (480 - row) * 1920,
                           file.begin() + 54 + row * 1920))
        << "stored row " << row;
  }
  EXPECT_EQ(rvx_RawImageToBmpRGBFileA(samples.data(), Path("x").c_str(), 640,
                                      480, 54),
            0);
  EXPECT_FALSE(Exists(Path("x.bmp")));
}

TEST_F(ImageExportTest, WidthsAreCutToWholeFourPixelUnits) {
  const auto pixels = Frame(643 * 2, 4);
  ASSERT_EQ(
      rvx_RawImageToBmpRGBFileA(pixels.data(), Path("cut").c_str(), 643, 2, 53),
      1);
  const auto file = Read(Path("cut.bmp"));
  EXPECT_EQ(LoadLE32(&file[18]), 640u);
  ASSERT_EQ(file.size(), 1078u + 1280u);
  EXPECT_TRUE(std::equal(pixels.begin() + 643, pixels.begin() + 643 + 640,
                         file.begin() + 1078));
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 640,
                         file.begin() + 1078 + 640));

  ASSERT_EQ(
      rvx_RawImageToBmpRGBFileA(pixels.data(), Path("thin8").c_str(), 3, 5, 53),
      1);
  const auto thin8 = Read(Path("thin8.bmp"));
  EXPECT_EQ(thin8.size(), 1078u);
  EXPECT_EQ(LoadLE32(&thin8[18]), 0u);
  EXPECT_EQ(LoadLE32(&thin8[34]), 0u);
  const auto samples = Frame(3 * 5 * 2, 5);
  ASSERT_EQ(rvx_RawImageToBmpRGBFileA(samples.data(), Path("thin24").c_str(), 3,
                                      5, 52),
            1);
  EXPECT_EQ(Read(Path("thin24.bmp")).size(), 54u);
}

TEST_F(ImageExportTest, WriterStoresSixteenAndThirtyTwoBitRows) {
  const auto pixels = Frame(8 * 2 * 4, 6);
  ASSERT_TRUE(WriteBmpFile(pixels.data(),
                           std::wstring(dir_.begin(), dir_.end()) + L"/w32.bmp",
                           8, 2, 32));
  const auto file32 = Read(Path("w32.bmp"));
  ASSERT_EQ(file32.size(), 54u + 8 * 2 * 3);
  EXPECT_EQ(LoadLE16(&file32[28]), 24u);
  EXPECT_EQ(file32[54],
            pixels[8 * 4]);  // bottom row first, fourth byte dropped
  EXPECT_EQ(file32[57], pixels[8 * 4 + 4]);
  ASSERT_TRUE(WriteBmpFile(pixels.data(),
                           std::wstring(dir_.begin(), dir_.end()) + L"/w16.bmp",
                           8, 2, 16));
  const auto file16 = Read(Path("w16.bmp"));
  ASSERT_EQ(file16.size(), 66u + 8 * 2 * 2);
  EXPECT_EQ(LoadLE32(&file16[30]), 3u);
  EXPECT_EQ(LoadLE32(&file16[46]), 3u);
  EXPECT_EQ(LoadLE32(&file16[54]), 0xF800u);
  EXPECT_EQ(LoadLE32(&file16[58]), 0x07E0u);
  EXPECT_EQ(LoadLE32(&file16[62]), 0x001Fu);
  EXPECT_FALSE(WriteBmpFile(
      pixels.data(), std::wstring(dir_.begin(), dir_.end()) + L"/w12.bmp", 8, 2,
      12));
  EXPECT_FALSE(Exists(Path("w12.bmp")));
}

TEST_F(ImageExportTest, BufferConversionChecksItsArguments) {
  const std::vector<std::uint8_t> grey = {10, 20, 30, 40};
  std::vector<std::uint8_t> out(16, 0xEE);
  EXPECT_EQ(rvx_RawImageToBmpImage(grey.data(), out.data(), 2, 2, 8, 53), 0);
  EXPECT_EQ(rvx_RawImageToBmpImage(grey.data(), out.data(), 2, 2, 32, 54), 0);
  EXPECT_EQ(rvx_RawImageToBmpImage(nullptr, out.data(), 2, 2, 32, 53), 0);
  EXPECT_EQ(rvx_RawImageToBmpImage(grey.data(), nullptr, 2, 2, 32, 53), 0);
  EXPECT_EQ(rvx_RawImageToBmpImage(grey.data(), out.data(), 2, -1, 32, 53), 0);
  EXPECT_EQ(out, std::vector<std::uint8_t>(16, 0xEE));
  ASSERT_EQ(rvx_RawImageToBmpImage(grey.data(), out.data(), 2, 2, 32, 53), 1);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{10, 10, 10, 0, 20, 20, 20, 0, 30,
                                            30, 30, 0, 40, 40, 40, 0}));
  // Bayer pixels get a fourth byte of 0 too.
  const auto samples = Frame(4 * 4 * 2, 7);
  std::vector<std::uint8_t> colour(4 * 4 * 4, 0xEE);
  ASSERT_EQ(rvx_RawImageToBmpImage(samples.data(), colour.data(), 4, 4, 32, 52),
            1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(colour[4 * i + 3], 0) << i;
}

TEST_F(ImageExportTest, UnwritablePathsFailAndLeaveNothing) {
  const auto pixels = Frame(64, 8);
  EXPECT_EQ(rvx_RawImageToRawFileA(pixels.data(), Path("missing/dir/f").c_str(),
                                   8, 8, 53),
            0);
  EXPECT_EQ(rvx_RawImageToBmpRGBFileA(pixels.data(), Path("missing/f").c_str(),
                                      8, 8, 53),
            0);
  // A full device: the file is created but cannot be completed.
  if (Exists("/dev/full")) {
    std::filesystem::create_symlink("/dev/full", Path("full.raw"));
    EXPECT_EQ(rvx_RawImageToRawFileA(pixels.data(), Path("full.raw").c_str(), 8,
                                     8, 53),
              0);
  }
  EXPECT_EQ(rvx_RawImageToRawFileA(pixels.data(), "   ", 8, 8, 53), 0);
  EXPECT_EQ(rvx_RawImageToRawFileA(pixels.data(), ".raw", 8, 8, 53), 0);
}

TEST_F(ImageExportTest, StandardImageReaderOpensTheFiles) {
  if (std::system("command -v identify >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ImageMagick's identify is not installed";
  }
  const auto samples = Frame(64 * 48 * 2, 9);
  ASSERT_EQ(
      rvx_RawImageToBmpRGBFileA(samples.data(), Path("c").c_str(), 64, 48, 52),
      1);
  ASSERT_EQ(
      rvx_RawImageToBmpRGBFileA(samples.data(), Path("g").c_str(), 66, 48, 53),
      1);
  for (const auto& [name, expected] :
       {std::pair{"c.bmp", "64x48"}, std::pair{"g.bmp", "64x48"}}) {
    const std::string command =
        "identify -format '%wx%h' '" + Path(name) + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char text[128] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, pipe);
    pclose(pipe);
    EXPECT_EQ(std::string(text, got), expected) << name;
  }
}

}  // namespace
}  // namespace quorvel
