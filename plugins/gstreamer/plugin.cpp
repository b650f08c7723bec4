// The plugin that carries quorvelsrc.
#include <gst/gst.h>

#include "gstquorvelsrc.h"
#include "quorvel/quorvel.h"

#define PACKAGE "quorvel"

namespace {

gboolean PluginInit(GstPlugin* plugin) {
  return GST_ELEMENT_REGISTER(quorvelsrc, plugin);
}

}  // namespace

GST_PLUGIN_DEFINE(
    GST_VERSION_MAJOR, GST_VERSION_MINOR, quorvel,
    "Networked cameras with on-board motion detection", PluginInit,
    G_STRINGIFY(QUORVEL_VERSION_MAJOR) "." G_STRINGIFY(
        QUORVEL_VERSION_MINOR) "." G_STRINGIFY(QUORVEL_VERSION_PATCH),
    GST_LICENSE_UNKNOWN, PACKAGE, PACKAGE)
