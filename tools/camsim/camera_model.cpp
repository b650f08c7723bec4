#include "camera_model.h"

#include <algorithm>
#include <utility>

#include "items.h"

namespace camsim {

using quorvel::platform::MutexLock;

namespace {

bool IsArea(int number) { return number >= 1 && number <= kDeviceRecordArea; }

}  // namespace

CameraModel::CameraModel() : areas_(kDeviceRecordArea + 1) {
  for (const item::Default& item : item::kDefaults) {
    items_[item.query] = item.value;
  }
  // Recognisable contents, so a read of the wrong area or offset shows.
  for (int number = 1; number <= kAreaCount; ++number) {
    auto& bytes = areas_[static_cast<std::size_t>(number)];
    bytes.resize(kAreaSize);
    for (std::size_t i = 0; i < kAreaSize; ++i) {
      bytes[i] = static_cast<std::uint8_t>(number * 31 + i * 7);
    }
  }
  auto& record = areas_[kDeviceRecordArea];
  record.resize(kDeviceRecordSize);
  for (std::size_t i = 0; i < kDeviceRecordSize; ++i) {
    record[i] = static_cast<std::uint8_t>(0xA0 + i);
  }
}

void CameraModel::SetQueryValue(std::int32_t queryCode, std::int32_t value) {
  MutexLock lock(mutex_);
  items_[queryCode] = value;
}

std::int32_t CameraModel::queryValue(std::int32_t queryCode) const {
  MutexLock lock(mutex_);
  const auto found = items_.find(queryCode);
  return found == items_.end() ? 0 : found->second;
}

void CameraModel::SetInternalSps(std::uint16_t value) {
  SetQueryValue(item::kInternalSps, value);
}

void CameraModel::StartStreaming() {
  MutexLock lock(mutex_);
  streaming_ = true;
}

void CameraModel::StopStreaming() {
  MutexLock lock(mutex_);
  streaming_ = false;
}

bool CameraModel::streaming() const {
  MutexLock lock(mutex_);
  return streaming_;
}

void CameraModel::SetPictureSize(std::int32_t width, std::int32_t height) {
  MutexLock lock(mutex_);
  width_ = width;
  height_ = height;
}

std::int32_t CameraModel::width() const {
  MutexLock lock(mutex_);
  return width_;
}

std::int32_t CameraModel::height() const {
  MutexLock lock(mutex_);
  return height_;
}

// The switch is the item itself, so a test that sets the item's value
// switches the stream too.
void CameraModel::SetMaskMode(bool on) {
  SetQueryValue(item::kMaskStream,
                on ? item::kMaskStreamOn : item::kMaskStreamOff);
}

bool CameraModel::maskMode() const {
  return queryValue(item::kMaskStream) == item::kMaskStreamOn;
}

Frame CameraModel::frame(std::uint32_t index) const {
  Frame frame;
  {
    MutexLock lock(mutex_);
    frame.width = width_;
    frame.height = height_;
  }
  frame.mask = maskMode();
  MutexLock lock(framesMutex_);
  frame.body = frames_.Get(frame.width, frame.height, frame.mask, index);
  return frame;
}

std::vector<std::uint8_t> CameraModel::area(int number) const {
  MutexLock lock(mutex_);
  if (!IsArea(number)) return {};
  return areas_[static_cast<std::size_t>(number)];
}

void CameraModel::SetArea(int number, std::vector<std::uint8_t> bytes) {
  MutexLock lock(mutex_);
  if (!IsArea(number)) return;
  areas_[static_cast<std::size_t>(number)] = std::move(bytes);
}

std::vector<std::uint8_t> CameraModel::ReadArea(int number,
                                                std::uint32_t offset,
                                                std::uint32_t count) const {
  MutexLock lock(mutex_);
  if (!IsArea(number)) return {};
  const auto& bytes = areas_[static_cast<std::size_t>(number)];
  const std::size_t begin = std::min<std::size_t>(offset, bytes.size());
  const std::size_t end = std::min<std::size_t>(begin + count, bytes.size());
  return {bytes.begin() + static_cast<std::ptrdiff_t>(begin),
          bytes.begin() + static_cast<std::ptrdiff_t>(end)};
}

bool CameraModel::WriteArea(int number, std::uint32_t offset,
                            const std::vector<std::uint8_t>& bytes) {
  std::function<void()> hook;
  {
    MutexLock lock(mutex_);
    if (!IsArea(number)) return false;
    auto& stored = areas_[static_cast<std::size_t>(number)];
    const std::size_t limit =
        number == kDeviceRecordArea ? kDeviceRecordSize : kAreaSize;
    if (offset > limit || bytes.size() > limit - offset) return false;
    if (stored.size() < offset + bytes.size()) {
      stored.resize(offset + bytes.size());
    }
    std::copy(bytes.begin(), bytes.end(), stored.begin() + offset);
    ++flashWrites_;
    hook = flashWriteHook_;
  }
  // Outside the lock: the hook reads the model back.
  if (hook) hook();
  return true;
}

FlashImage CameraModel::ExportFlash() const {
  MutexLock lock(mutex_);
  return {areas_.begin() + 1, areas_.end()};
}

bool CameraModel::ImportFlash(FlashImage image) {
  if (image.size() != static_cast<std::size_t>(kDeviceRecordArea)) {
    return false;
  }
  for (std::size_t i = 0; i < image.size(); ++i) {
    const std::size_t limit =
        i + 1 == kDeviceRecordArea ? kDeviceRecordRegion : kAreaSize;
    if (image[i].size() > limit) return false;
  }
  MutexLock lock(mutex_);
  for (std::size_t i = 0; i < image.size(); ++i) {
    areas_[i + 1] = std::move(image[i]);
  }
  return true;
}

std::uint64_t CameraModel::flashWrites() const {
  MutexLock lock(mutex_);
  return flashWrites_;
}

void CameraModel::SetFlashWriteHook(std::function<void()> hook) {
  MutexLock lock(mutex_);
  flashWriteHook_ = std::move(hook);
}

}  // namespace camsim
