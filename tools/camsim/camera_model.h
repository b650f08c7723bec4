// The simulated camera's state: its settings store, its flash, its stream
// and what the stream shows. Nothing here knows the wire: the
// CommandProtocol turns each command into these calls, the CameraServer
// streams what frame() gives, and tests drive and inspect the same calls
// directly. Every method may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "frame_source.h"
#include "platform/mutex.h"

namespace camsim {

inline constexpr std::int32_t kDeviceRecordArea = 7;
inline constexpr std::size_t kDeviceRecordSize = 372;
// The record is read through a region this large, so no record a camera
// gave out can be longer.
inline constexpr std::size_t kDeviceRecordRegion = 0x10000;
inline constexpr std::size_t kAreaSize = 524288;
inline constexpr int kAreaCount = 6;

// The picture size until a client announces its own.
inline constexpr std::int32_t kDefaultWidth = 640;
inline constexpr std::int32_t kDefaultHeight = 480;

// Areas 1 to 6 and the device record (area 7), in that order.
using FlashImage = std::vector<std::vector<std::uint8_t>>;

// One frame as the camera shows it.
struct Frame {
  std::int32_t width = 0, height = 0;
  bool mask = false;
  FrameRing::Body body;  // the pixels, or the run code of the mask
};

class CameraModel {
 public:
  CameraModel();
  CameraModel(const CameraModel&) = delete;
  CameraModel& operator=(const CameraModel&) = delete;

  // Items, each under the query code that reports it (items.h); one never
  // set reports 0.
  void SetQueryValue(std::int32_t queryCode, std::int32_t value)
      TSA_EXCLUDES(mutex_);
  std::int32_t queryValue(std::int32_t queryCode) const TSA_EXCLUDES(mutex_);
  // The value that query 66 reports (item 201 delivers it back).
  void SetInternalSps(std::uint16_t value);

  void StartStreaming() TSA_EXCLUDES(mutex_);
  void StopStreaming() TSA_EXCLUDES(mutex_);
  bool streaming() const TSA_EXCLUDES(mutex_);
  // The size of every frame, as a client announces it at connect.
  void SetPictureSize(std::int32_t width, std::int32_t height)
      TSA_EXCLUDES(mutex_);
  std::int32_t width() const TSA_EXCLUDES(mutex_);
  std::int32_t height() const TSA_EXCLUDES(mutex_);
  // Item 205: motion masks (on) or pictures (off, the default). A change
  // takes effect on the next frame.
  void SetMaskMode(bool on);
  bool maskMode() const;
  // Frame number index at the size and of the kind in force now.
  Frame frame(std::uint32_t index) const TSA_EXCLUDES(mutex_, framesMutex_);

  // The whole contents of area number (1 to 7); nothing for any other.
  std::vector<std::uint8_t> area(int number) const TSA_EXCLUDES(mutex_);
  void SetArea(int number, std::vector<std::uint8_t> bytes)
      TSA_EXCLUDES(mutex_);
  // At most count bytes of the area from offset, and never more than it
  // holds, so a record set shorter or longer than 372 bytes reads back as
  // it is; nothing for an area that does not exist.
  std::vector<std::uint8_t> ReadArea(int number, std::uint32_t offset,
                                     std::uint32_t count) const
      TSA_EXCLUDES(mutex_);
  // Stores bytes at offset, growing the area up to its size (kAreaSize,
  // kDeviceRecordSize for the record) and counting the write. False, with
  // nothing stored, for bytes past that size or an area that does not
  // exist.
  bool WriteArea(int number, std::uint32_t offset,
                 const std::vector<std::uint8_t>& bytes) TSA_EXCLUDES(mutex_);

  // The whole flash at once, so a program can keep it across restarts.
  FlashImage ExportFlash() const TSA_EXCLUDES(mutex_);
  // False, with nothing changed, unless image holds all seven areas, each
  // no larger than the area it replaces may grow.
  bool ImportFlash(FlashImage image) TSA_EXCLUDES(mutex_);
  // Writes (WriteArea) that were stored so far.
  std::uint64_t flashWrites() const TSA_EXCLUDES(mutex_);
  // Runs after every stored write, on the thread that wrote and outside
  // the model's lock, so it may read the model.
  void SetFlashWriteHook(std::function<void()> hook) TSA_EXCLUDES(mutex_);

 private:
  mutable quorvel::platform::Mutex mutex_;
  std::map<std::int32_t, std::int32_t> items_ TSA_GUARDED_BY(mutex_);
  // Index = area number; 0 is unused.
  std::vector<std::vector<std::uint8_t>> areas_ TSA_GUARDED_BY(mutex_);
  bool streaming_ TSA_GUARDED_BY(mutex_) = false;
  std::int32_t width_ TSA_GUARDED_BY(mutex_) = kDefaultWidth;
  std::int32_t height_ TSA_GUARDED_BY(mutex_) = kDefaultHeight;
  std::uint64_t flashWrites_ TSA_GUARDED_BY(mutex_) = 0;
  std::function<void()> flashWriteHook_ TSA_GUARDED_BY(mutex_);

  // Rendering a new ring takes a while; it has a lock of its own so that
  // commands never wait for it.
  mutable quorvel::platform::Mutex framesMutex_;
  mutable FrameRing frames_ TSA_GUARDED_BY(framesMutex_);
};

}  // namespace camsim
