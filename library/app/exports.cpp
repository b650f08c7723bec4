// The library's C boundary: every export converts its text, finds its
// camera and calls the subsystem that does the work. Nothing thrown inside
// crosses this file; a throw becomes the export's failure value.
#include <string>

#include "app/camera_lib_app.h"
#include "camera/connect.h"
#include "camera/disconnect.h"
#include "command/flash.h"
#include "command/smart_motion.h"
#include "stream/stream_control.h"
#include "imaging/export/image_export.h"
#include "platform/text.h"
#include "quorvel/quorvel.h"
#include "receiver/callback_setters.h"

using quorvel::CameraRef;
using quorvel::TheApp;

namespace {

template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <typename Body>
void Guarded(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// The A forms read their narrow text in the process locale and call the W
// forms; a null pointer becomes the empty text.
std::wstring Widen(const char* text) {
  return quorvel::platform::WidenText(text);
}

const char* Connect(const wchar_t* address, std::int32_t width,
                    std::int32_t height, bool display, bool flash) {
  return Guarded<const char*>(nullptr, [&] {
    return quorvel::ConnectCamera(TheApp().registry(), address, width, height,
                                  display, flash);
  });
}

CameraRef Find(const char* handle) { return TheApp().registry().Find(handle); }

// The callback setters store into every camera of the name.
template <typename Callback>
void SetEverywhere(const char* handle, int32_t user, Callback callback,
                   void (*set)(quorvel::CameraRecord&, std::int32_t,
                               Callback)) {
  Guarded([&] {
    for (const CameraRef& record : TheApp().registry().FindAll(handle)) {
      set(*record, user, callback);
    }
  });
}

}  // namespace

extern "C" {

RVX_API const char* RVX_CALL rvx_ConnectCameraDisplayA(const char* address,
                                                       int32_t width,
                                                       int32_t height) {
  return Guarded<const char*>(nullptr, [&] {
    return rvx_ConnectCameraDisplayW(Widen(address).c_str(), width, height);
  });
}

RVX_API const char* RVX_CALL rvx_ConnectCameraDisplayW(const wchar_t* address,
                                                       int32_t width,
                                                       int32_t height) {
  return Connect(address, width, height, true, false);
}

RVX_API const char* RVX_CALL rvx_ConnectCameraNoDisplayA(const char* address,
                                                         int32_t width,
                                                         int32_t height) {
  return Guarded<const char*>(nullptr, [&] {
    return rvx_ConnectCameraNoDisplayW(Widen(address).c_str(), width, height);
  });
}

RVX_API const char* RVX_CALL rvx_ConnectCameraNoDisplayW(const wchar_t* address,
                                                         int32_t width,
                                                         int32_t height) {
  return Connect(address, width, height, false, false);
}

RVX_API const char* RVX_CALL rvx_FlashConnectCameraA(const char* address) {
  return Guarded<const char*>(
      nullptr, [&] { return rvx_FlashConnectCameraW(Widen(address).c_str()); });
}

RVX_API const char* RVX_CALL rvx_FlashConnectCameraW(const wchar_t* address) {
  return Connect(address, 0, 0, false, true);
}

RVX_API void RVX_CALL rvx_DisconnectCamera(const char* handle) {
  Guarded([&] { quorvel::DisconnectCamera(TheApp().registry(), handle); });
}

RVX_API void RVX_CALL rvx_DisconnectAllCameras(void) {
  Guarded([&] { quorvel::DisconnectAllCameras(TheApp().registry()); });
}

RVX_API int32_t RVX_CALL rvx_SetSmartMotion(const char* handle, int32_t item,
                                            int32_t value) {
  return Guarded<int32_t>(0, [&] {
    const CameraRef record = Find(handle);
    return record != nullptr && quorvel::SetSmartMotion(*record, item, value);
  });
}

RVX_API int32_t RVX_CALL rvx_GetSmartMotion(const char* handle, int32_t item,
                                            int32_t* valueOut) {
  return Guarded<int32_t>(0, [&] {
    const CameraRef record = Find(handle);
    return record != nullptr &&
           quorvel::GetSmartMotion(*record, item, valueOut);
  });
}

RVX_API int32_t RVX_CALL rvx_FlashOperation(const char* handle,
                                            int32_t operation, uint8_t* buffer,
                                            int32_t length) {
  return Guarded<int32_t>(0, [&] {
    const CameraRef record = Find(handle);
    return record != nullptr &&
           quorvel::FlashOperation(*record, operation, buffer, length);
  });
}

RVX_API void RVX_CALL rvx_SetCallbackAlarmSignal(const char* handle,
                                                 int32_t user,
                                                 RvxAlarmCallback callback) {
  SetEverywhere(handle, user, callback, quorvel::SetAlarmCallback);
}

RVX_API void RVX_CALL rvx_SetCallbackDetectObjectsReport(
    const char* handle, int32_t user, RvxObjectsCallback callback) {
  SetEverywhere(handle, user, callback, quorvel::SetObjectsCallback);
}

RVX_API void RVX_CALL rvx_SetCallbackReceivedOneFrame(
    const char* handle, int32_t user, RvxFrameCallback callback) {
  SetEverywhere(handle, user, callback, quorvel::SetFrameCallback);
}

RVX_API void RVX_CALL rvx_SetCallbackCameraLost(
    const char* handle, int32_t user, RvxCameraLostCallback callback) {
  SetEverywhere(handle, user, callback, quorvel::SetLostCallback);
}

RVX_API void RVX_CALL rvx_StartVideoStream(const char* handle,
                                           RvxWindow window) {
  Guarded([&] {
    if (const CameraRef record = Find(handle)) {
      quorvel::StartVideoStream(*record, window, false, nullptr, 0);
    }
  });
}

RVX_API void RVX_CALL rvx_StartVideoStream2(const char* handle,
                                            RvxWindow window,
                                            RvxStreamCallback callback,
                                            int32_t user) {
  Guarded([&] {
    if (const CameraRef record = Find(handle)) {
      quorvel::StartVideoStream(*record, window, true, callback, user);
    }
  });
}

RVX_API void RVX_CALL rvx_StopVideoStream(const char* handle) {
  Guarded([&] {
    if (const CameraRef record = Find(handle)) {
      quorvel::StopVideoStream(*record);
    }
  });
}

RVX_API int32_t RVX_CALL rvx_SetMiscOption(const char* handle, int32_t option,
                                           int32_t value) {
  return Guarded<int32_t>(0, [&] {
    const CameraRef record = Find(handle);
    return record != nullptr && quorvel::SetMiscOption(*record, option, value);
  });
}

RVX_API int32_t RVX_CALL rvx_GetMiscOption(const char* handle, int32_t option,
                                           int32_t* result) {
  return Guarded<int32_t>(0, [&] {
    const CameraRef record = Find(handle);
    return record != nullptr && quorvel::GetMiscOption(*record, option, result);
  });
}

RVX_API int32_t RVX_CALL rvx_GetFPS(const char* handle, int32_t selector,
                                    double* result) {
  return Guarded<int32_t>(0, [&] {
    const CameraRef record = Find(handle);
    return record != nullptr && quorvel::GetFPS(*record, selector, result);
  });
}

RVX_API int32_t RVX_CALL rvx_RawImageToRawFileA(const uint8_t* pixels,
                                                const char* fileName,
                                                int32_t width, int32_t height,
                                                int32_t pixelFormat) {
  return Guarded<int32_t>(0, [&] {
    return rvx_RawImageToRawFileW(pixels, Widen(fileName).c_str(), width,
                                  height, pixelFormat);
  });
}

RVX_API int32_t RVX_CALL rvx_RawImageToRawFileW(const uint8_t* pixels,
                                                const wchar_t* fileName,
                                                int32_t width, int32_t height,
                                                int32_t pixelFormat) {
  return Guarded<int32_t>(0, [&] {
    return quorvel::RawImageToRawFile(pixels, fileName, width, height,
                                      pixelFormat);
  });
}

RVX_API int32_t RVX_CALL rvx_RawImageToBmpRGBFileA(const uint8_t* pixels,
                                                   const char* fileName,
                                                   int32_t width,
                                                   int32_t height,
                                                   int32_t pixelFormat) {
  return Guarded<int32_t>(0, [&] {
    return rvx_RawImageToBmpRGBFileW(pixels, Widen(fileName).c_str(), width,
                                     height, pixelFormat);
  });
}

RVX_API int32_t RVX_CALL rvx_RawImageToBmpRGBFileW(const uint8_t* pixels,
                                                   const wchar_t* fileName,
                                                   int32_t width,
                                                   int32_t height,
                                                   int32_t pixelFormat) {
  return Guarded<int32_t>(0, [&] {
    return quorvel::RawImageToBmpRGBFile(pixels, fileName, width, height,
                                         pixelFormat);
  });
}

RVX_API int32_t RVX_CALL rvx_RawImageToBmpImage(const uint8_t* pixels,
                                                uint8_t* destination,
                                                int32_t width, int32_t height,
                                                int32_t bitsPerPixel,
                                                int32_t pixelFormat) {
  return Guarded<int32_t>(0, [&] {
    return quorvel::RawImageToBmpImage(pixels, destination, width, height,
                                       bitsPerPixel, pixelFormat);
  });
}

}  // extern "C"
