// The simulated camera's state and its answers to commands, without
// sockets: tests can drive it directly, and the server plays its answers
// onto the wire.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace camsim {

inline constexpr std::int32_t kDeviceRecordArea = 7;
inline constexpr std::size_t kDeviceRecordSize = 372;
inline constexpr std::size_t kAreaSize = 524288;
inline constexpr int kAreaCount = 6;

// A fault injected into the answer to one command code.
struct Fault {
  enum class Kind {
    kNone,
    kAckCode,         // acknowledgement {value, 0} instead of {1296, 0}
    kAckStatus,       // acknowledgement {1296, value}
    kReplyCode,       // reply header (or bulk sub-header) code = value
    kShortBody,       // bulk body value bytes short of its byte count, close
    kLongBody,        // bulk byte count and body value bytes longer
    kCloseMidReply,   // acknowledgement and half a reply header, then close
    kStall,           // acknowledgement, then silence
    kNoCompletion,    // 256: no completion on the data channel
    kLateCompletion,  // 256: completion after value milliseconds
    kReplyValue,      // query answers value instead of the stored one
    kDelay,           // the whole answer comes value milliseconds late
    kWriteStatus,     // 521: nothing is written, the status word is value
    kStatusSize,      // 521: written, but the status body is value bytes
    kNoAnswer,        // nothing at all, not even the acknowledgement
    kStrayBytes,      // the answer, then value bytes nobody asked for
  };
  Kind kind = Kind::kNone;
  std::int32_t value = 0;
  int times = -1;  // how many answers it affects; -1 for all
  int skip = 0;    // answers to the code left alone before it applies
};

// Areas 1 to 6 and the device record (area 7), in that order.
using FlashImage = std::vector<std::vector<std::uint8_t>>;

// What the camera does in answer to one command.
struct Answer {
  std::vector<std::uint8_t> bytes;  // sent on the command connection
  bool closeAfter = false;          // then close the command connection
  bool stallAfter = false;          // then send nothing more
  bool completion = false;          // push a type-256 packet on the data
  std::uint32_t completionDelayMs = 0;
  std::uint32_t delayMs = 0;  // pause before any of it is sent
};

struct ReceivedCommand {
  std::int32_t code;
  std::vector<std::uint8_t> payload;
};

class CameraModel {
 public:
  CameraModel();

  // The greeting for the next command connection: {1282, 0}, unless a
  // wrong one was asked for.
  std::vector<std::uint8_t> NextGreeting();
  // How many of the next greetings are wrong ({1296, 0}), and whether
  // connections get no greeting at all.
  void SetWrongGreetings(int count);
  void SetSilentGreeting(bool silent);
  // How long new command connections wait before they are greeted.
  void SetGreetingDelay(std::uint32_t ms);
  std::uint32_t greetingDelay() const;

  Answer Handle(std::int32_t code, const std::vector<std::uint8_t>& payload);

  void SetFault(std::int32_t code, Fault fault);
  void ClearFaults();

  // The value that query 66 reports (item 201 delivers it back).
  void SetInternalSps(std::uint16_t value);
  void SetQueryValue(std::int32_t queryCode, std::int32_t value);

  std::vector<ReceivedCommand> commands() const;
  std::vector<std::int32_t> codes() const;
  void ClearLog();
  bool streaming() const;
  // Item 205 switches the stream between pictures (off, the default) and
  // motion masks (on).
  bool maskMode() const;
  std::int32_t width() const;
  std::int32_t height() const;
  std::vector<std::uint8_t> area(int number) const;
  void SetArea(int number, std::vector<std::uint8_t> bytes);

  // The whole flash at once, so a program can keep it across restarts.
  FlashImage ExportFlash() const;
  // False, with nothing changed, unless image holds all seven areas, each
  // no larger than the area it replaces may grow.
  bool ImportFlash(FlashImage image);
  // Flash writes (521) that the camera accepted so far.
  std::uint64_t flashWrites() const;
  // Runs after every accepted flash write, on the thread that served it
  // and outside the model's lock, so it may read the model.
  void SetFlashWriteHook(std::function<void()> hook);

 private:
  Answer Respond(std::int32_t code, const std::vector<std::uint8_t>& payload,
                 const Fault& fault);
  void ApplySetting(std::int32_t code,
                    const std::vector<std::uint8_t>& payload);
  std::int32_t QueryValue(std::int32_t code) const;
  std::vector<std::uint8_t> ReadFlash();
  bool WriteFlash(const std::vector<std::uint8_t>& payload);
  std::vector<std::uint8_t> WriteStatus(
      const std::vector<std::uint8_t>& payload, const Fault& fault);
  Fault TakeFault(std::int32_t code);

  mutable std::mutex mutex_;
  std::map<std::int32_t, std::int32_t> values_;  // by query code
  std::map<std::int32_t, Fault> faults_;
  std::vector<ReceivedCommand> log_;
  std::vector<std::vector<std::uint8_t>> areas_;  // index = area number
  int wrongGreetings_ = 0;
  bool silentGreeting_ = false;
  std::uint32_t greetingDelayMs_ = 0;
  bool streaming_ = false;
  std::int32_t width_ = 640, height_ = 480;
  std::int32_t flashArea_ = 0;
  std::uint32_t flashOffset_ = 0, flashCount_ = 0;
  std::uint64_t flashWrites_ = 0;
  std::function<void()> flashWriteHook_;
};

}  // namespace camsim
