#include "display/compose_frame.h"

#include "display/highlight_mask.h"
#include "platform/allocate.h"

namespace quorvel {

namespace {

bool HighlightWanted(CameraRecord& record, std::int32_t select)
    TSA_REQUIRES(record.displayLock) {
  return select >= 0 && record.highlightCount != nullptr &&
         record.highlightObjects != nullptr && *record.highlightCount > 0 &&
         record.labelMap != nullptr;
}

// The mask buffer lives as long as the camera, the mask bitmap as long as
// the binding; both are made on the first highlighted frame.
bool EnsureMaskStorage(CameraRecord& record, DisplayObjects& objects)
    TSA_REQUIRES(record.displayLock) {
  if (record.overlayMask == nullptr) {
    const std::size_t bytes = static_cast<std::size_t>(record.displayWidth) *
                              std::size_t(record.displayHeight) * 4;
    record.overlayMask = platform::TryAllocate<std::uint8_t>(bytes);
    if (record.overlayMask == nullptr) return false;
  }
  if (objects.maskBitmap == nullptr) {
    const display::Surface& bitmap = *objects.frameBitmap;
    objects.maskBitmap = display::Surface::Create(
        bitmap.width(), bitmap.height(), bitmap.bytesPerPixel() * 8);
  }
  return objects.maskBitmap != nullptr;
}

// The result is NOT (pixel XOR mask): white mask pixels leave the frame as
// it is, red ones keep its red and invert its green and blue.
void Highlight(CameraRecord& record, DisplayObjects& objects,
               std::int32_t select, std::int32_t width, std::int32_t height)
    TSA_REQUIRES(record.displayLock) {
  if (!EnsureMaskStorage(record, objects)) return;
  display::HighlightSource source;
  source.select = select;
  source.objectCount = *record.highlightCount;
  source.objects = record.highlightObjects;
  source.labels = record.labelMap;
  source.imageWidth = record.slots.showSlot->width;
  source.imageHeight = record.slots.showSlot->height;
  source.stepX = record.stepX;
  source.stepY = record.stepY;
  display::BuildHighlightMask(source, record.overlayMask.get(), width, height);
  display::LoadMask(*objects.maskBitmap, record.overlayMask.get(), width,
                    height);
  display::XorPixels(*objects.frameBitmap, *objects.maskBitmap, width, height);
  display::InvertPixels(*objects.frameBitmap, width, height);
}

}  // namespace

void ComposeFrame(CameraRecord& record, DisplayObjects& objects,
                  const std::uint8_t* bits, std::int32_t width,
                  std::int32_t height) {
  if (record.displayWindow.load() == 0) return;
  const std::int32_t select = record.highlightSelect.load();
  if (HighlightWanted(record, select)) {
    display::LoadBits(*objects.frameBitmap, bits, width, height);
    Highlight(record, objects, select, width, height);
    display::CopyPixels(*objects.offscreen, *objects.frameBitmap, width,
                        height);
  } else {
    // Without a highlight the bitmap would pass the bits on unchanged, so
    // they go to the surface directly: one copy of the frame less.
    display::LoadBits(*objects.offscreen, bits, width, height);
  }
  display::ScrollPixels(*objects.offscreen,
                        -std::int64_t{record.scrollX.load()},
                        -std::int64_t{record.scrollY.load()});
}

}  // namespace quorvel
