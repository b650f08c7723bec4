#include "camera_session.h"

#include <map>
#include <mutex>
#include <new>
#include <utility>

namespace quorvel::gst {
namespace {

// The callbacks carry a 32-bit user value, not a pointer, so each session
// is found through a key. Lookups hand out shared ownership: a listener
// stays alive through a call that raced the session's end.
class ListenerTable {
 public:
  // 0 when `handle` already streams into another session: connecting an
  // address twice returns the same camera, and the second session would
  // take the first one's callbacks and disconnect it under its feet.
  std::int32_t Add(const char* handle,
                   std::shared_ptr<CameraListener> listener) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [key, entry] : entries_) {
      if (entry.handle == handle) return 0;
    }
    do {
      nextKey_ = nextKey_ == INT32_MAX ? 1 : nextKey_ + 1;
    } while (entries_.count(nextKey_) != 0);
    entries_[nextKey_] = {handle, std::move(listener)};
    return nextKey_;
  }

  void Remove(std::int32_t key) {
    std::shared_ptr<CameraListener> last;  // released outside the lock
    std::lock_guard<std::mutex> hold(lock_);
    auto found = entries_.find(key);
    if (found == entries_.end()) return;
    last = std::move(found->second.listener);
    entries_.erase(found);
  }

  std::shared_ptr<CameraListener> Find(std::int32_t key) {
    std::lock_guard<std::mutex> hold(lock_);
    auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : found->second.listener;
  }

 private:
  struct Entry {
    std::string handle;
    std::shared_ptr<CameraListener> listener;
  };
  std::mutex lock_;
  std::map<std::int32_t, Entry> entries_;
  std::int32_t nextKey_ = 0;
};

// Never destroyed: when a process exits without stopping its pipelines,
// this module's statics go before the library unloads and joins its
// receiver threads, which may still deliver.
ListenerTable& Listeners() {
  alignas(ListenerTable) static unsigned char storage[sizeof(ListenerTable)];
  static ListenerTable* const table = ::new (storage) ListenerTable();
  return *table;
}

void RVX_CALL DeliverFrame(const char*, std::uint8_t* pixels,
                           std::int32_t count, std::int32_t format,
                           std::int32_t key) {
  // Every connection streams one byte a pixel; anything else would be
  // misread as such.
  if (format != RVX_FORMAT_MONO8 || count <= 0) return;
  if (auto listener = Listeners().Find(key)) {
    listener->OnFrame(pixels, static_cast<std::size_t>(count));
  }
}

void RVX_CALL DeliverObjects(const char*, std::int32_t count,
                             ObjectReport* objects, std::int32_t key) {
  if (count <= 0 || objects == nullptr) return;
  if (auto listener = Listeners().Find(key)) {
    listener->OnObjects(objects, count);
  }
}

void RVX_CALL DeliverAlarm(const char*, std::uint8_t*, std::int32_t key) {
  if (auto listener = Listeners().Find(key)) listener->OnAlarm();
}

void RVX_CALL DeliverLost(const char*, std::int32_t reason, std::int32_t key) {
  if (auto listener = Listeners().Find(key)) listener->OnLost(reason);
}

}  // namespace

CameraSession::CameraSession(const CameraSettings& settings,
                             std::shared_ptr<CameraListener> listener) {
  const char* handle = rvx_ConnectCameraNoDisplayA(
      settings.address.c_str(), settings.width, settings.height);
  if (handle == nullptr) {
    error_ = "cannot connect to the camera at " + settings.address;
    return;
  }
  key_ = Listeners().Add(handle, std::move(listener));
  if (key_ == 0) {
    // Not ours to disconnect.
    error_ = "the camera at " + settings.address +
             " already streams into another element";
    return;
  }
  handle_ = handle;
  SetMinObjectSize(settings.minObjectSize);
  SetDetection(settings.detection);
  rvx_SetCallbackAlarmSignal(handle_, key_, DeliverAlarm);
  rvx_SetCallbackDetectObjectsReport(handle_, key_, DeliverObjects);
  rvx_SetCallbackCameraLost(handle_, key_, DeliverLost);
  rvx_StartVideoStream2(handle_, 0, DeliverFrame, key_);
}

CameraSession::~CameraSession() {
  if (handle_ == nullptr) return;
  rvx_SetCallbackAlarmSignal(handle_, 0, nullptr);
  rvx_SetCallbackDetectObjectsReport(handle_, 0, nullptr);
  rvx_SetCallbackCameraLost(handle_, 0, nullptr);
  // Stops the stream and joins the receiver thread; the stream callback
  // dies with the camera record.
  rvx_DisconnectCamera(handle_);
  Listeners().Remove(key_);
}

void CameraSession::SetDetection(bool on) {
  (void)rvx_SetSmartMotion(handle_, RVX_ITEM_DETECT_OBJECTS, on ? 1 : 0);
}

void CameraSession::SetMinObjectSize(std::int32_t pixels) {
  (void)rvx_SetSmartMotion(handle_, RVX_ITEM_MIN_OBJECT_SIZE, pixels);
}

}  // namespace quorvel::gst
