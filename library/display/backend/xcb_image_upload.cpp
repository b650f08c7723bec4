#include "display/backend/xcb_image_upload.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "display/backend/xcb_handles.h"
#include "display/backend/xcb_upload_counts.h"

#if QUORVEL_HAVE_XCB_SHM
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#endif

namespace quorvel::display {

namespace {

// One large image request makes the server many times slower than several
// of this size.
constexpr std::size_t kLargestPiece = 256 * 1024;
constexpr std::size_t kPutImageHeader = 24;

bool ServerOffersSharedMemory(xcb_connection_t* connection) {
#if QUORVEL_HAVE_XCB_SHM
  const xcb_query_extension_reply_t* extension =
      xcb_get_extension_data(connection, &xcb_shm_id);
  if (extension == nullptr || !extension->present) return false;
  XcbReply<xcb_shm_query_version_reply_t> version(xcb_shm_query_version_reply(
      connection, xcb_shm_query_version(connection), nullptr));
  return version != nullptr;
#else
  (void)connection;
  return false;
#endif
}

}  // namespace

XcbImageUpload::XcbImageUpload(xcb_connection_t* connection,
                               bool allowSharedMemory)
    : connection_(connection),
      sharedMemory_(allowSharedMemory && ServerOffersSharedMemory(connection)) {
}

XcbImageUpload::~XcbImageUpload() { DropSegment(); }

std::uint8_t* XcbImageUpload::Buffer(std::size_t bytes) {
  if (sharedMemory_) {
    if (segmentBytes_ >= bytes) return segmentMemory_;
    DropSegment();
    if (MakeSegment(bytes)) return segmentMemory_;
    // The server cannot reach our memory (another host, another IPC
    // namespace): plain requests from now on.
    sharedMemory_ = false;
  }
  try {
    if (plain_.size() < bytes) plain_.resize(bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return plain_.data();
}

void XcbImageUpload::Put(xcb_drawable_t drawable, xcb_gcontext_t gc,
                         std::uint8_t depth, std::int32_t width,
                         std::int32_t height, std::size_t pitch) {
  if (width < 1 || height < 1 || pitch == 0) return;
#if QUORVEL_HAVE_XCB_SHM
  if (sharedMemory_ && segment_ != 0) {
    // The server pads each row of the segment's image as our rows are.
    xcb_shm_put_image(
        connection_, drawable, gc, static_cast<std::uint16_t>(width),
        static_cast<std::uint16_t>(height), 0, 0,
        static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
        0, 0, depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment_, 0);
    CountUpload(true);
    return;
  }
#endif
  const std::size_t requestBytes =
      std::size_t{xcb_get_maximum_request_length(connection_)} * 4;
  const std::size_t pieceBytes =
      std::min(kLargestPiece, requestBytes > kPutImageHeader
                                  ? requestBytes - kPutImageHeader
                                  : std::size_t{0});
  const auto rowsPerPiece =
      static_cast<std::int32_t>(std::max<std::size_t>(1, pieceBytes / pitch));
  for (std::int32_t top = 0; top < height; top += rowsPerPiece) {
    const std::int32_t rows = std::min(rowsPerPiece, height - top);
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, gc,
                  static_cast<std::uint16_t>(width),
                  static_cast<std::uint16_t>(rows), 0,
                  static_cast<std::int16_t>(top), 0, depth,
                  static_cast<std::uint32_t>(pitch * std::size_t(rows)),
                  plain_.data() + pitch * static_cast<std::size_t>(top));
  }
  CountUpload(false);
}

bool XcbImageUpload::MakeSegment(std::size_t bytes) {
#if QUORVEL_HAVE_XCB_SHM
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* memory = shmat(id, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) {
    (void)shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  const std::uint32_t segment = xcb_generate_id(connection_);
  XcbReply<xcb_generic_error_t> error(xcb_request_check(
      connection_, xcb_shm_attach_checked(connection_, segment,
                                          static_cast<std::uint32_t>(id), 1)));
  // Marked for removal at once: the segment then goes away with the last
  // attachment, even when this process dies without detaching.
  (void)shmctl(id, IPC_RMID, nullptr);
  if (error != nullptr || xcb_connection_has_error(connection_) != 0) {
    (void)shmdt(memory);
    return false;
  }
  segment_ = segment;
  segmentMemory_ = static_cast<std::uint8_t*>(memory);
  segmentBytes_ = bytes;
  return true;
#else
  (void)bytes;
  return false;
#endif
}

void XcbImageUpload::DropSegment() {
#if QUORVEL_HAVE_XCB_SHM
  if (segment_ != 0) {
    xcb_shm_detach(connection_, segment_);
    xcb_flush(connection_);
  }
  if (segmentMemory_ != nullptr) (void)shmdt(segmentMemory_);
#endif
  segment_ = 0;
  segmentMemory_ = nullptr;
  segmentBytes_ = 0;
}

}  // namespace quorvel::display
