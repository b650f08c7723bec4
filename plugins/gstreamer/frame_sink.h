// The element's side of a camera session: turns what the receiver thread
// delivers into buffers and message bodies in a FrameQueue. Copies and
// allocates, never waits for the pipeline.
#pragma once

#include <gst/video/video.h>

#include "camera_session.h"
#include "frame_queue.h"

namespace quorvel::gst {

// Names of the element messages.
inline constexpr char kObjectsMessage[] = "quorvel-objects";
inline constexpr char kAlarmMessage[] = "quorvel-alarm";

class FrameSink final : public CameraListener {
 public:
  // `info` is the negotiated GRAY8 layout; GStreamer rows may be padded.
  explicit FrameSink(const GstVideoInfo& info);

  void OnFrame(const std::uint8_t* pixels, std::size_t count) override;
  void OnObjects(const ObjectReport* objects, std::int32_t count) override;
  void OnAlarm() override;
  void OnLost(std::int32_t reason) override;

  FrameQueue& queue() { return queue_; }

 private:
  GstVideoInfo info_;
  FrameQueue queue_;
};

}  // namespace quorvel::gst
