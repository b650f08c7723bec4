// What every fuzz target needs: reading option bytes from the front of an
// input, failing loudly on a broken invariant, and the camera's bytes read
// from memory as the library reads them from a socket.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_stream.h"
#include "quorvel/quorvel.h"

// A broken invariant is a finding: abort, so libFuzzer saves the input and
// the replay test fails, whatever the build's NDEBUG.
#define FUZZ_CHECK(condition)                                \
  do {                                                       \
    if (!(condition)) {                                      \
      ::quorvel::fuzz::Fail(__FILE__, __LINE__, #condition); \
    }                                                        \
  } while (false)

namespace quorvel::fuzz {

[[noreturn]] void Fail(const char* file, int line, const char* condition);

// Reads little-endian values from the front of an input; past its end every
// byte reads as 0, so short inputs still choose valid options.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(size) {}

  std::uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t U16() {
    const std::uint16_t low = U8();
    return static_cast<std::uint16_t>(low | (U8() << 8));
  }
  std::uint32_t U32() {
    const std::uint32_t low = U16();
    return low | (std::uint32_t{U16()} << 16);
  }
  // The next count bytes, or fewer at the end of the input.
  const std::uint8_t* Take(std::size_t count, std::size_t* taken) {
    const std::uint8_t* at = data_ + pos_;
    *taken = count < size_ - pos_ ? count : size_ - pos_;
    pos_ += *taken;
    return at;
  }
  const std::uint8_t* rest() const { return data_ + pos_; }
  std::size_t restSize() const { return size_ - pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Makes AddressSanitizer report a buffer shorter than its stated size;
// without it, reads every byte (the sum keeps the reads from being dropped).
std::uint32_t TouchBytes(const std::uint8_t* bytes, std::size_t count);

// A label map against the mask it labelled and the objects reported for
// it: every label 0 or 1..count, exactly the moving pixels labelled, each
// inside its object's box, and each object's pixel count that of its
// label. pixelsOf has room for count + 1 entries.
void CheckLabelMap(const std::uint8_t* mask, const std::int32_t* labels,
                   std::int32_t width, std::int32_t height,
                   const ObjectReport* objects, std::int32_t count,
                   std::int64_t* pixelsOf);

// The camera's side of a connection that has sent `size` bytes and then
// closed: a read or skip of more than is left takes what is left and finds
// the stream closed, as a socket read would.
class MemoryStream final : public platform::ByteStream {
 public:
  MemoryStream(const std::uint8_t* bytes, std::size_t size)
      : at_(bytes), left_(size) {}

  platform::IoResult Read(void* bytes, std::int64_t count) override;
  platform::IoResult Skip(std::int64_t count) override;
  std::size_t left() const { return left_; }

 private:
  // Moves past up to count bytes, copying them to `to` when it is set.
  platform::IoResult Take(void* to, std::int64_t count);

  const std::uint8_t* at_;
  std::size_t left_;
};

}  // namespace quorvel::fuzz
