// The option bytes at the front of each fuzz target's input, read by the
// targets and written by the seed generator, so that both agree on one
// layout. Every byte value means something: a mutated option byte still
// chooses a valid set-up.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "fuzz_support.h"
#include "harness_cost.h"

namespace quorvel::fuzz {

// Sides of 1 to 64 pixels unless the top four bits ask for up to 2048:
// small frames keep most runs fast (a large frame costs a hundred times
// more), large ones stay reachable.
inline constexpr std::int32_t kSmallSide = 64;
inline constexpr std::int32_t kLargestSide = 2048;
inline constexpr std::uint16_t kLargeSide = 0xF000;

inline std::int32_t SideFromCode(std::uint16_t code) {
  return (code & kLargeSide) == kLargeSide ? 1 + (code & 0x7FF)
                                           : 1 + (code & 0x3F);
}

// Larger frames add run time, not paths: a frame of more pixels keeps its
// width, so every side stays reachable, and loses rows (2048 x 8 at most).
// The motion and export corpora reach the same edges at 2^16 pixels as at
// 2^14, in a quarter of the time on their largest frames. The data channel
// keeps room for the simulated camera's 320 x 240.
inline constexpr std::int64_t kMaxPixels = 1 << 14;
inline constexpr std::int64_t kMaxDataPixels = 1 << 18;

inline std::int32_t CutHeight(std::int32_t width, std::int32_t height,
                              std::int64_t limit = kMaxPixels) {
  return std::int64_t{width} * height > limit
             ? static_cast<std::int32_t>(limit / width)
             : height;
}

inline std::uint16_t SideCode(std::int32_t side) {
  const auto below = static_cast<std::uint16_t>(side - 1);
  return side <= kSmallSide ? below
                            : static_cast<std::uint16_t>(kLargeSide | below);
}

// Minimum object sizes: the byte itself below 0xF8, then the values at the
// edges of the range and the default of connect.
inline std::int32_t MinSizeFromCode(std::uint8_t code) {
  switch (code) {
    case 0xF8:
      return 2500;
    case 0xF9:
      return std::numeric_limits<std::int32_t>::max();
    case 0xFA:
      return -1;
    case 0xFB:
      return std::numeric_limits<std::int32_t>::min();
    case 0xFC:
      return 65536;
    case 0xFD:
      return 1000;
    case 0xFE:
      return 4096;
    case 0xFF:
      return 1 << 20;
    default:
      return code;
  }
}

inline void Put8(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
}
inline void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put8(out, value);
  Put8(out, value >> 8);
}
inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value);
  Put16(out, value >> 16);
}

// ---- data_channel_fuzz: 6 bytes, then the data channel's byte stream.
struct DataChannelOptions {
  static constexpr std::uint8_t kDetect = 1;
  static constexpr std::uint8_t kStreaming = 2;  // record's streaming is 1
  static constexpr std::uint8_t kBayer = 4;      // format 52 instead of 53
  // Command 256 is waiting for its completion (the event exists).
  static constexpr std::uint8_t kCompletionAwaited = 8;
  static constexpr std::uint8_t kNoCallbacks = 16;

  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint8_t flags = 0;
  std::uint8_t minSizeCode = 0;

  static DataChannelOptions Read(ByteReader& in) {
    DataChannelOptions options;
    options.width = SideFromCode(in.U16());
    options.height = SideFromCode(in.U16());
    options.flags = in.U8();
    options.minSizeCode = in.U8();
    return options;
  }
  void Write(std::vector<std::uint8_t>& out) const {
    Put16(out, SideCode(width));
    Put16(out, SideCode(height));
    Put8(out, flags);
    Put8(out, minSizeCode);
  }
};

// ---- command_channel_fuzz: 10 bytes, then the camera's answers.
inline constexpr int kMaxTransactions = 3;

struct TransactionOptions {
  std::uint8_t code = 0;         // index into the fuzz target's code table
  std::uint8_t length = 0;       // LengthFromCode
  std::uint8_t destination = 0;  // bits 0-1: capacity; bit 2: no outLength
};

struct CommandChannelOptions {
  std::uint8_t flags = 0;  // bit 0: three transactions instead of two
  TransactionOptions transactions[kMaxTransactions];

  int count() const { return (flags & 1) != 0 ? 3 : 2; }

  static CommandChannelOptions Read(ByteReader& in) {
    CommandChannelOptions options;
    options.flags = in.U8();
    for (TransactionOptions& t : options.transactions) {
      t.code = in.U8();
      t.length = in.U8();
      t.destination = in.U8();
    }
    return options;
  }
  void Write(std::vector<std::uint8_t>& out) const {
    Put8(out, flags);
    for (const TransactionOptions& t : transactions) {
      Put8(out, t.code);
      Put8(out, t.length);
      Put8(out, t.destination);
    }
  }
};

// Every code of the command table, then codes outside it, which must be
// refused without traffic; TransactionOptions::code indexes it (modulo).
inline constexpr std::int32_t kCommandCodes[] = {
    1,     2,    3,     33,    34,    35,    36,    48,    65,    66,
    68,    81,   82,    83,    97,    98,    99,    113,   114,   115,
    117,   129,  130,   256,   516,   518,   519,   520,   521,   522,
    2561,  2562, 65537, 65538, 65553, 65554, 65569, 65570, 65571, 65585,
    65586, 4,    523,   0,     -1,    257};
inline constexpr std::size_t kCommandCodeCount =
    sizeof kCommandCodes / sizeof kCommandCodes[0];

inline bool IsRefusedCode(std::int32_t code) {
  return code == 4 || code == 523 || code == 0 || code == -1 || code == 257;
}

inline std::uint8_t CommandCodeIndex(std::int32_t code) {
  for (std::size_t i = 0; i < kCommandCodeCount; ++i) {
    if (kCommandCodes[i] == code) return static_cast<std::uint8_t>(i);
  }
  return 0;
}

// What the library's own callers send with each code.
inline std::int32_t NaturalLength(std::int32_t code) {
  switch (code) {
    case 48:
      return 8;
    case 516:
      return 2;
    case 518:
    case 519:
    case 65537:
    case 65553:
    case 65585:
      return 4;
    case 521:
      return 300;
    default:
      return 0;
  }
}

// Payload lengths: 0 (and 0xF5 up) give the length the library's own
// callers send for the code, 1 to 0xEF give 0 to 0xEE bytes, the rest the
// edges.
inline constexpr std::uint8_t kNaturalLength = 0;

inline std::int32_t LengthFromCode(std::uint8_t choice, std::int32_t code) {
  if (choice >= 1 && choice <= 0xEF) return choice - 1;
  switch (choice) {
    case 0xF0:
      return -1;
    case 0xF1:
      return std::numeric_limits<std::int32_t>::min();
    case 0xF2:
      return 4096;
    case 0xF3:
      return 65536;
    case 0xF4:
      return 524288;
    default:
      return NaturalLength(code);
  }
}

// The payload bytes the target sends: a fixed pattern, so the seed
// generator can hand the simulated camera the same bytes. A plain loop
// over a pointer, uninstrumented: payloads reach 512 KiB.
FUZZ_CHECKER inline void FillCommandPayload(std::uint8_t* payload,
                                            std::size_t length,
                                            std::int32_t code) {
  for (std::size_t i = 0; i < length; ++i) {
    payload[i] = static_cast<std::uint8_t>(i * 13 + code);
  }
}

inline std::vector<std::uint8_t> CommandPayload(std::int32_t code,
                                                std::int32_t length) {
  std::vector<std::uint8_t> payload(length > 0 ? length : 0);
  FillCommandPayload(payload.data(), payload.size(), code);
  return payload;
}

// The destination sizes the library's callers really pass for bulk
// replies: a 4-byte write status, the 64 KiB device record work buffer and
// a 512 KiB flash area; the fourth choice passes no buffer at all.
inline constexpr std::int32_t kDestinationSizes[4] = {4, 65536, 524288, 0};
inline constexpr std::uint8_t kNoOutLength = 4;
// The caller passes a null payload with its length.
inline constexpr std::uint8_t kNullPayload = 8;

// ---- motion_fuzz: 1 byte, then per frame 8 bytes and its run code.
struct MotionFrameOptions {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint8_t minSizeCode = 0;
  std::uint8_t initialPixel = 0;  // what the image held before decoding
  std::uint16_t codeBytes = 0;    // run code length (not for the last frame)

  static MotionFrameOptions Read(ByteReader& in) {
    MotionFrameOptions options;
    options.width = SideFromCode(in.U16());
    options.height = SideFromCode(in.U16());
    options.minSizeCode = in.U8();
    options.initialPixel = in.U8();
    options.codeBytes = in.U16();
    return options;
  }
  void Write(std::vector<std::uint8_t>& out) const {
    Put16(out, SideCode(width));
    Put16(out, SideCode(height));
    Put8(out, minSizeCode);
    Put8(out, initialPixel);
    Put16(out, codeBytes);
  }
};

struct MotionOptions {
  static constexpr std::uint8_t kBaseline = 1;   // no AVX2 paths
  static constexpr std::uint8_t kTwoFrames = 2;  // one labeller, two frames
};

// ---- export_fuzz: 1 byte chooses the routine, then its own options.
enum class ExportMode : std::uint8_t {
  kFileName = 0,   // 1 byte: name reading; the rest is the name
  kBmpWriter = 1,  // 6 bytes (ExportImageOptions); the rest is pixels
  kFileExport = 2,
  kConvert = 3,
};

struct ExportImageOptions {
  static constexpr std::uint8_t kHuge = 1;  // sizes no buffer can hold

  std::uint16_t widthCode = 0;
  std::uint16_t heightCode = 0;
  std::uint8_t depthCode = 0;  // bits a pixel or pixel format
  std::uint8_t flags = 0;

  static ExportImageOptions Read(ByteReader& in) {
    ExportImageOptions options;
    options.widthCode = in.U16();
    options.heightCode = in.U16();
    options.depthCode = in.U8();
    options.flags = in.U8();
    return options;
  }
  void Write(std::vector<std::uint8_t>& out) const {
    Put16(out, widthCode);
    Put16(out, heightCode);
    Put8(out, depthCode);
    Put8(out, flags);
  }
};

// File names: 32-bit wide characters as given, narrow text widened as the
// A exports do, or bytes widened one to one.
enum class NameReading : std::uint8_t { kWide = 0, kNarrow = 1, kBytes = 2 };

}  // namespace quorvel::fuzz
