// Writes the seed corpora of the fuzz targets from the simulated camera's
// own traffic: frames and motion masks as camsim renders and codes them,
// command answers as its CommandProtocol gives them (faults included), each
// behind its target's option bytes. Hand-made variants cover what a camera
// may send but camsim never does (pieces, odd lengths, unknown packets).
//
//   make_fuzz_seeds <corpus directory>
//
// writes <directory>/<target>/seed-<name> and leaves every other file alone.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "command_protocol.h"
#include "frame_source.h"
#include "fuzz_options.h"

namespace {

using quorvel::fuzz::Put32;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;
namespace fz = quorvel::fuzz;

class SeedWriter {
 public:
  explicit SeedWriter(fs::path root) : root_(std::move(root)) {}

  void Write(const std::string& target, const std::string& name,
             const Bytes& bytes) {
    const fs::path directory = root_ / target;
    fs::create_directories(directory);
    std::ofstream file(directory / ("seed-" + name), std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
      std::fprintf(stderr, "cannot write %s/%s\n", target.c_str(),
                   name.c_str());
      failed_ = true;
    }
    ++count_;
    total_ += bytes.size();
  }
  bool failed() const { return failed_; }
  int count() const { return count_; }
  std::size_t total() const { return total_; }

 private:
  fs::path root_;
  bool failed_ = false;
  int count_ = 0;
  std::size_t total_ = 0;
};

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

// ---- Data channel traffic, laid out as camsim's server pushes it.

Bytes Packet(std::int32_t type, std::int32_t length, const Bytes& body = {}) {
  Bytes out;
  Put32(out, static_cast<std::uint32_t>(type));
  Put32(out, static_cast<std::uint32_t>(length));
  Append(out, body);
  return out;
}

Bytes FrameHeader(std::int32_t flags, std::int32_t width, std::int32_t lines) {
  Bytes out = Packet(51, 12);
  Put32(out, static_cast<std::uint32_t>(flags));
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(lines));
  return out;
}

Bytes Picture(std::int32_t width, std::int32_t height, std::uint32_t index) {
  return camsim::RenderPicture(width, height, index);
}

Bytes MaskCode(std::int32_t width, std::int32_t height, std::uint32_t index) {
  return camsim::EncodeRuns(camsim::RenderMask(width, height, index));
}

// One frame as the camera sends it: header with flags 5, one data packet.
Bytes PictureFrame(std::int32_t width, std::int32_t height,
                   std::uint32_t index) {
  const Bytes body = Picture(width, height, index);
  Bytes out = FrameHeader(5, width, height);
  Append(out, Packet(129, static_cast<std::int32_t>(body.size()), body));
  return out;
}

Bytes MaskFrame(std::int32_t width, std::int32_t height, std::uint32_t index) {
  const Bytes code = MaskCode(width, height, index);
  Bytes out = FrameHeader(5, width, height);
  Append(out, Packet(130, static_cast<std::int32_t>(code.size()), code));
  return out;
}

Bytes DataOptions(std::int32_t width, std::int32_t height, std::uint8_t flags,
                  std::uint8_t minSizeCode) {
  fz::DataChannelOptions options;
  options.width = width;
  options.height = height;
  options.flags = flags;
  options.minSizeCode = minSizeCode;
  Bytes out;
  options.Write(out);
  return out;
}

void WriteDataChannelSeeds(SeedWriter& seeds) {
  using O = fz::DataChannelOptions;
  const std::string target = "data_channel_fuzz";
  const std::uint8_t on = O::kStreaming;
  const std::uint8_t detect = O::kStreaming | O::kDetect;

  Bytes s = DataOptions(32, 24, on, 0xF8);
  for (std::uint32_t i = 0; i < 3; ++i) Append(s, PictureFrame(32, 24, i));
  seeds.Write(target, "pictures-32x24", s);

  s = DataOptions(64, 48, detect, 10);
  for (std::uint32_t i = 0; i < 4; ++i) Append(s, MaskFrame(64, 48, i));
  seeds.Write(target, "masks-64x48-detect", s);

  s = DataOptions(64, 48, on, 10);
  for (std::uint32_t i = 0; i < 2; ++i) Append(s, MaskFrame(64, 48, i));
  seeds.Write(target, "masks-64x48-no-detection", s);

  // Large sizes cost the fuzzer a hundred small runs each, so the seeds
  // reach the largest side only in one direction at a time.
  s = DataOptions(320, 240, detect, 0xFD);
  Append(s, MaskFrame(320, 240, 5));
  seeds.Write(target, "mask-320x240", s);

  s = DataOptions(2048, 40, detect, 0xFA);
  Append(s, MaskFrame(2048, 40, 2));
  seeds.Write(target, "mask-2048x40", s);

  s = DataOptions(24, 2048, detect, 0xF8);
  Append(s, MaskFrame(24, 2048, 1));
  seeds.Write(target, "mask-24x2048", s);

  s = DataOptions(48, 32, detect, 1);
  for (std::uint32_t i = 0; i < 3; ++i) {
    Append(s, MaskFrame(48, 32, i));
    Append(s, PictureFrame(48, 32, i));
  }
  seeds.Write(target, "masks-and-pictures", s);

  s = DataOptions(32, 24, 0, 0xF8);
  for (std::uint32_t i = 0; i < 2; ++i) Append(s, PictureFrame(32, 24, i));
  seeds.Write(target, "not-streaming", s);

  s = DataOptions(16, 12, on | O::kCompletionAwaited, 0xF8);
  Append(s, Packet(256, 0));
  Append(s, PictureFrame(16, 12, 0));
  Append(s, Packet(256, 0));
  seeds.Write(target, "completion-awaited", s);

  s = DataOptions(16, 12, on, 0xF8);
  Append(s, Packet(256, 0));
  Append(s, Packet(256, 4, {1, 2, 3, 4}));
  seeds.Write(target, "completion-not-awaited", s);

  // A frame in two pieces: start without complete, then the completing
  // piece.
  {
    const Bytes body = Picture(32, 24, 1);
    const Bytes top(body.begin(), body.begin() + 32 * 12);
    const Bytes bottom(body.begin() + 32 * 12, body.end());
    s = DataOptions(32, 24, detect, 0xF8);
    Append(s, FrameHeader(4, 32, 12));
    Append(s, Packet(129, static_cast<std::int32_t>(top.size()), top));
    Append(s, FrameHeader(1, 32, 12));
    Append(s, Packet(129, static_cast<std::int32_t>(bottom.size()), bottom));
    seeds.Write(target, "two-pieces", s);
  }

  // A frame that never completes, then a new start: the receiver must not
  // stay wedged in the first.
  s = DataOptions(32, 24, on, 0xF8);
  Append(s, FrameHeader(4, 32, 24));
  Append(s, Packet(129, 100, Bytes(100, 0x55)));
  Append(s, PictureFrame(32, 24, 2));
  seeds.Write(target, "open-frame-then-new-start", s);

  // Length 0 and negative lengths mean one whole frame.
  s = DataOptions(20, 10, on, 0xF8);
  Append(s, FrameHeader(5, 20, 10));
  Append(s, Packet(129, 0, Picture(20, 10, 0)));
  Append(s, FrameHeader(5, 20, 10));
  Append(s, Packet(129, -5, Picture(20, 10, 1)));
  seeds.Write(target, "whole-frame-lengths", s);

  // Longer than the frame, and headers larger than the camera's size.
  s = DataOptions(20, 10, detect, 1);
  Append(s, FrameHeader(5, 20, 10));
  Append(s, Packet(129, 300, Bytes(300, 0x77)));
  Append(s, FrameHeader(5, 4000, 3000));
  Append(s, Packet(130, 40, Bytes(40, 0xFF)));
  seeds.Write(target, "oversized", s);

  // Headers with the wrong length, unknown packets, then a good frame.
  s = DataOptions(16, 8, on, 0xF8);
  Append(s, Packet(51, 16, Bytes(16, 5)));
  Append(s, Packet(77, 10, Bytes(10, 9)));
  Append(s, Packet(129, 8, Bytes(8, 1)));
  Append(s, PictureFrame(16, 8, 3));
  seeds.Write(target, "stray-packets", s);

  s = DataOptions(32, 24, detect, 1);
  {
    const Bytes frame = MaskFrame(32, 24, 4);
    Append(s, Bytes(frame.begin(), frame.begin() + frame.size() / 2));
  }
  seeds.Write(target, "cut-mid-packet", s);

  {
    const Bytes picture = Picture(32, 24, 0);
    Bytes body;
    for (const std::uint8_t p : picture) {
      body.push_back(static_cast<std::uint8_t>(p << 2));
      body.push_back(static_cast<std::uint8_t>(p >> 6));
    }
    s = DataOptions(32, 24, on | O::kBayer, 0xF8);
    Append(s, FrameHeader(5, 32, 24));
    Append(s, Packet(129, static_cast<std::int32_t>(body.size()), body));
    Append(s, MaskFrame(32, 24, 1));
    seeds.Write(target, "bayer", s);
  }

  s = DataOptions(24, 24, detect | O::kNoCallbacks, 2);
  for (std::uint32_t i = 0; i < 2; ++i) Append(s, MaskFrame(24, 24, i));
  seeds.Write(target, "no-callbacks", s);

  // A checkerboard of moving pixels: one object, joined at the corners.
  {
    Bytes code;
    for (int i = 0; i < 15 * 15; ++i) code.push_back(i % 2 == 0 ? 1 : 0);
    s = DataOptions(15, 15, detect, 1);
    Append(s, FrameHeader(5, 15, 15));
    Append(s, Packet(130, static_cast<std::int32_t>(code.size()), code));
    seeds.Write(target, "checkerboard", s);
  }
}

// ---- Command channel: answers of the simulated camera.

struct Step {
  std::int32_t code;
  std::uint8_t length = fz::kNaturalLength;
  std::uint8_t destination = 0;
};

// The option bytes of the steps and the camera's answers to them, in the
// order the library sends them. A camera that closes the connection
// answers nothing more.
Bytes CommandSeed(camsim::CommandProtocol& camera,
                  const std::vector<Step>& steps) {
  fz::CommandChannelOptions options;
  options.flags = steps.size() == 3 ? 1 : 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    options.transactions[i].code = fz::CommandCodeIndex(steps[i].code);
    options.transactions[i].length = steps[i].length;
    options.transactions[i].destination = steps[i].destination;
  }
  Bytes out;
  options.Write(out);
  for (const Step& step : steps) {
    const std::int32_t length = fz::LengthFromCode(step.length, step.code);
    if (fz::IsRefusedCode(step.code)) continue;
    if (length > 0 && (step.destination & fz::kNullPayload) != 0) continue;
    const camsim::Answer answer = camera.Handle(
        step.code,
        step.code == 256 ? Bytes{} : fz::CommandPayload(step.code, length));
    Append(out, answer.bytes);
    if (answer.closeAfter) break;
  }
  return out;
}

Bytes U16Payload(std::uint16_t value) {
  return {static_cast<std::uint8_t>(value),
          static_cast<std::uint8_t>(value >> 8)};
}

Bytes U32Payload(std::uint32_t value) {
  Bytes out;
  Put32(out, value);
  return out;
}

// Addresses a flash region the way the flash operations do, before the
// transactions of the seed.
void Address(camsim::CommandProtocol& camera, std::uint16_t area,
             std::uint32_t count) {
  (void)camera.Handle(516, U16Payload(area));
  (void)camera.Handle(518, U32Payload(0));
  (void)camera.Handle(519, U32Payload(count));
}

constexpr std::uint8_t kStatusDestination = 0;  // 4 bytes
constexpr std::uint8_t kRecordDestination = 1;  // 65536 bytes
constexpr std::uint8_t kAreaDestination = 2;    // 524288 bytes
constexpr std::uint8_t kNoDestination = 3;

void WriteCommandSeeds(SeedWriter& seeds) {
  using Kind = camsim::Fault::Kind;
  const std::string target = "command_channel_fuzz";
  auto plain = [&](const std::string& name, const std::vector<Step>& steps) {
    camsim::CameraModel model;
    camsim::CommandProtocol camera(model);
    seeds.Write(target, name, CommandSeed(camera, steps));
  };
  auto faulty = [&](const std::string& name, std::int32_t code, Kind kind,
                    std::int32_t value, const std::vector<Step>& steps) {
    camsim::CameraModel model;
    camsim::CommandProtocol camera(model);
    camera.SetFault(code, camsim::Fault{kind, value, 1, 0});
    seeds.Write(target, name, CommandSeed(camera, steps));
  };

  // After the flash region is addressed, with at most one fault.
  struct FlashFault {
    std::int32_t code = 0;
    Kind kind = Kind{};
    std::int32_t value = 0;
  };
  auto flash = [&](const std::string& name, std::uint16_t area,
                   std::uint32_t count, const std::vector<Step>& steps,
                   const FlashFault& fault = {}) {
    camsim::CameraModel model;
    camsim::CommandProtocol camera(model);
    Address(camera, area, count);
    if (fault.code != 0) {
      camera.SetFault(fault.code, camsim::Fault{fault.kind, fault.value, 1, 0});
    }
    seeds.Write(target, name, CommandSeed(camera, steps));
  };

  plain("connect", {{129}, {66}, {48}});
  plain("stream", {{1}, {2}});
  plain("queries-16bit", {{34}, {36}, {68}});
  plain("queries-32bit", {{81}, {97}, {113}});
  plain("queries-numeric", {{65538}, {65554}, {65569}});
  plain("query-522-and-256", {{65586}, {522}, {256}});
  plain("settings", {{82}, {81}, {65537}});
  plain("numeric-setting", {{65585}, {65586}});
  plain("plain-codes", {{3}, {33}, {35}});
  plain("plain-codes-2", {{65}, {2561}, {65570}});
  plain("completion-twice", {{256}, {256}});
  plain("refused-then-query", {{4}, {66}});
  plain("refused-then-plain", {{523}, {1}, {257}});
  plain("odd-lengths", {{65537, 0xF0}, {3, 0xF2}, {521, 0, 8}});

  flash("flash-read-record", 7, 65536, {{520, 0, kRecordDestination}, {522}});
  flash("flash-read-area", 2, 1000, {{520, 0, kAreaDestination}, {66}});
  flash("flash-write", 2, 300, {{522}, {521, 0, kStatusDestination}});
  flash("flash-read-too-long", 7, 65536,
        {{520, 0, kStatusDestination},
         {520, 0, kNoDestination | fz::kNoOutLength},
         {34}});

  faulty("ack-code", 1, Kind::kAckCode, 1282, {{1}, {2}});
  faulty("ack-status", 66, Kind::kAckStatus, 1, {{66}, {66}});
  faulty("reply-code-query", 66, Kind::kReplyCode, 68, {{66}, {34}});
  faulty("reply-code-other", 66, Kind::kReplyCode, 7, {{66}, {36}});
  faulty("reply-value", 81, Kind::kReplyValue, 82, {{81}, {97}});
  faulty("close-mid-reply", 81, Kind::kCloseMidReply, 0, {{81}, {1}});
  faulty("stall", 97, Kind::kStall, 0, {{97}, {2}});
  faulty("completion-wrong-reply", 256, Kind::kReplyCode, 7, {{256}, {66}});
  faulty("no-completion", 256, Kind::kNoCompletion, 0, {{256}, {1}});
  flash("bulk-wrong-subheader", 7, 65536,
        {{520, 0, kRecordDestination}, {520, 0, kRecordDestination}},
        {520, Kind::kReplyCode, 521});
  flash("bulk-short-body", 7, 65536, {{520, 0, kRecordDestination}, {66}},
        {520, Kind::kShortBody, 100});
  flash("status-too-long", 2, 300, {{521, 0, kStatusDestination}, {34}},
        {521, Kind::kLongBody, 8});
  flash("status-short", 2, 300,
        {{521, 0, kStatusDestination}, {521, 0, kStatusDestination}},
        {521, Kind::kStatusSize, 1});
  flash("write-status-failed", 2, 300, {{521, 0, kStatusDestination}, {522}},
        {521, Kind::kWriteStatus, 0x10001});
}

// ---- Motion masks.

Bytes MotionSeed(
    std::uint8_t flags,
    const std::vector<std::pair<fz::MotionFrameOptions, Bytes>>& frames) {
  Bytes out{flags};
  for (const auto& [options, code] : frames) {
    fz::MotionFrameOptions o = options;
    o.codeBytes = static_cast<std::uint16_t>(code.size());
    o.Write(out);
    Append(out, code);
  }
  return out;
}

fz::MotionFrameOptions Frame(std::int32_t width, std::int32_t height,
                             std::uint8_t minSizeCode,
                             std::uint8_t initialPixel = 0xCD) {
  fz::MotionFrameOptions options;
  options.width = width;
  options.height = height;
  options.minSizeCode = minSizeCode;
  options.initialPixel = initialPixel;
  return options;
}

void WriteMotionSeeds(SeedWriter& seeds) {
  using M = fz::MotionOptions;
  const std::string target = "motion_fuzz";
  seeds.Write(target, "camsim-64x48",
              MotionSeed(0, {{Frame(64, 48, 10), MaskCode(64, 48, 0)}}));
  seeds.Write(target, "camsim-240x180",
              MotionSeed(0, {{Frame(240, 180, 0xF8), MaskCode(240, 180, 7)}}));
  seeds.Write(
      target, "camsim-baseline-100x75",
      MotionSeed(M::kBaseline, {{Frame(100, 75, 1), MaskCode(100, 75, 3)}}));
  seeds.Write(
      target, "shrinking-frames",
      MotionSeed(M::kTwoFrames, {{Frame(160, 120, 20), MaskCode(160, 120, 1)},
                                 {Frame(32, 24, 2), MaskCode(32, 24, 2)}}));
  seeds.Write(target, "growing-frames",
              MotionSeed(M::kTwoFrames | M::kBaseline,
                         {{Frame(16, 16, 1), MaskCode(16, 16, 1)},
                          {Frame(150, 100, 0xFD), MaskCode(150, 100, 9)}}));

  // Alternate pixels: a checkerboard (one object) with an odd width,
  // separate columns with an even one.
  Bytes code;
  for (int i = 0; i < 81; ++i) code.push_back(i % 2 == 0 ? 1 : 0);
  seeds.Write(target, "checkerboard", MotionSeed(0, {{Frame(9, 9, 1), code}}));
  seeds.Write(target, "columns", MotionSeed(0, {{Frame(8, 8, 1), code}}));
  seeds.Write(target, "single-pixel", MotionSeed(0, {{Frame(1, 1, 1), {1}}}));
  // Two pixels touching at a corner form one object.
  seeds.Write(target, "diagonal", MotionSeed(0, {{Frame(2, 2, 2), {1, 2, 1}}}));
  seeds.Write(target, "all-moving",
              MotionSeed(0, {{Frame(64, 64, 0), Bytes(32, 0xFF)}}));
  seeds.Write(target, "runs-past-the-end",
              MotionSeed(0, {{Frame(10, 10, 1, 0x00), Bytes(40, 0xFF)}}));
  seeds.Write(target, "short-code-moving-rest",
              MotionSeed(0, {{Frame(16, 8, 3, 0xFF), {0x0E, 0x03, 0x20}}}));
  seeds.Write(target, "wide-row",
              MotionSeed(0, {{Frame(2048, 1, 0xFA), Bytes(20, 0x7F)}}));
  seeds.Write(
      target, "tall-column",
      MotionSeed(M::kBaseline, {{Frame(1, 2048, 0xFB), Bytes(20, 0x7F)}}));
  // Vertical stripes: one object a column, none joined.
  {
    Bytes stripes;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 20; ++x) stripes.push_back(x % 3 == 0 ? 1 : 0);
    }
    seeds.Write(target, "stripes",
                MotionSeed(0, {{Frame(20, 40, 0xF9), stripes}}));
  }
}

// ---- Exports.

Bytes ExportSeed(fz::ExportMode mode, const Bytes& options, const Bytes& rest) {
  Bytes out{static_cast<std::uint8_t>(mode)};
  Append(out, options);
  Append(out, rest);
  return out;
}

Bytes ImageOptions(std::int32_t width, std::int32_t height,
                   std::uint8_t depthCode, std::uint8_t flags = 0) {
  fz::ExportImageOptions options;
  options.widthCode = fz::SideCode(width);
  options.heightCode = fz::SideCode(height);
  options.depthCode = depthCode;
  options.flags = flags;
  Bytes out;
  options.Write(out);
  return out;
}

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }

Bytes WideText(const std::u32string& text) {
  Bytes out;
  for (const char32_t c : text) Put32(out, c);
  return out;
}

void WriteExportSeeds(SeedWriter& seeds) {
  using Mode = fz::ExportMode;
  const std::string target = "export_fuzz";
  const auto narrow = static_cast<std::uint8_t>(fz::NameReading::kNarrow);
  const auto wide = static_cast<std::uint8_t>(fz::NameReading::kWide);
  const auto bytes = static_cast<std::uint8_t>(fz::NameReading::kBytes);
  const std::pair<const char*, std::string> names[] = {
      {"pic", "pic"},
      {"blanks", "  shot.RAW \t"},
      {"other-ext", "shot.bmp"},
      {"short", "a.r"},
      {"exact", "x.raw"},
      {"four", "abcd"},
      {"bare-ext", ".raw"},
      {"empty", ""},
      {"all-blank", "   "},
      {"long", std::string(300, 'n')},
      {"at-limit", std::string(251, 'n')}};
  for (const auto& [name, text] : names) {
    seeds.Write(target, "name-" + std::string(name),
                ExportSeed(Mode::kFileName, {narrow}, Text(text)));
  }
  seeds.Write(target, "name-wide",
              ExportSeed(Mode::kFileName, {wide},
                         WideText(U" Bild-\u00e4\u4e2d.BMP\u3000")));
  seeds.Write(target, "name-bytes",
              ExportSeed(Mode::kFileName, {bytes}, Text("\xa0x\xe9.Raw\x85")));

  const Bytes picture = Picture(16, 12, 2);
  // Bits: depth codes 0..3 give 8, 16, 24 and 32; 0xC3 gives 7.
  seeds.Write(target, "bmp-8-130x70",
              ExportSeed(Mode::kBmpWriter, ImageOptions(130, 70, 0), picture));
  seeds.Write(target, "bmp-24-643x2",
              ExportSeed(Mode::kBmpWriter, ImageOptions(643, 2, 2), picture));
  seeds.Write(target, "bmp-24-3x5",
              ExportSeed(Mode::kBmpWriter, ImageOptions(3, 5, 2), picture));
  seeds.Write(target, "bmp-32-16x8",
              ExportSeed(Mode::kBmpWriter, ImageOptions(16, 8, 3), picture));
  seeds.Write(target, "bmp-16-13x7",
              ExportSeed(Mode::kBmpWriter, ImageOptions(13, 7, 1), picture));
  seeds.Write(target, "bmp-bad-bits",
              ExportSeed(Mode::kBmpWriter, ImageOptions(8, 8, 0xC3), picture));
  seeds.Write(
      target, "bmp-huge",
      ExportSeed(Mode::kBmpWriter,
                 ImageOptions(20, 20, 2, fz::ExportImageOptions::kHuge), {}));

  // Formats: 0 gives 52, 1 gives 53, 0xC1 an unknown code.
  seeds.Write(target, "files-mono-64x48",
              ExportSeed(Mode::kFileExport, ImageOptions(64, 48, 1),
                         Picture(64, 48, 0)));
  seeds.Write(target, "files-bayer-16x12",
              ExportSeed(Mode::kFileExport, ImageOptions(16, 12, 0), picture));
  seeds.Write(
      target, "files-unknown-format",
      ExportSeed(Mode::kFileExport, ImageOptions(16, 12, 0xC1), picture));

  // Convert: depth codes 0..2 give 16, 24, 32 bits, 0xC0 gives 8; the flags
  // byte is the format code as above.
  for (std::uint8_t depth = 0; depth < 3; ++depth) {
    for (std::uint8_t format = 0; format < 2; ++format) {
      seeds.Write(
          target,
          "convert-" + std::to_string(16 + 8 * depth) + "-" +
              (format == 0 ? "bayer" : "mono"),
          ExportSeed(Mode::kConvert,
                     ImageOptions(format == 0 ? 17 : 33, 9, depth, format),
                     picture));
    }
  }
  seeds.Write(target, "convert-bad-bits",
              ExportSeed(Mode::kConvert, ImageOptions(8, 8, 0xC0, 1), picture));
  seeds.Write(target, "convert-bad-format",
              ExportSeed(Mode::kConvert, ImageOptions(8, 8, 1, 0xC1), picture));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
    return 2;
  }
  SeedWriter seeds{fs::path(argv[1])};
  WriteDataChannelSeeds(seeds);
  WriteCommandSeeds(seeds);
  WriteMotionSeeds(seeds);
  WriteExportSeeds(seeds);
  std::printf("%d seeds, %zu bytes\n", seeds.count(), seeds.total());
  return seeds.failed() ? 1 : 0;
}
