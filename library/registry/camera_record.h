// Everything the library keeps about one connected camera.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/event.h"
#include "platform/mutex.h"
#include "platform/socket.h"
#include "platform/wakeup.h"
#include "platform/worker_thread.h"
#include "imaging/frame_size.h"
#include "quorvel/quorvel.h"
#include "registry/callback_gate.h"
#include "registry/display_binding.h"
#include "registry/frame_rate.h"
#include "registry/frame_slots.h"

namespace quorvel {

// Fields are written by the connecting thread before the record is
// published unless they are atomic or named with their lock; the connecting
// thread is then the only one that knows the record. Values that the
// application's threads and the workers share without a lock are atomics:
// each is a single value read once per use.
struct CameraRecord {
  CameraRecord() = default;
  CameraRecord(const CameraRecord&) = delete;
  CameraRecord& operator=(const CameraRecord&) = delete;

  // Device name "RVXOSTRL1[n]" in the registry's permanent name storage;
  // the handle points here. Empty until the record is published.
  const char* name = "";
  std::uint32_t ipAddress = 0;  // network byte order

  // Owned by the record for its whole life: a transaction or the receiver
  // borrows them, disconnect shuts them down, and they are closed when the
  // last user of the record lets go, so no descriptor is ever reused under
  // a thread that still reads it. While a connect runs they are written
  // only under the registry's lock, which cancellation reads them under.
  platform::Socket commandSocket;
  platform::Socket dataSocket;

  // slotA, slotB, slotC and the fillSlot / readySlot / showSlot rotation.
  FrameSlots slots;

  // Serialises drawing on the display thread with window set-up, redraw and
  // release from the application's threads.
  platform::Mutex displayLock;
  // Width x height x 4 bytes each: the shown frame's work image and its
  // decimated, packed pixels.
  std::unique_ptr<std::uint8_t[]> rgbaBuffer TSA_GUARDED_BY(displayLock);
  std::unique_ptr<std::uint8_t[]> displayBuffer TSA_GUARDED_BY(displayLock);

  // Fixed at connect: written before the worker threads start and before
  // the record is published, never changed after, so every reader sees them
  // together without a lock.
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
  // Wakes the receiver's poll loop: to quit once receiverQuit is set, or to
  // report a loss found on another thread.
  std::unique_ptr<platform::Wakeup> receiverWake;
  std::atomic<bool> receiverQuit{false};
  // What other threads may ask about the receiver while connect or
  // disconnect changes receiverThread: whether there is one, and which.
  std::atomic<bool> hasReceiverThread{false};
  std::atomic<std::thread::id> receiverThreadId{};

  // rxFrameCount, rxCountMark, rxTickMark, rxFps and rxFpsLock.
  FrameRate rxRate;
  // shownFrameCount, shownCountMark, shownTickMark, shownFps, shownFpsLock.
  FrameRate shownRate;

  std::atomic<RvxWindow> displayWindow{0};
  std::int32_t screenBitsPerPixel TSA_GUARDED_BY(displayLock) = 0;
  // The bound window's screen, surfaces and bitmaps; null while no window
  // is bound.
  std::unique_ptr<DisplayObjects, DisplayObjectsDeleter> displayObjects
      TSA_GUARDED_BY(displayLock);

  // The receiver's one readiness signal, then the display thread's stop.
  platform::Event threadEvent{platform::Event::Reset::kAuto};
  // Completion of command 256. It "exists" from the first command 256 until
  // disconnect; the receiver sets it only while it exists.
  platform::Event commandDoneEvent{platform::Event::Reset::kAuto};
  std::atomic<bool> commandDoneExists{false};

  std::atomic<std::int32_t> connected{0};
  std::atomic<std::int32_t> streaming{0};
  std::atomic<std::int32_t> detectObjects{0};

  // One transaction at a time on the command channel; the reply store and
  // the channel's repair state belong to whoever holds it.
  platform::TimedMutex commandLock;
  // A failed transaction may have left bytes unread: the next one first
  // reads the connection dry.
  bool commandNeedsDrain TSA_GUARDED_BY(commandLock) = false;
  // The channel timed out or broke; nothing more is tried on it.
  bool commandChannelDown TSA_GUARDED_BY(commandLock) = false;
  // Reply store of the command channel, written by queries and read by the
  // settings under the same hold of commandLock. Each field is named after
  // the query that fills it; the comment says which item reads it.
  std::int16_t reply34 TSA_GUARDED_BY(commandLock) = 0;    // no item
  std::int16_t reply36lo TSA_GUARDED_BY(commandLock) = 0;  // no item
  std::int16_t reply36hi TSA_GUARDED_BY(commandLock) = 0;  // no item
  // Query 66 times 5: RVX_ITEM_INTERNAL_SPS (also read at connect).
  std::int16_t internalSps TSA_GUARDED_BY(commandLock) = 0;
  std::int16_t reply81 TSA_GUARDED_BY(commandLock) = 0;   // CAMERA_MOTION
  std::int16_t reply97 TSA_GUARDED_BY(commandLock) = 0;   // ALARM_OUTPUT
  std::int16_t reply113 TSA_GUARDED_BY(commandLock) = 0;  // MODE
  std::int16_t reply68 TSA_GUARDED_BY(commandLock) = 0;   // STATUS
  std::int32_t reply65538 TSA_GUARDED_BY(commandLock) = 0;  // PARAMETER_A
  std::int32_t reply65554 TSA_GUARDED_BY(commandLock) = 0;  // PARAMETER_B
  std::int16_t reply65569 TSA_GUARDED_BY(commandLock) = 0;  // MASK_STREAM
  std::int32_t reply65586 TSA_GUARDED_BY(commandLock) = 0;  // PARAMETER_C

  std::atomic<std::int32_t> minObjectSize{0};
  std::atomic<std::int32_t> highlightSelect{0};

  // The shown frame's objects and labels, for the highlight.
  const std::int32_t* highlightCount TSA_GUARDED_BY(displayLock) = nullptr;
  const ObjectReport* highlightObjects TSA_GUARDED_BY(displayLock) = nullptr;
  const std::int32_t* labelMap TSA_GUARDED_BY(displayLock) = nullptr;
  std::unique_ptr<std::uint8_t[]> overlayMask TSA_GUARDED_BY(displayLock);

  std::atomic<RvxAlarmCallback> alarmCallback{nullptr};
  std::atomic<std::int32_t> alarmUser{0};
  std::atomic<RvxFrameCallback> frameCallback{nullptr};
  std::atomic<std::int32_t> frameUser{0};
  std::atomic<RvxObjectsCallback> objectsCallback{nullptr};
  std::atomic<std::int32_t> objectsUser{0};
  std::atomic<RvxStreamCallback> streamCallback{nullptr};
  std::atomic<std::int32_t> streamUser{0};
  std::atomic<RvxCameraLostCallback> lostCallback{nullptr};
  std::atomic<std::int32_t> lostUser{0};
  // Every application callback passes it; disconnect closes it.
  CallbackGate callbackGate;

  // Why the camera was lost (RVX_LOST_*), 0 while it is healthy.
  std::atomic<std::int32_t> lostReason{0};
  // The loss has reached a lost callback.
  std::atomic<bool> lostReported{false};
  // Teardown has begun: what fails from now on is our own doing.
  std::atomic<bool> stopping{false};
};

// The registry's element. The record sits inside it by value and never
// moves; shared ownership keeps it alive for a thread or an export that
// still uses it after disconnect unlinked it.
struct CameraNode {
  CameraRecord record;
};

// Records the first loss of the camera and wakes its receiver, which runs
// the lost callback. Nothing happens once teardown has begun, or for a
// camera already lost.
void MarkLost(CameraRecord& record, std::int32_t reason);

// The data channel's notice that command 256 completed: releases the
// transaction waiting for it, if one can be.
void SignalCommandDone(CameraRecord* record);

// The bytes of one of the camera's frames.
inline std::int32_t FrameBytesOf(const CameraRecord& record) {
  return FrameByteSize(record.width, record.height, record.pixelFormat);
}

inline bool IsLost(const CameraRecord& record) {
  return record.lostReason.load() != 0;
}

}  // namespace quorvel
