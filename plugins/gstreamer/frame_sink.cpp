#include "frame_sink.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvel::gst {
namespace {

// A few frames absorb a downstream hiccup; more would only add latency to
// a live picture.
constexpr std::size_t kQueuedFrames = 4;
constexpr std::size_t kQueuedMessages = 64;

GValue ObjectValue(const ObjectReport& object) {
  GValue value = G_VALUE_INIT;
  g_value_init(&value, GST_TYPE_STRUCTURE);
  g_value_take_boxed(
      &value, gst_structure_new("object", "label", G_TYPE_INT, object.label,
                                "pixel-count", G_TYPE_INT, object.pixelCount,
                                "mean-x", G_TYPE_DOUBLE, object.meanX, "mean-y",
                                G_TYPE_DOUBLE, object.meanY, "min-x",
                                G_TYPE_INT, object.minX, "min-y", G_TYPE_INT,
                                object.minY, "max-x", G_TYPE_INT, object.maxX,
                                "max-y", G_TYPE_INT, object.maxY, nullptr));
  return value;
}

}  // namespace

FrameSink::FrameSink(const GstVideoInfo& info)
    : info_(info), queue_(kQueuedFrames, kQueuedMessages) {}

void FrameSink::OnFrame(const std::uint8_t* pixels, std::size_t count) {
  const auto arrival = SteadyClock::now();
  BufferPtr buffer(gst_buffer_new_allocate(nullptr, info_.size, nullptr));
  GstMapInfo map;
  if (!buffer || !gst_buffer_map(buffer.get(), &map, GST_MAP_WRITE)) return;
  // A camera that sends fewer lines leaves the rest black (still, in a
  // mask), so every buffer matches the caps.
  const auto width = static_cast<std::size_t>(GST_VIDEO_INFO_WIDTH(&info_));
  const auto stride =
      static_cast<std::size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info_, 0));
  const auto height = static_cast<std::size_t>(GST_VIDEO_INFO_HEIGHT(&info_));
  for (std::size_t y = 0; y < height; ++y) {
    std::uint8_t* row = map.data + y * stride;
    const std::size_t taken = std::min(width, count);
    std::memcpy(row, pixels, taken);
    std::memset(row + taken, 0, stride - taken);
    pixels += taken;
    count -= taken;
  }
  gst_buffer_unmap(buffer.get(), &map);
  queue_.PushFrame(std::move(buffer), arrival);
}

void FrameSink::OnObjects(const ObjectReport* objects, std::int32_t count) {
  const auto arrival = SteadyClock::now();
  GValue list = G_VALUE_INIT;
  g_value_init(&list, GST_TYPE_ARRAY);
  for (std::int32_t i = 0; i < count; ++i) {
    GValue object = ObjectValue(objects[i]);
    gst_value_array_append_and_take_value(&list, &object);
  }
  StructurePtr body(
      gst_structure_new(kObjectsMessage, "count", G_TYPE_INT, count, nullptr));
  gst_structure_take_value(body.get(), "objects", &list);
  queue_.PushMessage(std::move(body), arrival);
}

void FrameSink::OnAlarm() {
  queue_.PushMessage(StructurePtr(gst_structure_new_empty(kAlarmMessage)),
                     SteadyClock::now());
}

void FrameSink::OnLost(std::int32_t reason) { queue_.Fail(reason); }

}  // namespace quorvel::gst
