// Fuzz target: a camera answering command transactions with arbitrary
// bytes. Two or three transactions of any code class run on one connection,
// so one that fails part-way is followed by another that reads whatever it
// left behind.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "command/command_link.h"
#include "command/send_command.h"
#include "fuzz_options.h"
#include "fuzz_support.h"
#include "harness_cost.h"
#include "platform/byte_order.h"
#include "registry/camera_record.h"

namespace quorvel::fuzz {
namespace {

constexpr std::int32_t kUnsetLength = -12345;
constexpr std::uint8_t kUntouched = 0xA5;

// The reply store, compared around each transaction.
struct Replies {
  std::int32_t values[12];
};

Replies Snapshot(CameraRecord& r) {
  platform::TimedLock lock(r.commandLock);
  return {{r.reply34, r.reply36lo, r.reply36hi, r.internalSps, r.reply81,
           r.reply97, r.reply113, r.reply68, r.reply65538, r.reply65554,
           r.reply65569, r.reply65586}};
}

// Indexes into Replies::values of the fields a successful query of code
// may change; -1 where none.
void FieldsOf(std::int32_t code, int* first, int* second) {
  *first = *second = -1;
  switch (code) {
    case 34:
      *first = 0;
      break;
    case 36:
      *first = 1;
      *second = 2;
      break;
    case 66:
      *first = 3;
      break;
    case 81:
      *first = 4;
      break;
    case 97:
      *first = 5;
      break;
    case 113:
      *first = 6;
      break;
    case 68:
      *first = 7;
      break;
    case 65538:
      *first = 8;
      break;
    case 65554:
      *first = 9;
      break;
    case 65569:
      *first = 10;
      break;
    case 65586:
      *first = 11;
      break;
    default:
      break;
  }
}

// The camera, in memory: it keeps the library's requests for the final
// comparison and answers with the input's bytes, which it sends only when
// asked, so nothing waits before a request but the end of the stream. When
// a command 256 request arrives it gives the completion that the camera
// would push on the data channel. Without it every command 256 whose reply
// header reads 256 would wait 5 seconds for a completion that never comes;
// with it the wait ends at once, and the time-out path (a plain timed
// wait) is left to the integration tests.
class MemoryCamera final : public CommandLink {
 public:
  MemoryCamera(CameraRecord& record, const std::uint8_t* answers,
               std::size_t size, std::vector<std::uint8_t>& requests)
      : record_(record), answers_(answers, size), requests_(requests) {}

  platform::IoResult Send(const void* bytes, std::int64_t count) override {
    if (count <= 0) return platform::IoResult::kOk;
    const auto* from = static_cast<const std::uint8_t*>(bytes);
    requests_.insert(requests_.end(), from, from + count);
    // Each request header is read as it is complete: code, then length.
    while (nextHeader_ + 8 <= requests_.size()) {
      const std::uint8_t* header = requests_.data() + nextHeader_;
      if (platform::LoadLE32Signed(header) == 256) SignalCommandDone(&record_);
      const std::int32_t length = platform::LoadLE32Signed(header + 4);
      nextHeader_ += 8 + static_cast<std::size_t>(length > 0 ? length : 0);
    }
    return platform::IoResult::kOk;
  }
  platform::IoResult Receive(void* bytes, std::int64_t count) override {
    return answers_.Read(bytes, count);
  }
  platform::IoResult Discard(std::int64_t count) override {
    return answers_.Skip(count);
  }
  // A socket at its end reads as ready: the close is what waits.
  bool HasUnread() override { return answers_.left() == 0; }
  // Nothing has arrived unasked; a closed stream fails the drain.
  platform::IoResult DrainUntilQuiet(std::uint32_t) override {
    return answers_.left() == 0 ? platform::IoResult::kClosed
                                : platform::IoResult::kOk;
  }

 private:
  CameraRecord& record_;
  MemoryStream answers_;
  std::vector<std::uint8_t>& requests_;
  std::size_t nextHeader_ = 0;
};

// The first byte is value and each byte equals its successor; memcmp keeps
// the check of a 512 KiB destination cheap.
bool AllBytesAre(const std::uint8_t* bytes, std::size_t count,
                 std::uint8_t value) {
  return count == 0 ||
         (bytes[0] == value && std::memcmp(bytes, bytes + 1, count - 1) == 0);
}

bool IsQuery(std::int32_t code) {
  int first, second;
  FieldsOf(code, &first, &second);
  return first >= 0;
}

// Runs one transaction and checks what the caller can see of it; appends
// the request the camera must have received.
void RunTransaction(CameraRecord& record, CommandLink& camera,
                    const TransactionOptions& options,
                    std::vector<std::uint8_t>& expected) {
  const std::int32_t code = kCommandCodes[options.code % kCommandCodeCount];
  const std::int32_t length = LengthFromCode(options.length, code);
  static ReusedBuffer<std::uint8_t> payloadBuffer;
  const std::size_t payloadSize = length > 0 ? length : 0;
  std::uint8_t* const payload = payloadBuffer.Get(payloadSize);
  FillCommandPayload(payload, payloadSize, code);
  const bool nullPayload = (options.destination & kNullPayload) != 0;
  const std::int32_t capacity = kDestinationSizes[options.destination & 3];
  // Exactly the caller's size, so a write past it is caught.
  static ReusedBuffer<std::uint8_t> destination;
  std::uint8_t* const buffer =
      capacity > 0 ? destination.Get(static_cast<std::size_t>(capacity))
                   : nullptr;
  if (buffer != nullptr) std::memset(buffer, kUntouched, capacity);
  std::int32_t outLength = kUnsetLength;
  std::int32_t* outPointer =
      (options.destination & kNoOutLength) != 0 ? nullptr : &outLength;

  const Replies before = Snapshot(record);
  CommandStatus status;
  {
    platform::TimedLock lock(record.commandLock);
    status = Transact(record, camera, code, length,
                      nullPayload || payloadSize == 0 ? nullptr : payload,
                      {outPointer, buffer, capacity});
  }
  const Replies after = Snapshot(record);

  const bool refused = IsRefusedCode(code);
  FUZZ_CHECK(refused == (status == CommandStatus::kRefusedCode));
  const bool unsendable = !refused && length > 0 && nullPayload;
  if (unsendable) FUZZ_CHECK(status == CommandStatus::kSendFailed);
  // Nothing of the connection may stop a transaction from sending, and the
  // camera always answers 256 at once.
  if (!unsendable) FUZZ_CHECK(status != CommandStatus::kSendFailed);
  FUZZ_CHECK(status != CommandStatus::kTimedOut);

  const bool bulk = code == 520 || code == 521;
  if (status == CommandStatus::kOk && bulk) {
    if (outPointer != nullptr) {
      FUZZ_CHECK(outLength <= capacity);
      if (outLength > 0) FUZZ_CHECK(buffer != nullptr);
    }
  } else {
    // Only a completed bulk reply reports a byte count.
    FUZZ_CHECK(outLength == kUnsetLength);
  }
  if (status == CommandStatus::kOverflow) FUZZ_CHECK(bulk);
  if (!bulk || status == CommandStatus::kOverflow) {
    // Other codes never touch the buffer; a body too long for it is
    // dropped without writing any of it.
    FUZZ_CHECK(capacity == 0 || AllBytesAre(buffer, capacity, kUntouched));
  }

  // The reply store changes only by a query that read its whole value.
  int first, second;
  FieldsOf(code, &first, &second);
  for (int i = 0; i < 12; ++i) {
    const bool mayChange = status == CommandStatus::kOk && IsQuery(code) &&
                           (i == first || i == second);
    if (!mayChange) FUZZ_CHECK(before.values[i] == after.values[i]);
  }

  // A channel that broke before sends nothing more.
  if (refused || unsendable || status == CommandStatus::kChannelDown) return;
  // The request: header, then the payload; 256 never carries one.
  const std::int32_t sentLength = code == 256 ? 0 : length;
  Put32(expected, static_cast<std::uint32_t>(code));
  Put32(expected, static_cast<std::uint32_t>(sentLength));
  if (sentLength > 0) {
    expected.insert(expected.end(), payload, payload + payloadSize);
  }
}

}  // namespace
}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorvel;
  using namespace quorvel::fuzz;
  ByteReader in(data, size);
  const CommandChannelOptions options = CommandChannelOptions::Read(in);

  auto record = std::make_unique<CameraRecord>();
  static std::vector<std::uint8_t> received, expected;
  received.clear();
  expected.clear();
  MemoryCamera camera(*record, in.rest(), in.restSize(), received);
  for (int t = 0; t < options.count(); ++t) {
    RunTransaction(*record, camera, options.transactions[t], expected);
  }
  // Every transaction sent exactly its own request, in order, whatever the
  // camera answered before.
  FUZZ_CHECK(received == expected);
  return 0;
}
