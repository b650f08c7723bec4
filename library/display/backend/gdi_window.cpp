// The Win32 backend. The display thread draws into a window that another
// thread owns, so nothing here sends or posts the window a message: a
// window whose thread is blocked, or has gone, can then never stall the
// display. The picture is scaled and clipped here by the rule every
// backend shares, so a frame looks the same in any window, and handed to
// GDI one to one as a device-independent bitmap; GDI clips it to what of
// the client area is visible and converts it to the screen's pixels.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "display/backend/gdi_dib.h"
#include "display/backend/gdi_handles.h"
#include "display/backend/window_system.h"
#include "display/scale_blit.h"
#include "platform/allocate.h"

namespace quorvel::display {

namespace {

constexpr std::int32_t kScreenBits16 = 16;
constexpr std::int32_t kScreenBits32 = 32;

HWND AsHwnd(RvxWindow window) { return reinterpret_cast<HWND>(window); }

// The thread that created the window; 0 when it is no window.
DWORD OwnerThread(HWND window) {
  return GetWindowThreadProcessId(window, nullptr);
}

// 16-bit screens take the 5-6-5 packing, which they show unconverted.
// Every other screen takes BGRX: at 32 bits that is the screen's own
// form, and a 24-bit screen gets the same colour bytes from GDI, which
// turns the 4-byte pixels into packed 3-byte ones at no cost to us and
// keeps the surfaces, the highlight and the scaling at the two packings
// they know. Palette screens get GDI's nearest colours.
std::int32_t PackingFor(int screenBits) {
  return screenBits == kScreenBits16 ? kScreenBits16 : kScreenBits32;
}

class GdiBinding final : public BoundWindow {
 public:
  GdiBinding(HWND window, DWORD ownerThread, std::int32_t bitsPerPixel)
      : window_(window),
        ownerThread_(ownerThread),
        bitsPerPixel_(bitsPerPixel) {}

  std::int32_t bitsPerPixel() const override { return bitsPerPixel_; }

  // Once gone, the window stays gone: the system may give its handle to a
  // new window, which is not ours to draw into. A handle that now names a
  // window of another thread has been given away already.
  bool IsWindow() override {
    if (alive_) {
      alive_ = ::IsWindow(window_) && OwnerThread(window_) == ownerThread_;
    }
    return alive_;
  }

  PresentResult Present(const Surface& surface,
                        const PresentRequest& request) override {
    if (!IsWindow()) return PresentResult::kNothing;
    if (surface.bytesPerPixel() * 8 != bitsPerPixel_) {
      return PresentResult::kNothing;
    }
    RECT client{};
    if (!GetClientRect(window_, &client)) return PresentResult::kNothing;
    // A minimised window has an empty client area: nothing is drawn.
    const BlitGeometry geometry{
        request.sourceWidth,        request.sourceHeight,
        request.destWidth,          request.destHeight,
        client.right - client.left, client.bottom - client.top};
    if (geometry.empty()) return PresentResult::kNothing;
    const std::int32_t width = geometry.drawnWidth();
    const std::int32_t height = geometry.drawnHeight();
    const std::size_t pitch = DibRowBytes(width, bitsPerPixel_);
    std::uint8_t* image = Buffer(pitch * static_cast<std::size_t>(height));
    if (image == nullptr) return PresentResult::kNothing;
    ScaleBlit(surface, geometry, image, pitch, 0, columns_);

    const WindowDc dc(window_);
    if (dc.get() == nullptr) return PresentResult::kNothing;
    const DibDescription dib = DescribeDib(width, height, bitsPerPixel_);
    const int lines =
        StretchDIBits(dc.get(), 0, 0, width, height, 0, 0, width, height, image,
                      dib.info(), DIB_RGB_COLORS, SRCCOPY);
    // GDI may hold drawing back in a batch of this thread's; the frame
    // counts as shown only once it has reached the window.
    GdiFlush();
    // A window destroyed under the call makes it fail, harmlessly.
    return lines > 0 ? PresentResult::kDrawn : PresentResult::kNothing;
  }

  // A window drawn through GDI has no backing of ours that could be lost.
  bool Restore() override { return IsWindow(); }

 private:
  // Room for bytes, kept from frame to frame and grown when the window
  // grows; null when the memory cannot be had.
  std::uint8_t* Buffer(std::size_t bytes) {
    if (bytes > imageBytes_) {
      image_ = platform::TryAllocate<std::uint8_t>(bytes);
      imageBytes_ = image_ != nullptr ? bytes : 0;
    }
    return image_.get();
  }

  const HWND window_;
  const DWORD ownerThread_;
  const std::int32_t bitsPerPixel_;
  bool alive_ = true;
  std::unique_ptr<std::uint8_t[]> image_;
  std::size_t imageBytes_ = 0;
  std::vector<std::int32_t> columns_;
};

}  // namespace

std::unique_ptr<BoundWindow> BindGdiWindow(RvxWindow window) {
  const HWND hwnd = AsHwnd(window);
  const DWORD ownerThread = OwnerThread(hwnd);
  if (ownerThread == 0) return nullptr;
  int screenBits = 0;
  {
    const WindowDc dc(hwnd);
    if (dc.get() == nullptr) return nullptr;
    screenBits = GetDeviceCaps(dc.get(), BITSPIXEL);
  }
  return std::make_unique<GdiBinding>(hwnd, ownerThread,
                                      PackingFor(screenBits));
}

bool GdiWindowExists(RvxWindow window) { return IsWindow(AsHwnd(window)); }

}  // namespace quorvel::display
