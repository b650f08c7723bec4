#include "camera/connect.h"

#include <string>

#include "camera/teardown.h"
#include "command/codes.h"
#include "command/send_command.h"
#include "command/wait_ack.h"
#include "command/wire.h"
#include "display/display_thread.h"
#include "imaging/frame_size.h"
#include "platform/allocate.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "receiver/data_wire.h"
#include "receiver/receiver_thread.h"

namespace quorvel {

namespace {

constexpr std::uint32_t kHandshakeRetryPauseMs = 2000;
constexpr std::int32_t kDefaultWidth = 640;
constexpr std::int32_t kDefaultHeight = 480;
// The frame size rule and command 48 carry sizes in 16 bits; larger ones
// would leave the frame buffers smaller than the frames written into them.
constexpr std::int32_t kLargestSize = 32767;
constexpr std::int32_t kDisplayLimit = 2048;
constexpr std::int32_t kDefaultMinObjectSize = 2500;

enum class Handshake { kGreeted, kNoConnection, kWrongGreeting };

// One connect's work on the record it sets up, which only this thread (and
// a cancelling disconnect-all, through the registry) knows.
class Connection {
 public:
  Connection(Registry& registry, PendingConnect& pending)
      : registry_(registry),
        pending_(pending),
        record_(pending.record()),
        ref_(pending.node, &pending.node->record) {}

  const char* Run(std::int32_t width, std::int32_t height, bool display,
                  bool flash);

 private:
  Handshake OpenCommandChannel();
  bool OpenDataChannel();
  bool AllocateFrameStorage(bool display);
  void SetUpForStreaming();
  bool StartThreads(bool display);
  bool SendStartupCommands();
  // Whatever fails after the threads start removes them again; the sockets
  // close when the last reference to the record goes. They are shut down
  // first, so a receiver blocked in the middle of a packet lets go at once.
  const char* RollBack();

  Registry& registry_;
  PendingConnect& pending_;
  CameraRecord& record_;
  const CameraRef ref_;
};

// Opens the command channel and checks the camera's greeting {1282, 0},
// which must come within the idle time-out.
Handshake Connection::OpenCommandChannel() {
  platform::Socket socket = platform::Socket::ConnectTcp(
      pending_.ipv4, command::kCommandPort, kConnectTimeoutMs);
  if (!socket.valid() ||
      !registry_.Adopt(pending_, &CameraRecord::commandSocket,
                       std::move(socket))) {
    return Handshake::kNoConnection;
  }
  if (Succeeded(WaitAck(record_.commandSocket, command::kGreetingCode,
                                 CommandLimits()))) {
    return Handshake::kGreeted;
  }
  (void)registry_.Adopt(pending_, &CameraRecord::commandSocket,
                        platform::Socket());
  return Handshake::kWrongGreeting;
}

bool Connection::OpenDataChannel() {
  platform::SleepMs(1);
  platform::Socket socket = platform::Socket::ConnectTcp(
      pending_.ipv4, receiver::kDataPort, kConnectTimeoutMs);
  return socket.valid() &&
         registry_.Adopt(pending_, &CameraRecord::dataSocket,
                         std::move(socket));
}

// Frame storage: all three slots for both video kinds, so a stream started
// without display never meets a slot without pixels; the work buffers for
// display connections only.
bool Connection::AllocateFrameStorage(bool display) {
  const std::int32_t frameBytes =
      FrameByteSize(record_.width, record_.height, record_.pixelFormat);
  if (frameBytes <= 0) return false;
  FrameSlots& slots = record_.slots;
  for (FrameSlot* slot : {&slots.slotA, &slots.slotB, &slots.slotC}) {
    slot->pixels = platform::TryAllocate<std::uint8_t>(
        static_cast<std::size_t>(frameBytes));
    if (slot->pixels == nullptr) return false;
  }
  if (!display) return true;
  const std::size_t workBytes = static_cast<std::size_t>(record_.width) *
                                static_cast<std::size_t>(record_.height) * 4;
  platform::MutexLock lock(record_.displayLock);
  record_.rgbaBuffer = platform::TryAllocate<std::uint8_t>(workBytes);
  record_.displayBuffer = platform::TryAllocate<std::uint8_t>(workBytes);
  return record_.rgbaBuffer != nullptr && record_.displayBuffer != nullptr;
}

void Connection::SetUpForStreaming() {
  record_.zoomX.store(1.0f);
  record_.zoomY.store(1.0f);
  (void)ChooseDecimationStep(record_.width, kDisplayLimit, &record_.stepX,
                             &record_.displayWidth);
  (void)ChooseDecimationStep(record_.height, kDisplayLimit, &record_.stepY,
                             &record_.displayHeight);
  record_.highlightSelect.store(RVX_HIGHLIGHT_NONE);
  record_.minObjectSize.store(kDefaultMinObjectSize);
}

bool Connection::StartThreads(bool display) {
  record_.receiverWake = std::make_unique<platform::Wakeup>();
  if (!record_.receiverWake->valid()) return false;
  const CameraRef record = ref_;
  record_.receiverThread =
      platform::WorkerThread::Start([record] { ReceiverThreadProc(record); });
  if (record_.receiverThread == nullptr) return false;
  record_.receiverThreadId.store(record_.receiverThread->id());
  record_.hasReceiverThread.store(true);
  // The receiver signals as soon as it runs; the bound only guards against
  // a system that never schedules it.
  if (!record_.threadEvent.Wait(kThreadStopWaitMs)) return false;
  if (display) {
    record_.displayThread =
        platform::WorkerThread::Start([record] { DisplayThreadProc(record); });
    if (record_.displayThread == nullptr) return false;
  }
  return true;
}

bool Connection::SendStartupCommands() {
  // Nobody else knows the record yet; the lock is what the channel's
  // contract asks of every transaction.
  platform::TimedLock lock(record_.commandLock);
  if (!Succeeded(Transact(record_, command::kResume, 0, nullptr))) {
    return false;
  }
  if (!Succeeded(Transact(record_, command::kQueryInternalSps, 0, nullptr))) {
    return false;
  }
  std::uint8_t size[8];
  platform::StoreLE16(size, static_cast<std::uint16_t>(record_.width));
  platform::StoreLE16(size + 2, static_cast<std::uint16_t>(record_.height));
  platform::StoreLE16(size + 4, 1);
  platform::StoreLE16(size + 6, 1);
  return Succeeded(Transact(record_, command::kSetFrameSize, sizeof size, size));
}

const char* Connection::RollBack() {
  record_.stopping.store(true);
  record_.connected.store(0);
  record_.commandSocket.ShutdownBoth();
  record_.dataSocket.ShutdownBoth();
  const std::uint32_t deadline = platform::TickCount() + kThreadStopWaitMs;
  (void)StopDisplayThread(record_, deadline);
  (void)StopReceiverThread(record_, deadline);
  return nullptr;
}

const char* Connection::Run(std::int32_t width, std::int32_t height,
                            bool display, bool flash) {
  const std::int32_t recordWidth = width > 3 ? width : kDefaultWidth;
  const std::int32_t recordHeight = height > 0 ? height : kDefaultHeight;
  if (recordWidth > kLargestSize || recordHeight > kLargestSize) return nullptr;

  const Handshake first = OpenCommandChannel();
  if (first == Handshake::kNoConnection) return nullptr;
  if (first == Handshake::kWrongGreeting) {
    if (flash || registry_.Cancelled(pending_)) return nullptr;
    // One more try after a pause: a camera that was just restarted may not
    // greet properly at once.
    platform::SleepMs(kHandshakeRetryPauseMs);
    if (registry_.Cancelled(pending_) ||
        OpenCommandChannel() != Handshake::kGreeted) {
      return nullptr;
    }
  }
  if (!flash && !OpenDataChannel()) return nullptr;

  record_.ipAddress = pending_.ipv4;
  record_.pixelFormat = RVX_FORMAT_MONO8;
  record_.width = recordWidth;
  record_.height = recordHeight;
  if (flash) {
    record_.connected.store(1);
    return registry_.Publish(pending_);
  }
  // Everything the worker threads and other callers read is in place before
  // the threads start and before the record is published under its name.
  if (!AllocateFrameStorage(display)) return nullptr;
  SetUpForStreaming();
  if (!StartThreads(display) || !SendStartupCommands()) return RollBack();
  record_.connected.store(1);
  const char* handle = registry_.Publish(pending_);
  return handle != nullptr ? handle : RollBack();
}

}  // namespace

const char* ConnectCamera(Registry& registry, const wchar_t* address,
                          std::int32_t width, std::int32_t height,
                          bool display, bool flash) {
  if (address == nullptr) return nullptr;
  const std::string text = platform::NarrowAddress(address);
  std::uint32_t ipv4 = 0;
  if (!platform::ResolveIPv4(text.c_str(), &ipv4)) return nullptr;

  Registry::Admission admission = registry.Admit(ipv4);
  switch (admission.kind) {
    case Registry::Admission::Kind::kConnected:
      // Whatever kind and size are asked for now.
      return admission.handle;
    case Registry::Admission::Kind::kWaiting:
      return registry.AwaitResult(admission.pending);
    case Registry::Admission::Kind::kProceed:
      break;
  }
  PendingConnect& pending = *admission.pending;
  if (admission.lost != nullptr) (void)TearDownCamera(*admission.lost);
  const char* handle =
      Connection(registry, pending).Run(width, height, display, flash);
  if (handle == nullptr) registry.Abandon(pending);
  return handle;
}

}  // namespace quorvel
