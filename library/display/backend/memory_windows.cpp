#include "display/backend/memory_windows.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "display/backend/window_system.h"
#include "display/scale_blit.h"
#include "platform/mutex.h"

namespace quorvel::display {

namespace {

constexpr RvxWindow kMemoryWindowBit = 0x80000000u;
constexpr std::int32_t kLargestSide = 32767;

struct MemoryWindow {
  platform::Mutex mutex;
  const std::int32_t width, height, depth;
  bool alive TSA_GUARDED_BY(mutex) = true;
  bool backingLost TSA_GUARDED_BY(mutex) = false;
  std::uint64_t presented TSA_GUARDED_BY(mutex) = 0;
  std::int32_t binds TSA_GUARDED_BY(mutex) = 0;
  // width x height x bytesPerPixel()
  std::vector<std::uint8_t> pixels TSA_GUARDED_BY(mutex);

  MemoryWindow(std::int32_t w, std::int32_t h, std::int32_t d)
      : width(w), height(h), depth(d) {}
  std::int32_t bytesPerPixel() const { return depth == 16 ? 2 : 4; }
  std::size_t pitch() const {
    return static_cast<std::size_t>(width) * std::size_t(bytesPerPixel());
  }
};

// Windows are never removed from the list: a destroyed one stays, dead,
// so that a test can still read that it is dead.
struct WindowList {
  platform::Mutex mutex;
  std::uint32_t lastNumber TSA_GUARDED_BY(mutex) = 0;
  std::map<RvxWindow, std::shared_ptr<MemoryWindow>> windows
      TSA_GUARDED_BY(mutex);
};

WindowList& Windows() {
  static WindowList list;
  return list;
}

std::shared_ptr<MemoryWindow> Find(RvxWindow window) {
  WindowList& list = Windows();
  platform::MutexLock lock(list.mutex);
  const auto found = list.windows.find(window);
  return found == list.windows.end() ? nullptr : found->second;
}

// The binding holds the window itself, so presenting never touches the
// list and a binding that outlives the list at process exit stays sound.
class MemoryBinding final : public BoundWindow {
 public:
  explicit MemoryBinding(std::shared_ptr<MemoryWindow> window)
      : window_(std::move(window)) {}

  std::int32_t bitsPerPixel() const override {
    return window_->bytesPerPixel() * 8;
  }

  bool IsWindow() override {
    platform::MutexLock lock(window_->mutex);
    return window_->alive;
  }

  PresentResult Present(const Surface& surface,
                        const PresentRequest& request) override {
    platform::MutexLock lock(window_->mutex);
    if (!window_->alive) return PresentResult::kNothing;
    if (window_->backingLost) return PresentResult::kLost;
    if (surface.bytesPerPixel() != window_->bytesPerPixel()) {
      return PresentResult::kNothing;
    }
    const BlitGeometry geometry{request.sourceWidth, request.sourceHeight,
                                request.destWidth,   request.destHeight,
                                window_->width,      window_->height};
    if (geometry.empty()) return PresentResult::kNothing;
    const std::uint32_t alpha = window_->depth == 32 ? 0xFF000000u : 0u;
    ScaleBlit(surface, geometry, window_->pixels.data(), window_->pitch(),
              alpha, columns_);
    ++window_->presented;
    return PresentResult::kDrawn;
  }

  bool Restore() override {
    platform::MutexLock lock(window_->mutex);
    if (!window_->alive) return false;
    // A backing that was lost comes back without its content.
    std::fill(window_->pixels.begin(), window_->pixels.end(), 0);
    window_->backingLost = false;
    return true;
  }

 private:
  const std::shared_ptr<MemoryWindow> window_;
  std::vector<std::int32_t> columns_;
};

}  // namespace

RvxWindow CreateMemoryWindow(std::int32_t width, std::int32_t height,
                             std::int32_t depth) {
  if (width < 1 || height < 1 || width > kLargestSide ||
      height > kLargestSide || (depth != 16 && depth != 24 && depth != 32)) {
    return 0;
  }
  std::shared_ptr<MemoryWindow> made;
  try {
    made = std::make_shared<MemoryWindow>(width, height, depth);
    platform::MutexLock lock(made->mutex);
    made->pixels.assign(made->pitch() * static_cast<std::size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  WindowList& list = Windows();
  platform::MutexLock lock(list.mutex);
  if (list.lastNumber == 0x7FFFFFFFu) return 0;
  const RvxWindow id = kMemoryWindowBit | ++list.lastNumber;
  list.windows.emplace(id, std::move(made));
  return id;
}

bool DestroyMemoryWindow(RvxWindow window) {
  const auto found = Find(window);
  if (found == nullptr) return false;
  platform::MutexLock lock(found->mutex);
  found->alive = false;
  found->pixels.clear();
  found->pixels.shrink_to_fit();
  return true;
}

bool LoseMemoryWindowBacking(RvxWindow window) {
  const auto found = Find(window);
  if (found == nullptr) return false;
  platform::MutexLock lock(found->mutex);
  if (!found->alive) return false;
  found->backingLost = true;
  return true;
}

std::optional<MemoryWindowState> ReadMemoryWindow(RvxWindow window) {
  const auto found = Find(window);
  if (found == nullptr) return std::nullopt;
  platform::MutexLock lock(found->mutex);
  MemoryWindowState state;
  state.alive = found->alive;
  state.width = found->width;
  state.height = found->height;
  state.depth = found->depth;
  state.framesPresented = found->presented;
  state.binds = found->binds;
  if (found->alive) {
    const std::size_t count =
        static_cast<std::size_t>(found->width) * std::size_t(found->height);
    state.pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (found->bytesPerPixel() == 2) {
        std::uint16_t value;
        std::memcpy(&value, found->pixels.data() + 2 * i, 2);
        state.pixels[i] = value;
      } else {
        std::memcpy(&state.pixels[i], found->pixels.data() + 4 * i, 4);
      }
    }
  }
  return state;
}

std::unique_ptr<BoundWindow> BindMemoryWindow(RvxWindow window) {
  auto found = Find(window);
  if (found == nullptr) return nullptr;
  {
    platform::MutexLock lock(found->mutex);
    if (!found->alive) return nullptr;
    ++found->binds;
  }
  return std::make_unique<MemoryBinding>(std::move(found));
}

bool MemoryWindowExists(RvxWindow window) {
  const auto found = Find(window);
  if (found == nullptr) return false;
  platform::MutexLock lock(found->mutex);
  return found->alive;
}

}  // namespace quorvel::display
