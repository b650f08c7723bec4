// Owning handles for libxcb objects.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace quorvel::display {

struct XcbConnectionCloser {
  void operator()(xcb_connection_t* connection) const {
    xcb_disconnect(connection);
  }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbConnectionCloser>;

// Replies, events and errors are malloc'ed by libxcb.
struct XcbFree {
  void operator()(void* block) const { std::free(block); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

}  // namespace quorvel::display
