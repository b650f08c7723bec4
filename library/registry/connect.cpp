#include <new>
#include <string>

#include "app/camera_lib_app.h"
#include "command/send_command.h"
#include "command/transfer.h"
#include "command/wire.h"
#include "display/display_thread.h"
#include "imaging/frame_size.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "receiver/data_wire.h"
#include "receiver/receiver_thread.h"
#include "registry/teardown.h"

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

// Opens the command channel and checks the camera's greeting {1282, 0}.
Handshake OpenCommandChannel(std::uint32_t ipv4, platform::Socket& socket) {
  socket = platform::Socket::ConnectTcp(ipv4, command::kCommandPort);
  if (!socket.valid()) return Handshake::kNoConnection;
  if (command::WaitAck(socket, command::kGreetingCode)) {
    return Handshake::kGreeted;
  }
  socket.Close();
  return Handshake::kWrongGreeting;
}

std::unique_ptr<std::uint8_t[]> AllocateBytes(std::size_t bytes) {
  try {
    return std::make_unique<std::uint8_t[]>(bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Frame storage: all three slots for both video kinds, so a stream started
// without display never meets a slot without pixels; the work buffers for
// display connections only.
bool AllocateFrameStorage(CameraRecord& record, bool display) {
  const std::int32_t frameBytes =
      FrameByteSize(record.width, record.height, record.pixelFormat);
  if (frameBytes <= 0) return false;
  for (FrameSlot* slot : {&record.slotA, &record.slotB, &record.slotC}) {
    slot->pixels = AllocateBytes(static_cast<std::size_t>(frameBytes));
    if (slot->pixels == nullptr) return false;
  }
  if (display) {
    const std::size_t workBytes = static_cast<std::size_t>(record.width) *
                                  static_cast<std::size_t>(record.height) * 4;
    record.rgbaBuffer = AllocateBytes(workBytes);
    record.displayBuffer = AllocateBytes(workBytes);
    if (record.rgbaBuffer == nullptr || record.displayBuffer == nullptr) {
      return false;
    }
  }
  return true;
}

bool SendStartupCommands(CameraRecord& record) {
  if (!Succeeded(SendCommand(&record, 129, 0, nullptr))) return false;
  if (!Succeeded(SendCommand(&record, 66, 0, nullptr))) return false;
  std::uint8_t size[8];
  platform::StoreLE16(size, static_cast<std::uint16_t>(record.width));
  platform::StoreLE16(size + 2, static_cast<std::uint16_t>(record.height));
  platform::StoreLE16(size + 4, 1);
  platform::StoreLE16(size + 6, 1);
  return Succeeded(SendCommand(&record, 48, sizeof size, size));
}

}  // namespace

const char* CCameraLibApp::ConnectCamera(const wchar_t* address,
                                         std::int32_t width,
                                         std::int32_t height, bool display,
                                         bool flash) {
  if (address == nullptr) return nullptr;
  const std::string text = platform::NarrowAddress(address);
  std::uint32_t ipv4 = 0;
  if (!platform::ResolveIPv4(text.c_str(), &ipv4)) return nullptr;

  // An address already connected gives its camera back, whatever kind and
  // size are asked for now.
  if (const CameraRef existing = registry_.FindByAddress(ipv4)) {
    return existing->name;
  }

  const std::int32_t recordWidth = width > 3 ? width : kDefaultWidth;
  const std::int32_t recordHeight = height > 0 ? height : kDefaultHeight;
  if (recordWidth > kLargestSize || recordHeight > kLargestSize) return nullptr;

  platform::Socket commandSocket;
  const Handshake first = OpenCommandChannel(ipv4, commandSocket);
  if (first == Handshake::kNoConnection) return nullptr;
  if (first == Handshake::kWrongGreeting) {
    if (flash) return nullptr;
    // One more try after a pause: a camera that was just restarted may not
    // greet properly at once.
    platform::SleepMs(kHandshakeRetryPauseMs);
    if (OpenCommandChannel(ipv4, commandSocket) != Handshake::kGreeted) {
      return nullptr;
    }
  }
  platform::Socket dataSocket;
  if (!flash) {
    platform::SleepMs(1);
    dataSocket = platform::Socket::ConnectTcp(ipv4, receiver::kDataPort);
    if (!dataSocket.valid()) return nullptr;
  }

  auto node = std::make_shared<CameraNode>();
  CameraRecord& record = node->record;
  record.commandSocket = std::move(commandSocket);
  record.dataSocket = std::move(dataSocket);
  record.ipAddress = ipv4;
  record.pixelFormat = kPixelFormatMono;
  record.width = recordWidth;
  record.height = recordHeight;
  // Everything the worker threads and other callers read is in place before
  // the record becomes visible under its name.
  if (!flash) {
    if (!AllocateFrameStorage(record, display)) return nullptr;
    record.fillSlot = &record.slotA;
    record.readySlot = &record.slotB;
    record.showSlot = &record.slotC;
    record.zoomX.store(1.0f);
    record.zoomY.store(1.0f);
    (void)ChooseDecimationStep(record.width, kDisplayLimit, &record.stepX,
                               &record.displayWidth);
    (void)ChooseDecimationStep(record.height, kDisplayLimit, &record.stepY,
                               &record.displayHeight);
    record.highlightSelect.store(-1);
    record.minObjectSize.store(kDefaultMinObjectSize);
  }
  const CameraRef linked = registry_.Link(std::move(node));

  // Whatever fails from here on removes the record again; its sockets close
  // when the last reference goes. They are shut down first, so a receiver
  // blocked in the middle of a packet lets go at once.
  auto rollBack = [&] {
    linked->commandSocket.ShutdownBoth();
    linked->dataSocket.ShutdownBoth();
    (void)StopDisplayThread(*linked);
    (void)StopReceiverThread(*linked);
    (void)registry_.Unlink(linked.get());
    return nullptr;
  };

  if (flash) {
    linked->connected.store(1);
    return linked->name;
  }

  linked->receiverWake = std::make_unique<platform::Wakeup>();
  if (!linked->receiverWake->valid()) return rollBack();
  linked->receiverThread =
      platform::WorkerThread::Start([linked] { ReceiverThreadProc(linked); });
  if (linked->receiverThread == nullptr) return rollBack();
  linked->receiverThreadId.store(linked->receiverThread->id());
  linked->hasReceiverThread.store(true);
  (void)linked->threadEvent.Wait(platform::kWaitForever);

  if (display) {
    linked->displayThread =
        platform::WorkerThread::Start([linked] { DisplayThreadProc(linked); });
    if (linked->displayThread == nullptr) return rollBack();
  }

  if (!SendStartupCommands(*linked)) return rollBack();
  linked->connected.store(1);
  return linked->name;
}

}  // namespace quorvel
