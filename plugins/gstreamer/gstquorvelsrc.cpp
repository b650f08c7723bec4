#include "gstquorvelsrc.h"

#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "camera_session.h"
#include "frame_queue.h"
#include "frame_sink.h"

GST_DEBUG_CATEGORY_STATIC(quorvel_src_debug);
#define GST_CAT_DEFAULT quorvel_src_debug

namespace {

using quorvel::gst::CameraSession;
using quorvel::gst::CameraSettings;
using quorvel::gst::FrameQueue;
using quorvel::gst::FrameSink;
using quorvel::gst::QueuedFrame;
using quorvel::gst::QueuedMessage;
using quorvel::gst::SteadyClock;

enum {
  PROP_0,
  PROP_ADDRESS,
  PROP_WIDTH,
  PROP_HEIGHT,
  PROP_DETECTION,
  PROP_MIN_OBJECT_SIZE,
  PROP_TIMEOUT,
  PROP_DROPPED
};

constexpr gint kDefaultWidth = 640;
constexpr gint kDefaultHeight = 480;
// The library turns narrower widths into 640; the size command carries 15
// bits.
constexpr gint kMinWidth = 4;
constexpr gint kMaxSide = 32767;
constexpr gint kDefaultMinObjectSize = 2500;
// Generous: a loaded machine may stall a healthy camera for seconds.
constexpr GstClockTime kDefaultTimeout = 10 * GST_SECOND;
constexpr GstClockTime kMaxTimeout = 24 * 3600 * GST_SECOND;

// The C++ part of the element, constructed in init and destroyed in
// finalize.
struct SrcState {
  // Properties, under the object lock. An empty address is unset.
  CameraSettings settings;
  GstClockTime timeout = kDefaultTimeout;

  // The camera, set by start() and stop() while the property setters and
  // unlock() may run on other threads. The sink outlives the session so
  // that `dropped` stays readable after stop().
  std::mutex lock;
  std::shared_ptr<FrameSink> sink;
  std::unique_ptr<CameraSession> session;
  gint width = 0;
  gint height = 0;

  // Streaming thread only.
  std::uint64_t nextSequence = 0;
  GstClockTime lastPts = 0;
};

}  // namespace

struct _GstQuorvelSrc {
  GstPushSrc parent;
  SrcState state;
};

G_DEFINE_TYPE_WITH_CODE(GstQuorvelSrc, gst_quorvel_src, GST_TYPE_PUSH_SRC,
                        GST_DEBUG_CATEGORY_INIT(quorvel_src_debug, "quorvelsrc",
                                                0, "quorvel camera source"))
GST_ELEMENT_REGISTER_DEFINE(quorvelsrc, "quorvelsrc", GST_RANK_NONE,
                            GST_TYPE_QUORVEL_SRC)

namespace {

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) GRAY8, "
                    "width = (int) [ 4, 32767 ], height = (int) [ 1, 32767 ], "
                    "framerate = (fraction) 0/1"));

SrcState& State(gpointer object) { return GST_QUORVEL_SRC(object)->state; }

// The running time at which a frame arrived: the pipeline clock read now,
// less the frame's age on the monotonic clock, so the time spent waiting in
// the queue does not count.
GstClockTime RunningTimeAt(GstElement* element,
                           SteadyClock::time_point arrival) {
  GstClock* clock = gst_element_get_clock(element);
  if (clock == nullptr) return GST_CLOCK_TIME_NONE;
  const GstClockTime now = gst_clock_get_time(clock);
  gst_object_unref(clock);
  const GstClockTime base = gst_element_get_base_time(element);
  const auto age = std::chrono::duration_cast<std::chrono::nanoseconds>(
                       SteadyClock::now() - arrival)
                       .count();
  const GstClockTime ageNs = age > 0 ? static_cast<GstClockTime>(age) : 0;
  const GstClockTime at = now > ageNs ? now - ageNs : 0;
  return at > base ? at - base : 0;
}

void PostMessage(GstQuorvelSrc* self, QueuedMessage message) {
  gst_structure_set(message.body.get(), "running-time", G_TYPE_UINT64,
                    RunningTimeAt(GST_ELEMENT(self), message.arrival), nullptr);
  gst_element_post_message(
      GST_ELEMENT(self),
      gst_message_new_element(GST_OBJECT(self), message.body.release()));
}

// Ends the stream on a camera that went away: the library reported it
// lost, or it sent nothing for the timeout.
GstFlowReturn CameraLost(GstQuorvelSrc* self, const char* why) {
  std::string address;
  GST_OBJECT_LOCK(self);
  address = self->state.settings.address;
  GST_OBJECT_UNLOCK(self);
  GST_ELEMENT_ERROR(self, RESOURCE, READ,
                    ("Lost the camera at %s", address.c_str()), ("%s", why));
  return GST_FLOW_ERROR;
}

GstBuffer* Stamp(GstQuorvelSrc* self, QueuedFrame frame) {
  SrcState& state = self->state;
  GstBuffer* buffer = frame.buffer.release();
  // The two clocks are read a moment apart; a preemption between them must
  // not put a frame of a quick burst before its predecessor.
  GstClockTime pts = RunningTimeAt(GST_ELEMENT(self), frame.arrival);
  if (GST_CLOCK_TIME_IS_VALID(pts)) {
    pts = std::max(pts, state.lastPts);
    state.lastPts = pts;
  }
  GST_BUFFER_PTS(buffer) = pts;
  GST_BUFFER_OFFSET(buffer) = frame.sequence;
  GST_BUFFER_OFFSET_END(buffer) = frame.sequence + 1;
  if (frame.sequence != state.nextSequence) {
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
  }
  state.nextSequence = frame.sequence + 1;
  return buffer;
}

GstFlowReturn Create(GstPushSrc* push, GstBuffer** out) {
  GstQuorvelSrc* self = GST_QUORVEL_SRC(push);
  SrcState& state = self->state;
  std::shared_ptr<FrameSink> sink;
  {
    std::lock_guard<std::mutex> hold(state.lock);
    sink = state.sink;
  }
  GST_OBJECT_LOCK(self);
  const GstClockTime timeout = state.timeout;
  GST_OBJECT_UNLOCK(self);
  if (!sink) return GST_FLOW_FLUSHING;

  const auto deadline = SteadyClock::now() + std::chrono::nanoseconds(timeout);
  for (;;) {
    QueuedFrame frame;
    std::vector<QueuedMessage> messages;
    const FrameQueue::Wake wake =
        sink->queue().Wait(deadline, &frame, &messages);
    for (QueuedMessage& message : messages) {
      PostMessage(self, std::move(message));
    }
    switch (wake) {
      case FrameQueue::Wake::kFrame:
        *out = Stamp(self, std::move(frame));
        return GST_FLOW_OK;
      case FrameQueue::Wake::kMessages:
        continue;
      case FrameQueue::Wake::kFlushing:
        return GST_FLOW_FLUSHING;
      case FrameQueue::Wake::kLost: {
        gchar* why = g_strdup_printf("the library lost it (reason %d)",
                                     sink->queue().lostReason());
        const GstFlowReturn result = CameraLost(self, why);
        g_free(why);
        return result;
      }
      case FrameQueue::Wake::kTimedOut: {
        gchar* why = g_strdup_printf("no frame for %" GST_TIME_FORMAT,
                                     GST_TIME_ARGS(timeout));
        const GstFlowReturn result = CameraLost(self, why);
        g_free(why);
        return result;
      }
    }
  }
}

gboolean Start(GstBaseSrc* base) {
  GstQuorvelSrc* self = GST_QUORVEL_SRC(base);
  SrcState& state = self->state;
  GST_OBJECT_LOCK(self);
  const CameraSettings settings = state.settings;
  GST_OBJECT_UNLOCK(self);
  if (settings.address.empty()) {
    GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("No camera address given"),
                      ("set the address property"));
    return FALSE;
  }

  GstVideoInfo info;
  gst_video_info_set_format(&info, GST_VIDEO_FORMAT_GRAY8,
                            static_cast<guint>(settings.width),
                            static_cast<guint>(settings.height));
  auto sink = std::make_shared<FrameSink>(info);
  auto session = std::make_unique<CameraSession>(settings, sink);
  if (!session->ok()) {
    GST_ELEMENT_ERROR(
        self, RESOURCE, OPEN_READ,
        ("Could not open the camera at %s", settings.address.c_str()),
        ("%s", session->error().c_str()));
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(state.lock);
  state.sink = std::move(sink);
  state.session = std::move(session);
  state.width = settings.width;
  state.height = settings.height;
  state.nextSequence = 0;
  state.lastPts = 0;
  return TRUE;
}

gboolean Stop(GstBaseSrc* base) {
  SrcState& state = State(base);
  std::unique_ptr<CameraSession> ending;
  {
    std::lock_guard<std::mutex> hold(state.lock);
    ending = std::move(state.session);
  }
  // Disconnecting waits for the receiver thread; not under the lock, which
  // the property setters take.
  ending.reset();
  return TRUE;
}

// unlock() and unlock_stop() bracket a create() that must return at once.
void SetFlushing(GstBaseSrc* base, bool flushing) {
  SrcState& state = State(base);
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.sink) state.sink->queue().SetFlushing(flushing);
}

gboolean Unlock(GstBaseSrc* base) {
  SetFlushing(base, true);
  return TRUE;
}

gboolean UnlockStop(GstBaseSrc* base) {
  SetFlushing(base, false);
  return TRUE;
}

// The camera's size once connected, the template's ranges before.
GstCaps* GetCaps(GstBaseSrc* base, GstCaps* filter) {
  SrcState& state = State(base);
  GstCaps* caps = nullptr;
  {
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.session) {
      caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                 "GRAY8", "width", G_TYPE_INT, state.width,
                                 "height", G_TYPE_INT, state.height,
                                 "framerate", GST_TYPE_FRACTION, 0, 1, nullptr);
    }
  }
  if (caps == nullptr) caps = gst_pad_get_pad_template_caps(base->srcpad);
  if (filter != nullptr) {
    GstCaps* both =
        gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    caps = both;
  }
  return caps;
}

// Detection settings live in the library and apply to a running camera at
// once.
template <typename Apply>
void ApplyToSession(SrcState& state, Apply apply) {
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.session) apply(*state.session);
}

void SetProperty(GObject* object, guint id, const GValue* value,
                 GParamSpec* spec) {
  SrcState& state = State(object);
  GST_OBJECT_LOCK(object);
  CameraSettings& settings = state.settings;
  switch (id) {
    case PROP_ADDRESS: {
      const gchar* address = g_value_get_string(value);
      settings.address = address != nullptr ? address : "";
      break;
    }
    case PROP_WIDTH:
      settings.width = g_value_get_int(value);
      break;
    case PROP_HEIGHT:
      settings.height = g_value_get_int(value);
      break;
    case PROP_DETECTION:
      settings.detection = g_value_get_boolean(value);
      break;
    case PROP_MIN_OBJECT_SIZE:
      settings.minObjectSize = g_value_get_int(value);
      break;
    case PROP_TIMEOUT:
      state.timeout = g_value_get_uint64(value);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
      break;
  }
  const bool detection = settings.detection;
  const std::int32_t minObjectSize = settings.minObjectSize;
  GST_OBJECT_UNLOCK(object);
  if (id == PROP_DETECTION) {
    ApplyToSession(state, [&](CameraSession& s) { s.SetDetection(detection); });
  } else if (id == PROP_MIN_OBJECT_SIZE) {
    ApplyToSession(
        state, [&](CameraSession& s) { s.SetMinObjectSize(minObjectSize); });
  }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec) {
  SrcState& state = State(object);
  if (id == PROP_DROPPED) {
    std::lock_guard<std::mutex> hold(state.lock);
    g_value_set_uint64(value, state.sink ? state.sink->queue().dropped() : 0);
    return;
  }
  GST_OBJECT_LOCK(object);
  const CameraSettings& settings = state.settings;
  switch (id) {
    case PROP_ADDRESS:
      g_value_set_string(
          value, settings.address.empty() ? nullptr : settings.address.c_str());
      break;
    case PROP_WIDTH:
      g_value_set_int(value, settings.width);
      break;
    case PROP_HEIGHT:
      g_value_set_int(value, settings.height);
      break;
    case PROP_DETECTION:
      g_value_set_boolean(value, settings.detection);
      break;
    case PROP_MIN_OBJECT_SIZE:
      g_value_set_int(value, settings.minObjectSize);
      break;
    case PROP_TIMEOUT:
      g_value_set_uint64(value, state.timeout);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
      break;
  }
  GST_OBJECT_UNLOCK(object);
}

void Finalize(GObject* object) {
  State(object).~SrcState();
  G_OBJECT_CLASS(gst_quorvel_src_parent_class)->finalize(object);
}

void InstallProperties(GObjectClass* objectClass) {
  constexpr auto kReady = static_cast<GParamFlags>(
      G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY);
  constexpr auto kLive = static_cast<GParamFlags>(
      G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
  g_object_class_install_property(
      objectClass, PROP_ADDRESS,
      g_param_spec_string("address", "Address",
                          "IPv4 address (or host name) of the camera", nullptr,
                          kReady));
  g_object_class_install_property(
      objectClass, PROP_WIDTH,
      g_param_spec_int("width", "Width", "Frame width in pixels", kMinWidth,
                       kMaxSide, kDefaultWidth, kReady));
  g_object_class_install_property(
      objectClass, PROP_HEIGHT,
      g_param_spec_int("height", "Height", "Frame height in pixels", 1,
                       kMaxSide, kDefaultHeight, kReady));
  g_object_class_install_property(
      objectClass, PROP_DETECTION,
      g_param_spec_boolean(
          "detection", "Detection",
          "Find moving objects in motion masks and post quorvel-objects and "
          "quorvel-alarm messages",
          FALSE, kLive));
  g_object_class_install_property(
      objectClass, PROP_MIN_OBJECT_SIZE,
      g_param_spec_int("min-object-size", "Minimum object size",
                       "Fewest moving pixels that count as an object", 0,
                       G_MAXINT, kDefaultMinObjectSize, kLive));
  g_object_class_install_property(
      objectClass, PROP_TIMEOUT,
      g_param_spec_uint64("timeout", "Timeout",
                          "Time without a frame (ns) after which the camera "
                          "counts as lost and the stream ends with an error",
                          GST_MSECOND, kMaxTimeout, kDefaultTimeout, kLive));
  g_object_class_install_property(
      objectClass, PROP_DROPPED,
      g_param_spec_uint64(
          "dropped", "Dropped",
          "Frames discarded because downstream did not take "
          "them in time",
          0, G_MAXUINT64, 0,
          static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
}

}  // namespace

static void gst_quorvel_src_class_init(GstQuorvelSrcClass* klass) {
  GObjectClass* objectClass = G_OBJECT_CLASS(klass);
  objectClass->set_property = SetProperty;
  objectClass->get_property = GetProperty;
  objectClass->finalize = Finalize;
  InstallProperties(objectClass);

  GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(elementClass, &srcTemplate);
  gst_element_class_set_static_metadata(
      elementClass, "Quorvel camera source", "Source/Video",
      "Live pictures or motion masks of a networked camera, with its moving "
      "objects as element messages",
      "quorvel");

  GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
  baseClass->start = Start;
  baseClass->stop = Stop;
  baseClass->unlock = Unlock;
  baseClass->unlock_stop = UnlockStop;
  baseClass->get_caps = GetCaps;
  GST_PUSH_SRC_CLASS(klass)->create = Create;
}

static void gst_quorvel_src_init(GstQuorvelSrc* self) {
  ::new (&self->state) SrcState();
  GstBaseSrc* base = GST_BASE_SRC(self);
  gst_base_src_set_live(base, TRUE);
  gst_base_src_set_format(base, GST_FORMAT_TIME);
}
