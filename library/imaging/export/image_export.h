// Saving frames as raw or BMP files and converting them into a caller's
// buffer. This group is the only part of imaging that touches files; the
// conversions it runs are the pure routines of convert.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

bool RawImageToRawFile(const std::uint8_t* pixels, const wchar_t* fileName,
                       std::int32_t width, std::int32_t height,
                       std::int32_t pixelFormat);
bool RawImageToBmpRGBFile(const std::uint8_t* pixels, const wchar_t* fileName,
                          std::int32_t width, std::int32_t height,
                          std::int32_t pixelFormat);
bool RawImageToBmpImage(const std::uint8_t* pixels, std::uint8_t* destination,
                        std::int32_t width, std::int32_t height,
                        std::int32_t bitsPerPixel, std::int32_t pixelFormat);

// Trims white space and appends extension (".raw" or ".bmp") unless the
// name already ends with it in any letter case. Empty when the name is
// refused: empty, a bare extension, or longer than 255 characters.
std::wstring NormaliseFileName(std::wstring_view name,
                               std::wstring_view extension);

// Writes size bytes to a new file; a file that cannot be written completely
// is removed again.
bool WriteRawFile(const std::uint8_t* pixels, const std::wstring& name,
                  std::size_t size);
// Writes a bottom-up BMP of the top-down rows of pixels (8, 16, 24 or 32
// bits a pixel; 32-bit rows are stored as 24 bits), width cut to a multiple
// of 4.
bool WriteBmpFile(const std::uint8_t* pixels, const std::wstring& name,
                  std::int32_t width, std::int32_t height, std::int32_t bits);
// The 40-byte info header followed by the grey palette (8 bits) or the
// three colour masks (16 bits).
std::vector<std::uint8_t> BuildBmpInfo(std::int32_t storedWidth,
                                       std::int32_t height, std::int32_t bits);

}  // namespace quorvel
