// One camera connected without display and streaming into a listener, over
// the library's public C interface only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "quorvel/quorvel.h"

namespace quorvel::gst {

// What a camera delivers. Every call runs on the library's receiver thread
// and must return quickly: while a call runs, that camera receives nothing.
class CameraListener {
 public:
  virtual ~CameraListener() = default;
  // `pixels` (one byte a pixel, rows one after the other) is valid only
  // during the call.
  virtual void OnFrame(const std::uint8_t* pixels, std::size_t count) = 0;
  virtual void OnObjects(const ObjectReport* objects, std::int32_t count) = 0;
  virtual void OnAlarm() = 0;
  // The camera is lost (RVX_LOST_*): nothing more will be delivered.
  virtual void OnLost(std::int32_t reason) = 0;
};

struct CameraSettings {
  std::string address;
  std::int32_t width = 640;
  std::int32_t height = 480;
  bool detection = false;
  std::int32_t minObjectSize = 2500;
};

// Connects and starts the stream on construction; check ok(). Destruction
// removes the callbacks and disconnects, after which no listener call is
// made (the library joins its receiver thread).
class CameraSession {
 public:
  CameraSession(const CameraSettings& settings,
                std::shared_ptr<CameraListener> listener);
  ~CameraSession();
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  bool ok() const { return handle_ != nullptr; }
  // Why the session is not ok(), for the element's error message.
  const std::string& error() const { return error_; }

  // Library-side items: no camera traffic, safe while streaming.
  void SetDetection(bool on);
  void SetMinObjectSize(std::int32_t pixels);

 private:
  const char* handle_ = nullptr;
  std::int32_t key_ = 0;  // the callbacks' user value
  std::string error_;
};

}  // namespace quorvel::gst
