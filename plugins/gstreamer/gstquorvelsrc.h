// quorvelsrc: a live source of the frames of one networked camera.
#pragma once

#include <gst/base/gstpushsrc.h>

G_BEGIN_DECLS

#define GST_TYPE_QUORVEL_SRC (gst_quorvel_src_get_type())
G_DECLARE_FINAL_TYPE(GstQuorvelSrc, gst_quorvel_src, GST, QUORVEL_SRC,
                     GstPushSrc)

GST_ELEMENT_REGISTER_DECLARE(quorvelsrc);

G_END_DECLS
