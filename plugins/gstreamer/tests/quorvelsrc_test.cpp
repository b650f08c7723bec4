// quorvelsrc against the simulated camera, one camsim process and one
// loopback address a case (127.0.41.1 to .3; .254 has no camera).
#include <arpa/inet.h>
#include <gst/check/gstcheck.h>
#include <gst/check/gstharness.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gstquorvelsrc.h"

namespace {

constexpr gint64 kDeadlineUs = 20 * G_USEC_PER_SEC;

bool Accepts(const char* address) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(3002);
  inet_pton(AF_INET, address, &peer.sin_addr);
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const bool ok =
      connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
  close(fd);
  return ok;
}

template <typename Condition>
bool WaitFor(Condition done) {
  const gint64 deadline = g_get_monotonic_time() + kDeadlineUs;
  while (!done() && g_get_monotonic_time() < deadline) g_usleep(20000);
  return done();
}

// camsim serving `address` until destroyed or Stop()ped.
class Camsim {
 public:
  explicit Camsim(const char* address, const char* mode = "image") {
    const gchar* argv[] = {CAMSIM_PATH, "--address", address,
                           "--mode",    mode,        nullptr};
    fail_unless(g_spawn_async(
        nullptr, const_cast<gchar**>(argv), nullptr,
        GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL),
        nullptr, nullptr, &pid_, nullptr));
    fail_unless(WaitFor([&] { return Accepts(address); }),
                "camsim does not serve %s", address);
  }
  ~Camsim() { Stop(); }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  GPid pid_ = -1;
};

// `properties` as on a gst-launch line: "address=... width=...".
GstHarness* StartSource(const std::string& properties) {
  GstElement* src = GST_ELEMENT(gst_object_ref_sink(
      gst_parse_launch(("quorvelsrc " + properties).c_str(), nullptr)));
  GstHarness* h = gst_harness_new_with_element(src, nullptr, "src");
  gst_object_unref(src);
  gst_harness_use_systemclock(h);
  GstBus* bus = gst_bus_new();
  gst_element_set_bus(h->element, bus);
  gst_object_unref(bus);
  gst_harness_play(h);
  return h;
}

GstMessage* WaitMessage(GstHarness* h, GstMessageType type,
                        const char* name = nullptr) {
  GstBus* bus = gst_element_get_bus(h->element);
  const gint64 deadline = g_get_monotonic_time() + kDeadlineUs;
  GstMessage* message = nullptr;
  while (message == nullptr && g_get_monotonic_time() < deadline) {
    message = gst_bus_timed_pop_filtered(bus, 100 * GST_MSECOND, type);
    if (message && name && !gst_message_has_name(message, name))
      gst_clear_message(&message);
  }
  gst_object_unref(bus);
  return message;
}

}  // namespace

// Rows of 322 pixels are padded to 324 in GStreamer's layout. Elements
// without a camera of their own, none at the address or one that streams
// into another element, refuse to start and leave the other streaming.
GST_START_TEST(pictures_arrive_as_gray8_with_caps_count_and_motion) {
  Camsim camera("127.0.41.1");
  GstHarness* h =
      StartSource("address=127.0.41.1 width=322 height=242 num-buffers=12");
  for (const char* address : {"127.0.41.254", "127.0.41.1"}) {
    GstElement* other = gst_element_factory_make("quorvelsrc", nullptr);
    g_object_set(other, "address", address, nullptr);
    fail_unless_equals_int(gst_element_set_state(other, GST_STATE_PAUSED),
                           GST_STATE_CHANGE_FAILURE);
    gst_element_set_state(other, GST_STATE_NULL);
    gst_object_unref(other);
  }
  std::vector<guint8> first, last;
  GstClockTime lastPts = 0;
  for (int i = 0; i < 12; ++i) {
    GstBuffer* buffer = gst_harness_pull(h);
    fail_unless(buffer != nullptr && GST_BUFFER_PTS_IS_VALID(buffer));
    fail_unless(GST_BUFFER_PTS(buffer) >= lastPts);
    lastPts = GST_BUFFER_PTS(buffer);
    GstMapInfo map;
    fail_unless(gst_buffer_map(buffer, &map, GST_MAP_READ));
    fail_unless_equals_int(map.size, 324 * 242);
    // The background corners, where no shape reaches: the picture is laid
    // out on the padded rows, not run on from the previous one.
    fail_unless_equals_int(map.data[0], 32);
    fail_unless_equals_int(map.data[241 * 324 + 321], 127);
    fail_unless_equals_int(map.data[241 * 324 + 322], 0);
    (i == 0 ? first : last).assign(map.data, map.data + map.size);
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
  }
  fail_unless(first != last, "the shapes do not move");
  GstCaps* caps = gst_pad_get_current_caps(h->sinkpad);
  gchar* text = gst_caps_to_string(caps);
  fail_unless_equals_string(
      text,
      "video/x-raw, format=(string)GRAY8, width=(int)322, height=(int)242, "
      "framerate=(fraction)0/1");
  g_free(text);
  gst_caps_unref(caps);

  GstBuffer* extra = nullptr;  // none after num-buffers, then EOS
  fail_unless(gst_harness_pull_until_eos(h, &extra) && extra == nullptr);
  gst_harness_teardown(h);
}
GST_END_TEST;

GST_START_TEST(masks_post_objects_and_alarms) {
  Camsim camera("127.0.41.2", "mask");
  GstHarness* h = StartSource("address=127.0.41.2 detection=true");
  GstBuffer* buffer = gst_harness_pull(h);
  GstMapInfo map;
  fail_unless(gst_buffer_map(buffer, &map, GST_MAP_READ));
  const auto moving = std::count(map.data, map.data + map.size, 255);
  const auto still = std::count(map.data, map.data + map.size, 0);
  fail_unless(moving > 3 * 2500 && gsize(moving + still) == map.size);
  gst_buffer_unmap(buffer, &map);
  gst_buffer_unref(buffer);

  GstMessage* alarm = WaitMessage(h, GST_MESSAGE_ELEMENT, "quorvel-alarm");
  fail_unless(alarm != nullptr);
  gst_message_unref(alarm);
  GstMessage* objects = WaitMessage(h, GST_MESSAGE_ELEMENT, "quorvel-objects");
  fail_unless(objects != nullptr);
  const GstStructure* body = gst_message_get_structure(objects);
  gint count = 0;
  fail_unless(gst_structure_get_int(body, "count", &count));
  fail_unless_equals_int(count, 3);
  const GValue* list = gst_structure_get_value(body, "objects");
  fail_unless_equals_int(gst_value_array_get_size(list), 3);
  gst_message_unref(objects);
  gst_harness_teardown(h);
}
GST_END_TEST;

// A blocked downstream costs frames, counted and marked, and the stream
// goes on; a camera that goes away ends it with an error.
GST_START_TEST(stalls_drop_frames_and_a_lost_camera_is_an_error) {
  Camsim camera("127.0.41.3");
  GstHarness* h = StartSource("address=127.0.41.3");
  GstBuffer* buffer = gst_harness_pull(h);
  fail_unless(buffer != nullptr);
  guint64 previous = GST_BUFFER_OFFSET(buffer);
  gst_buffer_unref(buffer);
  const gulong probe = gst_pad_add_probe(
      h->sinkpad, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM,
      [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; },
      nullptr, nullptr);
  fail_unless(WaitFor([&] {
    guint64 dropped = 0;
    g_object_get(h->element, "dropped", &dropped, nullptr);
    return dropped >= 5;
  }));
  gst_pad_remove_probe(h->sinkpad, probe);

  // Offsets count every frame the camera sent.
  bool gaps = false;
  for (int i = 0; i < 6; ++i) {
    buffer = gst_harness_pull(h);
    fail_unless(buffer != nullptr);
    const bool gap = GST_BUFFER_OFFSET(buffer) != previous + 1;
    fail_unless_equals_int(
        GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT), gap);
    gaps |= gap;
    previous = GST_BUFFER_OFFSET(buffer);
    gst_buffer_unref(buffer);
  }
  fail_unless(gaps, "no buffer marks the dropped frames");

  // Short only now: the first frame may take long on a loaded machine.
  // Two more frames, and the wait in progress has the new time-out.
  g_object_set(h->element, "timeout", GST_SECOND, nullptr);
  const guint seen = gst_harness_buffers_received(h);
  fail_unless(
      WaitFor([&] { return gst_harness_buffers_received(h) >= seen + 2; }));
  camera.Stop();
  GstMessage* error = WaitMessage(h, GST_MESSAGE_ERROR);
  fail_unless(error != nullptr, "no error after the camera went away");
  GError* reason = nullptr;
  gst_message_parse_error(error, &reason, nullptr);
  fail_unless(
      g_error_matches(reason, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ));
  g_error_free(reason);
  gst_message_unref(error);
  gst_harness_teardown(h);
}
GST_END_TEST;

static Suite* quorvelsrc_suite() {
  if (!GST_ELEMENT_REGISTER(quorvelsrc, nullptr)) g_error("cannot register");
  Suite* suite = suite_create("quorvelsrc");
  TCase* cases = tcase_create("camsim");
  tcase_set_timeout(cases, 120);
  suite_add_tcase(suite, cases);
  tcase_add_test(cases, pictures_arrive_as_gray8_with_caps_count_and_motion);
  tcase_add_test(cases, masks_post_objects_and_alarms);
  tcase_add_test(cases, stalls_drop_frames_and_a_lost_camera_is_an_error);
  return suite;
}

GST_CHECK_MAIN(quorvelsrc)
