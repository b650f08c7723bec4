// The command channel as the simulated camera speaks it: each command is
// decoded, applied to a CameraModel and answered with the acknowledgement
// and the replies in wire bytes, and this is where those answers are
// spoilt on purpose (faults, wrong or missing greetings). No sockets: the
// CameraServer plays the answers onto a connection, and the fuzz seed
// writer reads them directly.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "camera_model.h"
#include "platform/mutex.h"

namespace camsim {

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

// One per camera, shared by all its command connections; every method may
// be called from any thread.
class CommandProtocol {
 public:
  // model must outlive the protocol.
  explicit CommandProtocol(CameraModel& model) : model_(model) {}
  CommandProtocol(const CommandProtocol&) = delete;
  CommandProtocol& operator=(const CommandProtocol&) = delete;

  // The greeting for the next command connection: {1282, 0}, unless a
  // wrong one or none was asked for.
  std::vector<std::uint8_t> NextGreeting() TSA_EXCLUDES(mutex_);
  // How many of the next greetings are wrong ({1296, 0}), and whether
  // connections get no greeting at all.
  void SetWrongGreetings(int count) TSA_EXCLUDES(mutex_);
  void SetSilentGreeting(bool silent) TSA_EXCLUDES(mutex_);
  // How long new command connections wait before they are greeted.
  void SetGreetingDelay(std::uint32_t ms) TSA_EXCLUDES(mutex_);
  std::uint32_t greetingDelay() const TSA_EXCLUDES(mutex_);

  // Logs the command, applies it to the model unless a fault refuses it,
  // and gives the answer.
  Answer Handle(std::int32_t code, const std::vector<std::uint8_t>& payload)
      TSA_EXCLUDES(mutex_);

  void SetFault(std::int32_t code, Fault fault) TSA_EXCLUDES(mutex_);
  void ClearFaults() TSA_EXCLUDES(mutex_);

  // Every command received, in order, faults or not.
  std::vector<ReceivedCommand> commands() const TSA_EXCLUDES(mutex_);
  std::vector<std::int32_t> codes() const TSA_EXCLUDES(mutex_);
  void ClearLog() TSA_EXCLUDES(mutex_);

 private:
  // The flash region that 516, 518 and 519 select for 520 and 521.
  struct FlashRegion {
    std::int32_t area = 0;
    std::uint32_t offset = 0, count = 0;
  };

  Fault TakeFault(std::int32_t code) TSA_REQUIRES(mutex_);
  Answer Respond(std::int32_t code, const std::vector<std::uint8_t>& payload,
                 const Fault& fault) TSA_EXCLUDES(mutex_);
  void Apply(std::int32_t code, const std::vector<std::uint8_t>& payload)
      TSA_EXCLUDES(mutex_);
  std::vector<std::uint8_t> BulkBody(std::int32_t code,
                                     const std::vector<std::uint8_t>& payload,
                                     const Fault& fault) TSA_EXCLUDES(mutex_);
  FlashRegion region() const TSA_EXCLUDES(mutex_);

  CameraModel& model_;
  mutable quorvel::platform::Mutex mutex_;
  std::map<std::int32_t, Fault> faults_ TSA_GUARDED_BY(mutex_);
  std::vector<ReceivedCommand> log_ TSA_GUARDED_BY(mutex_);
  FlashRegion region_ TSA_GUARDED_BY(mutex_);
  int wrongGreetings_ TSA_GUARDED_BY(mutex_) = 0;
  bool silentGreeting_ TSA_GUARDED_BY(mutex_) = false;
  std::uint32_t greetingDelayMs_ TSA_GUARDED_BY(mutex_) = 0;
};

}  // namespace camsim
