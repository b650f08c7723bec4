// Fuzz target: a camera's data channel sending arbitrary bytes. The stream
// goes through a real socket into the receiver's own packet reader, frame
// assembly, mask decoding, labelling and callbacks, on a record set up the
// way connect sets one up.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_options.h"
#include "fuzz_support.h"
#include "imaging/frame_size.h"
#include "quorvel/quorvel.h"
#include "receiver/frame_socket.h"
#include "registry/camera_record.h"

namespace quorvel::fuzz {
namespace {

constexpr char kHandle[] = "RVXOSTRL1[1]";
constexpr std::int32_t kFrameUser = 11, kStreamUser = 12, kAlarmUser = 13,
                       kObjectsUser = 14;

// What the callbacks know about the run they belong to. The receiver calls
// them on the thread that runs OnReceive, so plain fields suffice.
struct Run {
  CameraRecord* record = nullptr;
  std::int32_t minObjectSize = 0;
  int frameCalls = 0;
  int streamCalls = 0;
  int alarmCalls = 0;
  int objectsCalls = 0;
  // Per completed frame: the alarm and the objects report of that frame.
  int alarmsThisFrame = 0;
  bool objectsThisFrame = false;
};
Run* current = nullptr;

std::int32_t BytesPerPixel(const CameraRecord& record) {
  return record.pixelFormat == RVX_FORMAT_BAYER_GRBG10 ? 2 : 1;
}

// An alarm promises a reported object: the frame that raised it must have
// reached the objects callback.
void EndFrame(Run& run) {
  if (run.alarmsThisFrame > 0) FUZZ_CHECK(run.objectsThisFrame);
  run.alarmsThisFrame = 0;
  run.objectsThisFrame = false;
}

void OnFrame(const char* handle, std::int32_t lines, std::int32_t user) {
  Run& run = *current;
  FUZZ_CHECK(handle == run.record->name && user == kFrameUser);
  FUZZ_CHECK(run.record->streaming.load() == 1);
  FUZZ_CHECK(lines <= run.record->height);
  ++run.frameCalls;
}

void OnStream(const char* handle, std::uint8_t* pixels, std::int32_t count,
              std::int32_t format, std::int32_t user) {
  Run& run = *current;
  const CameraRecord& record = *run.record;
  FUZZ_CHECK(handle == record.name && user == kStreamUser);
  FUZZ_CHECK(format == record.pixelFormat);
  FUZZ_CHECK(record.streaming.load() == 1);
  EndFrame(run);
  FUZZ_CHECK(count >= 0 &&
             std::int64_t{count} <= std::int64_t{record.width} * record.height);
  if (count > 0) {
    FUZZ_CHECK(pixels != nullptr);
    (void)TouchBytes(pixels,
                     static_cast<std::size_t>(count) *
                         static_cast<std::size_t>(BytesPerPixel(record)));
  }
  ++run.streamCalls;
}

void OnAlarm(const char* handle, std::uint8_t* mask, std::int32_t user) {
  Run& run = *current;
  const CameraRecord& record = *run.record;
  FUZZ_CHECK(handle == record.name && user == kAlarmUser);
  FUZZ_CHECK(record.detectObjects.load() != 0);
  FUZZ_CHECK(mask != nullptr);
  (void)TouchBytes(mask, static_cast<std::size_t>(record.width) *
                             static_cast<std::size_t>(record.height));
  FUZZ_CHECK(++run.alarmsThisFrame == 1);
  ++run.alarmCalls;
}

// The published slot (the ready slot: no display thread takes it) must hold
// exactly the objects reported, and its mask and label map must agree with
// them.
void CheckPublishedObjects(CameraRecord& record, std::int32_t count,
                           const ObjectReport* objects) {
  platform::MutexLock lock(record.slots.slotLock);
  const FrameSlot& slot = *record.slots.readySlot;
  FUZZ_CHECK(slot.objectCount == count && slot.objects != nullptr);
  FUZZ_CHECK(
      std::memcmp(slot.objects.get(), objects,
                  sizeof(ObjectReport) * static_cast<std::size_t>(count)) == 0);
  FUZZ_CHECK(slot.labels != nullptr && slot.pixels != nullptr);
  std::vector<std::int32_t> pixelsOf(static_cast<std::size_t>(count) + 1, 0);
  for (std::int32_t y = 0; y < slot.height; ++y) {
    for (std::int32_t x = 0; x < slot.width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * slot.width + x;
      const std::int32_t label = slot.labels[at];
      FUZZ_CHECK(label >= 0 && label <= count);
      // Small objects are erased, so every moving pixel left is labelled.
      FUZZ_CHECK((label > 0) == (slot.pixels[at] == 0xFF));
      if (label == 0) continue;
      ++pixelsOf[static_cast<std::size_t>(label)];
      const ObjectReport& object = objects[label - 1];
      FUZZ_CHECK(x >= object.minX && x <= object.maxX && y >= object.minY &&
                 y <= object.maxY);
    }
  }
  for (std::int32_t k = 0; k < count; ++k) {
    FUZZ_CHECK(pixelsOf[static_cast<std::size_t>(k) + 1] ==
               objects[k].pixelCount);
  }
}

void OnObjects(const char* handle, std::int32_t count, ObjectReport* objects,
               std::int32_t user) {
  Run& run = *current;
  CameraRecord& record = *run.record;
  FUZZ_CHECK(handle == record.name && user == kObjectsUser);
  FUZZ_CHECK(record.detectObjects.load() != 0);
  FUZZ_CHECK(count > 0 && objects != nullptr);
  FUZZ_CHECK(!run.objectsThisFrame);
  (void)TouchBytes(reinterpret_cast<const std::uint8_t*>(objects),
                   sizeof(ObjectReport) * static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k) {
    const ObjectReport& object = objects[k];
    FUZZ_CHECK(object.label == k + 1);
    FUZZ_CHECK(object.pixelCount >= 1 &&
               object.pixelCount >= run.minObjectSize);
    FUZZ_CHECK(0 <= object.minX && object.minX <= object.maxX &&
               object.maxX < record.width);
    FUZZ_CHECK(0 <= object.minY && object.minY <= object.maxY &&
               object.maxY < record.height);
    FUZZ_CHECK(std::int64_t{object.pixelCount} <=
               std::int64_t{object.maxX - object.minX + 1} *
                   (object.maxY - object.minY + 1));
    FUZZ_CHECK(object.meanX >= object.minX && object.meanX <= object.maxX);
    FUZZ_CHECK(object.meanY >= object.minY && object.meanY <= object.maxY);
  }
  CheckPublishedObjects(record, count, objects);
  run.objectsThisFrame = true;
  ++run.objectsCalls;
}

// All three slots as connect allocates them: the frame size each.
bool AllocateSlots(CameraRecord& record) {
  const std::int32_t frameBytes =
      FrameByteSize(record.width, record.height, record.pixelFormat);
  if (frameBytes <= 0) return false;
  FrameSlots& slots = record.slots;
  for (FrameSlot* slot : {&slots.slotA, &slots.slotB, &slots.slotC}) {
    slot->pixels =
        std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(frameBytes));
  }
  return true;
}

void CheckSlots(CameraRecord& record) {
  FrameSlots& all = record.slots;
  platform::MutexLock lock(all.slotLock);
  const FrameSlot* slots[] = {all.fillSlot, all.readySlot, all.showSlot};
  // Publishing exchanges pointers; the three slots stay three.
  FUZZ_CHECK(slots[0] != slots[1] && slots[1] != slots[2] &&
             slots[0] != slots[2]);
  for (const FrameSlot* slot : slots) {
    FUZZ_CHECK(slot == &all.slotA || slot == &all.slotB ||
               slot == &all.slotC);
    FUZZ_CHECK(slot->pixels != nullptr);
    FUZZ_CHECK(slot->width >= 0 && slot->width <= record.width);
    FUZZ_CHECK(slot->height >= 0 && slot->height <= record.height);
    FUZZ_CHECK(slot->objectCount >= 0);
    if (slot->objectCount > 0) FUZZ_CHECK(slot->objects != nullptr);
  }
}

}  // namespace
}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorvel;
  using namespace quorvel::fuzz;
  ByteReader in(data, size);
  const DataChannelOptions options = DataChannelOptions::Read(in);

  // The connection outlives the record, which owns the library's end.
  LocalConnection connection;
  auto record = std::make_unique<CameraRecord>();
  record->name = kHandle;
  record->width = options.width;
  record->height = options.height;
  record->pixelFormat = (options.flags & DataChannelOptions::kBayer) != 0
                            ? RVX_FORMAT_BAYER_GRBG10
                            : RVX_FORMAT_MONO8;
  if (!AllocateSlots(*record)) return 0;
  const bool detect = (options.flags & DataChannelOptions::kDetect) != 0;
  const bool streaming = (options.flags & DataChannelOptions::kStreaming) != 0;
  const bool callbacks =
      (options.flags & DataChannelOptions::kNoCallbacks) == 0;
  const bool awaited =
      (options.flags & DataChannelOptions::kCompletionAwaited) != 0;
  const std::int32_t minObjectSize = MinSizeFromCode(options.minSizeCode);
  record->detectObjects.store(detect ? 1 : 0);
  record->minObjectSize.store(minObjectSize);
  record->streaming.store(streaming ? 1 : 0);
  // Nothing waits on the event here: the receiver only sets it, and the
  // check below reads it without waiting.
  record->commandDoneExists.store(awaited);
  if (callbacks) {
    record->frameCallback.store(OnFrame);
    record->frameUser.store(kFrameUser);
    record->streamCallback.store(OnStream);
    record->streamUser.store(kStreamUser);
    record->alarmCallback.store(OnAlarm);
    record->alarmUser.store(kAlarmUser);
    record->objectsCallback.store(OnObjects);
    record->objectsUser.store(kObjectsUser);
  }
  record->dataSocket = connection.TakeLibraryEnd();
  connection.SendAndEnd(in.rest(), in.restSize());

  Run run;
  run.record = record.get();
  run.minObjectSize = minObjectSize;
  current = &run;
  const std::int32_t frameBytes =
      FrameByteSize(record->width, record->height, record->pixelFormat);
  {
    platform::SocketStream input(record->dataSocket, kDataLimits);
    CFrameSocket socket(*record, input);
    while (!IsLost(*record)) {
      socket.OnReceive();
      FUZZ_CHECK(socket.writeOffset() >= 0 &&
                 socket.writeOffset() <= frameBytes);
    }
    // The stream has ended; further notifications read nothing.
    socket.OnReceive();
  }
  if (callbacks) EndFrame(run);
  current = nullptr;

  CheckSlots(*record);
  if (callbacks) {
    // Every completed frame is counted once and reported once.
    FUZZ_CHECK(record->rxRate.frames() == run.streamCalls);
  }
  if (!streaming) {
    // Frames begun while not streaming are dropped, never published.
    FUZZ_CHECK(run.frameCalls == 0 && record->rxRate.frames() == 0);
  }
  if (!detect) FUZZ_CHECK(run.alarmCalls == 0 && run.objectsCalls == 0);
  if (!awaited) FUZZ_CHECK(!record->commandDoneEvent.Wait(0));
  return 0;
}
