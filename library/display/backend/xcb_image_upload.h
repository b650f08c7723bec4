// Getting an image's pixels to the X server: through a shared memory
// segment when the server offers MIT-SHM and accepts our segment, else by
// plain image requests.
#pragma once

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel::display {

class XcbImageUpload {
 public:
  // connection must outlive the upload. allowSharedMemory off forces plain
  // requests.
  XcbImageUpload(xcb_connection_t* connection, bool allowSharedMemory);
  ~XcbImageUpload();
  XcbImageUpload(const XcbImageUpload&) = delete;
  XcbImageUpload& operator=(const XcbImageUpload&) = delete;

  // Room for an image of bytes bytes; null when none can be had. The
  // previous image must have been consumed by the server (a round trip
  // after Put ensures it).
  std::uint8_t* Buffer(std::size_t bytes);
  // Draws the width x height image in Buffer() (rows pitch bytes apart) at
  // the drawable's top-left corner.
  void Put(xcb_drawable_t drawable, xcb_gcontext_t gc, std::uint8_t depth,
           std::int32_t width, std::int32_t height, std::size_t pitch);

 private:
  bool MakeSegment(std::size_t bytes);
  void DropSegment();

  xcb_connection_t* const connection_;
  bool sharedMemory_ = false;
  std::uint32_t segment_ = 0;  // the server's id; 0 when none is attached
  std::uint8_t* segmentMemory_ = nullptr;
  std::size_t segmentBytes_ = 0;
  std::vector<std::uint8_t> plain_;
};

}  // namespace quorvel::display
