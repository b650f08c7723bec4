// The X backend: each bound window gets a connection of its own, used only
// under its camera's display lock. Errors arrive on that connection as
// events and are read there, so nothing the process installs for its own X
// errors is ever involved.
#include <xcb/xcb.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "display/scale_blit.h"
#include "display/backend/window_system.h"
#include "display/backend/xcb_handles.h"
#include "display/backend/xcb_image_upload.h"
#include "display/backend/xcb_options.h"
#include "display/backend/xcb_upload_counts.h"
#include "display/backend/xcb_window_format.h"
#include "platform/clock.h"

namespace quorvel::display {

namespace {

std::atomic<bool> sharedMemoryAllowed{true};
std::atomic<std::uint64_t> sharedMemoryUploads{0};
std::atomic<std::uint64_t> plainUploads{0};

class XcbBinding final : public BoundWindow {
 public:
  explicit XcbBinding(xcb_window_t window) : window_(window) {}
  ~XcbBinding() override { Disconnect(); }

  enum class ConnectResult { kMade, kNoServer, kNoWindow };

  // Connects, watches the window's structure and checks its visual.
  // kNoWindow when the server is there but the window cannot be drawn
  // into.
  ConnectResult Connect() {
    XcbConnection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
      return ConnectResult::kNoServer;
    }
    // Selected before the geometry is asked for, so a window destroyed
    // after the answer is still reported.
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection.get(), window_, XCB_CW_EVENT_MASK,
                                 &events);
    const std::optional<XcbWindowFormat> format =
        QueryWindowFormat(connection.get(), window_);
    if (!format ||
        (bitsPerPixel_ != 0 && format->bitsPerPixel != bitsPerPixel_)) {
      return ConnectResult::kNoWindow;
    }
    format_ = *format;
    bitsPerPixel_ = format->bitsPerPixel;
    gc_ = xcb_generate_id(connection.get());
    const std::uint32_t noExposures = 0;
    xcb_create_gc(connection.get(), gc_, window_, XCB_GC_GRAPHICS_EXPOSURES,
                  &noExposures);
    connection_ = std::move(connection);
    upload_ = std::make_unique<XcbImageUpload>(connection_.get(),
                                               sharedMemoryAllowed.load());
    return ConnectResult::kMade;
  }

  std::int32_t bitsPerPixel() const override { return bitsPerPixel_; }

  bool IsWindow() override {
    ReadEvents();
    return alive_;
  }

  PresentResult Present(const Surface& surface,
                        const PresentRequest& request) override {
    if (!alive_) return PresentResult::kNothing;
    if (connection_ == nullptr ||
        xcb_connection_has_error(connection_.get()) != 0) {
      return PresentResult::kLost;
    }
    ReadEvents();
    if (!alive_) return PresentResult::kNothing;
    if (surface.bytesPerPixel() * 8 != bitsPerPixel_) {
      return PresentResult::kNothing;
    }
    const BlitGeometry geometry{request.sourceWidth, request.sourceHeight,
                                request.destWidth,   request.destHeight,
                                format_.width,       format_.height};
    if (geometry.empty()) return PresentResult::kNothing;
    const std::int32_t width = geometry.drawnWidth();
    const std::int32_t height = geometry.drawnHeight();
    const std::size_t pitch = format_.RowBytes(width);
    std::uint8_t* image =
        upload_->Buffer(pitch * static_cast<std::size_t>(height));
    if (image == nullptr) return PresentResult::kNothing;
    ScaleBlit(surface, geometry, image, pitch, format_.alphaBits, columns_);
    upload_->Put(window_, gc_, format_.depth, width, height, pitch);
    RoundTrip();
    return PresentResult::kDrawn;
  }

  // The backing of an X window is our connection: a new one is made. A
  // server that is still away is tried again at most once a second, so a
  // stream does not hammer a display that has gone.
  bool Restore() override {
    const std::uint32_t now = platform::TickCount();
    if (failedRestore_ && now - lastRestore_ < kRestorePauseMs) return false;
    lastRestore_ = now;
    Disconnect();
    switch (Connect()) {
      case ConnectResult::kMade:
        failedRestore_ = false;
        return true;
      case ConnectResult::kNoWindow:
        alive_ = false;
        break;
      case ConnectResult::kNoServer:
        break;
    }
    failedRestore_ = true;
    return false;
  }

 private:
  void Disconnect() {
    upload_.reset();
    connection_.reset();
  }

  // The answer to a geometry request proves the server has read the
  // image (requests are served in order), says whether the window still
  // exists and gives its size for the next frame's clipping. Waiting for
  // the upload's completion event instead would wait for ever on a window
  // destroyed meanwhile.
  void RoundTrip() {
    xcb_generic_error_t* rawError = nullptr;
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(
        connection_.get(), xcb_get_geometry(connection_.get(), window_),
        &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    if (geometry != nullptr) {
      format_.width = geometry->width;
      format_.height = geometry->height;
    } else if (error != nullptr) {
      alive_ = false;
    }
    ReadEvents();
  }

  void ReadEvents() {
    if (connection_ == nullptr) return;
    while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_.get())) {
      XcbReply<xcb_generic_event_t> event(raw);
      switch (event->response_type & 0x7F) {
        case 0: {
          const auto* error =
              reinterpret_cast<const xcb_generic_error_t*>(event.get());
          if ((error->error_code == XCB_WINDOW ||
               error->error_code == XCB_DRAWABLE) &&
              error->resource_id == window_) {
            alive_ = false;
          }
          break;
        }
        case XCB_DESTROY_NOTIFY:
          if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get())
                  ->window == window_) {
            alive_ = false;
          }
          break;
        case XCB_CONFIGURE_NOTIFY: {
          const auto* configure =
              reinterpret_cast<const xcb_configure_notify_event_t*>(
                  event.get());
          if (configure->window == window_) {
            format_.width = configure->width;
            format_.height = configure->height;
          }
          break;
        }
        default:
          break;
      }
    }
  }

  static constexpr std::uint32_t kRestorePauseMs = 1000;

  const xcb_window_t window_;
  std::int32_t bitsPerPixel_ = 0;  // fixed by the first connection
  bool alive_ = true;
  bool failedRestore_ = false;
  std::uint32_t lastRestore_ = 0;
  XcbWindowFormat format_;
  // The upload is declared after the connection it uses, so it goes
  // first.
  XcbConnection connection_;
  std::unique_ptr<XcbImageUpload> upload_;
  xcb_gcontext_t gc_ = 0;
  std::vector<std::int32_t> columns_;
};

}  // namespace

void CountUpload(bool sharedMemory) {
  (sharedMemory ? sharedMemoryUploads : plainUploads).fetch_add(1);
}

bool XcbBackendBuilt() { return true; }

bool XcbSharedMemoryBuilt() { return QUORVEL_HAVE_XCB_SHM != 0; }

void SetXcbSharedMemoryAllowed(bool allowed) {
  sharedMemoryAllowed.store(allowed);
}

XcbUploadCounts ReadXcbUploadCounts() {
  return {sharedMemoryUploads.load(), plainUploads.load()};
}

std::unique_ptr<BoundWindow> BindXcbWindow(RvxWindow window) {
  auto binding =
      std::make_unique<XcbBinding>(static_cast<xcb_window_t>(window));
  if (binding->Connect() != XcbBinding::ConnectResult::kMade) return nullptr;
  return binding;
}

}  // namespace quorvel::display
