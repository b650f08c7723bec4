// What every fuzz target needs: reading option bytes from the front of an
// input, failing loudly on a broken invariant, and a local stream
// connection that plays the camera's side of a socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/socket.h"

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

// Reads every byte of a buffer so that AddressSanitizer reports a buffer
// shorter than its stated size; the sum keeps the reads from being dropped.
std::uint32_t TouchBytes(const std::uint8_t* bytes, std::size_t count);

// A connected pair of local stream sockets standing in for one camera
// connection: the library reads and writes its end, the harness plays the
// camera on the other. Both directions hold a whole fuzz input, so the
// camera's bytes can be queued before the library starts reading.
class LocalConnection {
 public:
  LocalConnection();
  ~LocalConnection();
  LocalConnection(const LocalConnection&) = delete;
  LocalConnection& operator=(const LocalConnection&) = delete;

  // The library's end, to be moved into a camera record.
  platform::Socket TakeLibraryEnd();
  const platform::Socket& camera() const { return camera_; }

  // Queues bytes from the camera, then ends the camera's sending side so
  // that the library reads them and then finds the stream closed. Bytes
  // that do not fit the socket's buffer are written by a thread that the
  // destructor joins once the library's end is gone.
  void SendAndEnd(const std::uint8_t* bytes, std::size_t size);

 private:
  platform::Socket library_;
  platform::Socket camera_;
  std::thread writer_;
};

}  // namespace quorvel::fuzz
