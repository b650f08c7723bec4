// Fuzz target: a camera's data channel sending arbitrary bytes. The stream
// goes from memory into the receiver's own packet reader, frame assembly,
// mask decoding, labelling and callbacks, on a record set up the way
// connect sets one up.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_options.h"
#include "fuzz_support.h"
#include "harness_cost.h"
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
  static std::vector<std::int64_t> pixelsOf;
  pixelsOf.resize(static_cast<std::size_t>(count) + 1);
  CheckLabelMap(slot.pixels.get(), slot.labels.get(), slot.width, slot.height,
                objects, count, pixelsOf.data());
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

// All three slots with the frame size each, as connect allocates them, and
// a label map each, as the receiver allocates one for labelling. The
// buffers are kept from input to input: fresh ones would cost page faults
// and zeroing on every input with a large frame. Connect and the receiver
// allocate them zeroed, but the receiver writes every pixel of a frame
// before passing it on, and a slot's fresh LabelRows makes its first
// labelling write every row of the map.
class LentSlots {
 public:
  LentSlots(CameraRecord& record, std::size_t frameBytes)
      : slots_(record.slots) {
    static ReusedBuffer<std::uint8_t> pixels[3];
    static ReusedBuffer<std::int32_t> labels[3];
    const std::size_t mapSize = static_cast<std::size_t>(record.width) *
                                static_cast<std::size_t>(record.height);
    for (std::size_t i = 0; i < 3; ++i) {
      slots()[i]->pixels.reset(pixels[i].Get(frameBytes));
      slots()[i]->labels.reset(labels[i].Get(mapSize));
    }
  }
  // The record must not free what it only borrowed.
  ~LentSlots() {
    for (FrameSlot* slot : slots()) {
      (void)slot->pixels.release();
      (void)slot->labels.release();
    }
  }
  LentSlots(const LentSlots&) = delete;
  LentSlots& operator=(const LentSlots&) = delete;

 private:
  std::array<FrameSlot*, 3> slots() const {
    return {&slots_.slotA, &slots_.slotB, &slots_.slotC};
  }
  FrameSlots& slots_;
};

void CheckSlots(CameraRecord& record) {
  FrameSlots& all = record.slots;
  platform::MutexLock lock(all.slotLock);
  const FrameSlot* slots[] = {all.fillSlot, all.readySlot, all.showSlot};
  // Publishing exchanges pointers; the three slots stay three.
  FUZZ_CHECK(slots[0] != slots[1] && slots[1] != slots[2] &&
             slots[0] != slots[2]);
  for (const FrameSlot* slot : slots) {
    FUZZ_CHECK(slot == &all.slotA || slot == &all.slotB || slot == &all.slotC);
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

  auto record = std::make_unique<CameraRecord>();
  record->name = kHandle;
  record->width = options.width;
  record->height = CutHeight(options.width, options.height, kMaxDataPixels);
  record->pixelFormat = (options.flags & DataChannelOptions::kBayer) != 0
                            ? RVX_FORMAT_BAYER_GRBG10
                            : RVX_FORMAT_MONO8;
  const std::int32_t frameBytes =
      FrameByteSize(record->width, record->height, record->pixelFormat);
  if (frameBytes <= 0) return 0;
  const LentSlots lent(*record, static_cast<std::size_t>(frameBytes));
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

  Run run;
  run.record = record.get();
  run.minObjectSize = minObjectSize;
  current = &run;
  {
    MemoryStream input(in.rest(), in.restSize());
    // Kept from input to input, as a receiver keeps it from frame to frame.
    static MaskWork maskWork;
    CFrameSocket socket(*record, input, maskWork);
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
