// Everything the library keeps about one connected camera.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "display/display_objects_fwd.h"
#include "imaging/pixel_format.h"
#include "platform/event.h"
#include "platform/socket.h"
#include "platform/wakeup.h"
#include "platform/worker_thread.h"
#include "quorvel/quorvel.h"
#include "registry/frame_slot.h"

namespace quorvel {

inline constexpr std::size_t kDeviceNameSize = 544;

// Fields are written by the connecting thread before the worker threads
// start unless they are atomic or named with their lock. Values that the
// application's threads and the workers share without a lock are atomics
// with relaxed order: each is a single value read once per use.
struct CameraRecord {
  CameraRecord() = default;
  CameraRecord(const CameraRecord&) = delete;
  CameraRecord& operator=(const CameraRecord&) = delete;

  // Device name "RVXOSTRL1[n]"; the handle points here.
  char name[kDeviceNameSize] = {};
  std::uint32_t ipAddress = 0;  // network byte order

  // Owned by the record for its whole life: a transaction or the receiver
  // borrows them, disconnect shuts them down, and they are closed when the
  // last user of the record lets go, so no descriptor is ever reused under
  // a thread that still reads it.
  platform::Socket commandSocket;
  platform::Socket dataSocket;

  FrameSlot slotA, slotB, slotC;
  FrameSlot* fillSlot = &slotA;   // receiver only
  FrameSlot* readySlot = &slotB;  // guarded by slotLock
  FrameSlot* showSlot = &slotC;   // display thread only

  std::unique_ptr<std::uint8_t[]> rgbaBuffer;     // width x height x 4
  std::unique_ptr<std::uint8_t[]> displayBuffer;  // width x height x 4

  // Fixed at connect.
  std::int32_t pixelFormat = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stepX = 0, stepY = 0;
  std::int32_t displayWidth = 0, displayHeight = 0;

  std::atomic<std::int32_t> scrollX{0}, scrollY{0};
  std::atomic<float> zoomX{0.0f}, zoomY{0.0f};

  // Declared after the sockets and buffers they use, so they are stopped
  // first when a record is torn down.
  std::unique_ptr<platform::WorkerThread> receiverThread;
  std::unique_ptr<platform::WorkerThread> displayThread;
  // Lets the receiver's poll loop end; the quit request of its loop.
  std::unique_ptr<platform::Wakeup> receiverWake;
  // What other threads may ask about the receiver while connect or
  // disconnect changes receiverThread: whether there is one, and which.
  std::atomic<bool> hasReceiverThread{false};
  std::atomic<std::thread::id> receiverThreadId{};

  std::mutex rxFpsLock;
  std::int32_t rxFrameCount = 0, rxCountMark = 0;  // guarded by rxFpsLock
  std::uint32_t rxTickMark = 0;                    // guarded by rxFpsLock
  float rxFps = 0.0f;                              // guarded by rxFpsLock

  std::mutex shownFpsLock;
  std::int32_t shownFrameCount = 0, shownCountMark = 0;  // shownFpsLock
  std::uint32_t shownTickMark = 0;                       // shownFpsLock
  float shownFps = 0.0f;                                 // shownFpsLock

  std::atomic<RvxWindow> displayWindow{0};
  std::int32_t screenBitsPerPixel = 0;  // guarded by displayLock
  // The bound window's screen, surfaces and bitmaps; null while no window
  // is bound. Guarded by displayLock.
  std::unique_ptr<DisplayObjects, DisplayObjectsDeleter> displayObjects;
  // Serialises drawing on the display thread with window set-up, redraw and
  // release from the application's threads.
  std::mutex displayLock;

  std::mutex slotLock;    // fillSlot/readySlot/showSlot exchange, frameReady
  std::mutex formatLock;  // width, height and pixelFormat read together
  std::int32_t frameReady = 0;  // guarded by slotLock

  // The receiver's one readiness signal, then the display thread's stop.
  platform::Event threadEvent{platform::Event::Reset::kAuto};
  // Completion of command 256. It "exists" from the first command 256 until
  // disconnect; the receiver sets it only while it exists.
  platform::Event commandDoneEvent{platform::Event::Reset::kAuto};
  std::atomic<bool> commandDoneExists{false};

  std::atomic<std::int32_t> connected{0};
  std::atomic<std::int32_t> streaming{0};
  std::atomic<std::int32_t> detectObjects{0};

  // Reply store of the command channel, written by queries and read by the
  // settings on the same application thread.
  std::int16_t reply34 = 0, reply36lo = 0, reply36hi = 0, internalSps = 0;
  std::int16_t reply81 = 0, reply97 = 0, reply113 = 0, reply68 = 0;
  std::int32_t reply65538 = 0, reply65554 = 0;
  std::int16_t reply65569 = 0;
  std::int32_t reply65586 = 0;

  std::atomic<std::int32_t> minObjectSize{0};
  std::atomic<std::int32_t> highlightSelect{0};

  // Display thread only: the shown frame's objects and labels.
  const std::int32_t* highlightCount = nullptr;
  const ObjectReport* highlightObjects = nullptr;
  const std::int32_t* labelMap = nullptr;
  std::unique_ptr<std::uint8_t[]> overlayMask;

  std::atomic<RvxAlarmCallback> alarmCallback{nullptr};
  std::atomic<std::int32_t> alarmUser{0};
  std::atomic<RvxFrameCallback> frameCallback{nullptr};
  std::atomic<std::int32_t> frameUser{0};
  std::atomic<RvxObjectsCallback> objectsCallback{nullptr};
  std::atomic<std::int32_t> objectsUser{0};
  std::atomic<RvxStreamCallback> streamCallback{nullptr};
  std::atomic<std::int32_t> streamUser{0};
};

// The registry's element. The record sits inside it by value and never
// moves while linked; shared ownership keeps it alive for a thread or an
// export that still uses it after disconnect unlinked it.
struct CameraNode {
  CameraRecord record;
};

}  // namespace quorvel
