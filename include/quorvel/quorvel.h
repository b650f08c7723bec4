/*
 * quorvel: client library for networked cameras with on-board motion
 * detection.
 *
 * A camera is reached over two TCP connections: commands on port 3002 and
 * pushed video and motion masks on port 3001. Connecting returns a handle,
 * the address of the camera's device name ("RVXOSTRL1[1]", ...); every other
 * call finds its camera by comparing the handle's text with the device
 * names, so a separate copy of the text designates the same camera.
 *
 * Results: 1 for success and 0 for failure, a handle or NULL, or nothing.
 * There are no error codes and no error texts; every failure is local to
 * its call and leaves the library usable.
 *
 * Threads. Connect, disconnect, command-channel operations and the image
 * exports run on the calling thread; any thread may call any function, at
 * any time. Each camera connected for video has a receiver thread, which
 * runs every callback; a camera connected with display also has a display
 * thread that draws into the application's window. Command-channel
 * operations on one camera run one at a time: a call waits up to 10 s for
 * one running on another thread, and fails if it is still running.
 *
 * Bounds. No call waits for ever, whatever the camera does:
 * - every read and write on the command channel, the camera's greeting
 *   included, fails after 10 s in which no byte moved (a slow camera that
 *   keeps sending is never cut off);
 * - connecting waits at most 10 s for each TCP connection and, for a camera
 *   that greets wrongly or not at all, tries once more after 2 s: a silent
 *   camera makes a connect fail after about 22 s;
 * - a disconnect gives a streaming camera 2 s to take the stop command,
 *   then shuts its connections down, which also ends any call another
 *   thread has in flight on it; it then waits at most 10 s for a callback
 *   still running and the camera's threads to end, so it returns within
 *   about 12 s (the unload of the library likewise);
 * - rvx_StopVideoStream returns within 10 s.
 */
#ifndef QUORVEL_QUORVEL_H
#define QUORVEL_QUORVEL_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32)
#  if defined(QUORVEL_BUILDING)
     /* The DLL's export table (quorvel.def) names every export with its
        ordinal; dllexport would add each again under its symbol name. */
#    define RVX_API
#  elif defined(QUORVEL_STATIC)
#    define RVX_API /* linked with the static core, not the DLL */
#  else
#    define RVX_API __declspec(dllimport)
#  endif
#  if defined(_M_IX86) || defined(__i386__)
#    define RVX_CALL __stdcall
#  else
#    define RVX_CALL
#  endif
#else
#  define RVX_API __attribute__((visibility("default")))
#  define RVX_CALL
#endif

/* The version of this header and of the library built from it. */
#define QUORVEL_VERSION_MAJOR 1
#define QUORVEL_VERSION_MINOR 1
#define QUORVEL_VERSION_PATCH 0

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Named values. Every number below stays valid as a plain number; the names
 * say what it is and where it lives.
 */

/* Pixel formats of frames and of the image exports. */
enum {
    /* Bayer colour mosaic in GRBG order (even rows green, red; odd rows blue,
     * green), 2 bytes a pixel, little-endian, 10 significant bits. */
    RVX_FORMAT_BAYER_GRBG10 = 52,
    /* Monochrome, 1 byte a pixel. Every camera connection uses this format;
     * motion-mask frames are delivered in it too (0xFF moving, 0x00 still). */
    RVX_FORMAT_MONO8 = 53
};

/* Smart-motion items of rvx_SetSmartMotion / rvx_GetSmartMotion. "Camera"
 * items are sent to the camera over the command channel and need a video
 * connection (not a flash one); a setting is confirmed by reading it back
 * for up to 5 s. "Library" items live in this library, cost no traffic and
 * work on any connection; they are lost when the camera is disconnected. */
enum {
    /* Camera, on/off (0 or 1; other non-zero values switch on but never
     * confirm): the camera's own motion detection. */
    RVX_ITEM_CAMERA_MOTION = 101,
    /* Camera, on/off: the camera's alarm output. */
    RVX_ITEM_ALARM_OUTPUT = 102,
    /* Camera: the detection mode, one of RVX_MODE_*. Reads back as 1101 or
     * 1102. */
    RVX_ITEM_MODE = 103,
    /* Camera, set only (any value): switches the alarm output and the
     * camera's motion detection on together. */
    RVX_ITEM_MOTION_ALL_ON = 104,
    /* Camera, set only (any value): switches both off together. */
    RVX_ITEM_MOTION_ALL_OFF = 105,
    /* Camera, read only: the camera's internal sample rate. */
    RVX_ITEM_INTERNAL_SPS = 201,
    /* Camera, read only: a 16-bit status value, sign-extended. */
    RVX_ITEM_STATUS = 202,
    /* Camera: 32-bit parameters that the camera keeps and the library does
     * not interpret. */
    RVX_ITEM_PARAMETER_A = 203,
    RVX_ITEM_PARAMETER_B = 204,
    /* Camera, on/off: the camera sends motion masks instead of pictures. */
    RVX_ITEM_MASK_STREAM = 205,
    RVX_ITEM_PARAMETER_C = 206,
    /* Library: the smallest number of moving pixels that counts as an
     * object (2500 after connect). */
    RVX_ITEM_MIN_OBJECT_SIZE = 207,
    /* Library: which objects the display highlights, RVX_HIGHLIGHT_NONE,
     * RVX_HIGHLIGHT_ALL or n >= 1 for object n alone. */
    RVX_ITEM_HIGHLIGHT = 208,
    /* Library, set only: non-zero finds moving objects in motion masks
     * (off after connect). */
    RVX_ITEM_DETECT_OBJECTS = 209,
    /* Camera, set only (any value): two one-shot camera actions. */
    RVX_ITEM_CAMERA_ACTION_1 = 911,
    RVX_ITEM_CAMERA_ACTION_2 = 912
};

/* Values of RVX_ITEM_MODE. */
enum {
    RVX_MODE_FIRST = 1101,
    RVX_MODE_SECOND = 1102,
    /* A one-shot action, not confirmed by reading back. */
    RVX_MODE_ONE_SHOT = 1103
};

/* Values of RVX_ITEM_HIGHLIGHT. */
enum { RVX_HIGHLIGHT_NONE = -1, RVX_HIGHLIGHT_ALL = 0 };

/* Options of rvx_SetMiscOption (21 to 26) and rvx_GetMiscOption (27 to 30). */
enum {
    /* Camera: a round trip through both channels (command 256 answered on
     * the data channel); 1 when it completed within 5 s. */
    RVX_OPTION_ROUND_TRIP = 21,
    /* Library: draw the shown frame again. */
    RVX_OPTION_REDRAW = 22,
    /* Library: scroll offsets of the picture in the window, in pixels. */
    RVX_OPTION_SCROLL_X = 23,
    RVX_OPTION_SCROLL_Y = 24,
    /* Library: zoom factors, given as the bits of a 32-bit float
     * (1.0f is 0x3F800000). */
    RVX_OPTION_ZOOM_X = 25,
    RVX_OPTION_ZOOM_Y = 26,
    /* Library, read only: the display decimation steps, and the size of the
     * decimated picture (at most about 2048 a side). */
    RVX_OPTION_STEP_X = 27,
    RVX_OPTION_STEP_Y = 28,
    RVX_OPTION_DISPLAY_WIDTH = 29,
    RVX_OPTION_DISPLAY_HEIGHT = 30
};

/* Selectors of rvx_GetFPS. */
enum {
    RVX_FPS_RECEIVED = 41, /* frames received a second */
    RVX_FPS_DISPLAYED = 42 /* frames drawn a second */
};

/* Operations of rvx_FlashOperation, all in the camera's flash. */
enum {
    /* Read the device record into a buffer of RVX_FLASH_RECORD_SIZE. */
    RVX_FLASH_READ_RECORD = 61,
    /* Nothing; succeeds on a connected camera. */
    RVX_FLASH_NOTHING = 62,
    /* Rewrite the device record from a buffer of RVX_FLASH_RECORD_SIZE; the
     * camera keeps its own bytes 0-7 and 164-179. */
    RVX_FLASH_WRITE_RECORD = 921,
    /* Read area `length` (1 to 6) into a buffer of RVX_FLASH_AREA_SIZE. */
    RVX_FLASH_READ_AREA = 922,
    /* Write `length` bytes (1 to RVX_FLASH_MAX_WRITE) to areas 2 onward, one
     * area of RVX_FLASH_AREA_SIZE after the other. */
    RVX_FLASH_WRITE_AREAS = 923,
    /* Nothing; succeeds on a connected camera. */
    RVX_FLASH_NOTHING_TOO = 924
};

/* Sizes of the flash operations' buffers, in bytes. */
enum {
    RVX_FLASH_RECORD_SIZE = 372,
    RVX_FLASH_AREA_SIZE = 524288,
    RVX_FLASH_MAX_WRITE = 2621440
};

/* Native window handle, pointer-sized: an X11 window id on X11, the HWND
   on Windows. */
typedef uintptr_t RvxWindow;

/* One moving object of a motion-mask frame. 40 bytes, no gaps. */
typedef struct ObjectReport {
    int32_t label;      /* 1, 2, 3 ... in order of discovery in the frame */
    int32_t pixelCount; /* moving pixels of the object */
    double meanX;       /* mean column of the object's pixels */
    double meanY;       /* mean row of the object's pixels */
    int32_t minX;       /* bounding box, inclusive, in image pixels */
    int32_t minY;
    int32_t maxX;
    int32_t maxY;
} ObjectReport;

/*
 * Callbacks. All four run on the camera's receiver thread; a callback that
 * blocks stops reception for that camera. `handle` is the camera's handle.
 * `user` is the value given when the callback was set, passed back as is.
 * Do not disconnect a camera from a callback: the disconnect functions do
 * nothing when called on a receiver thread.
 */

/* A frame header announcing a complete frame arrived; `lines` is the line
 * count, clipped to the camera's height. Called before the frame's data. */
typedef void(RVX_CALL *RvxFrameCallback)(const char *handle, int32_t lines,
                                         int32_t user);

/* A frame completed. `pixels` (valid only during the call) holds
 * `pixelCount` pixels in `pixelFormat`, which is RVX_FORMAT_MONO8 for every
 * camera connection: one byte a pixel, rows one after the other. The frame
 * is at most the width x height given at connect; `pixelCount` is the
 * frame's width x lines, clipped to that size, so a camera that sends fewer
 * lines gives a smaller count. For a motion-mask frame it holds the decoded
 * mask, one byte a pixel, 0xFF moving, 0x00 still. */
typedef void(RVX_CALL *RvxStreamCallback)(const char *handle, uint8_t *pixels,
                                          int32_t pixelCount,
                                          int32_t pixelFormat, int32_t user);

/* An object of at least the minimum size was found; at most once a frame.
 * `mask` is the mask being labelled, valid only during the call. */
typedef void(RVX_CALL *RvxAlarmCallback)(const char *handle, uint8_t *mask,
                                         int32_t user);

/* A mask frame with `count` > 0 objects was published. `objects` is a copy
 * that the library frees when the callback returns. */
typedef void(RVX_CALL *RvxObjectsCallback)(const char *handle, int32_t count,
                                           ObjectReport *objects,
                                           int32_t user);

/* Why a camera was lost (the reason of RvxCameraLostCallback). */
enum {
    /* The data connection closed or failed, or stalled for 10 s in the
     * middle of a packet. */
    RVX_LOST_DATA_CONNECTION = 1,
    /* The camera announced a packet longer than any the library can take
     * (more than a frame for picture or mask data, more than 64 KiB for any
     * other packet), so the stream cannot be followed any more. */
    RVX_LOST_DATA_PROTOCOL = 2,
    /* The camera stopped answering on the command channel: 10 s without a
     * byte in the middle of a transaction. */
    RVX_LOST_COMMAND_TIMEOUT = 3,
    /* The command connection closed or failed. */
    RVX_LOST_COMMAND_CONNECTION = 4
};

/* The camera is lost (beyond the original interface, see
 * rvx_SetCallbackCameraLost): no more frames will arrive. `reason` is one of
 * RVX_LOST_*. Runs once for each loss, on the camera's receiver thread. */
typedef void(RVX_CALL *RvxCameraLostCallback)(const char *handle,
                                              int32_t reason, int32_t user);

/* ---- Connecting and disconnecting -------------------------------------- */

/*
 * Connect to the camera at `address` (dotted IPv4 text, or a host name that
 * resolves to IPv4) with display, without display, or for flash access only.
 * A width of 3 or less gives 640, a height of 0 or less gives 480; sizes
 * above 32767 are refused. Connecting an address that is already connected
 * returns the existing handle and changes nothing; while another thread
 * connects the same address, the call waits for that connect and returns
 * its result. Returns NULL on failure, after undoing everything the attempt
 * created. The handle stays valid until the camera is disconnected, and the
 * text it points at stays readable for as long as the library is loaded (it
 * then names whichever camera bears that name).
 */
RVX_API const char *RVX_CALL rvx_ConnectCameraDisplayA(const char *address,
                                                       int32_t width,
                                                       int32_t height);
RVX_API const char *RVX_CALL rvx_ConnectCameraDisplayW(const wchar_t *address,
                                                       int32_t width,
                                                       int32_t height);
RVX_API const char *RVX_CALL rvx_ConnectCameraNoDisplayA(const char *address,
                                                         int32_t width,
                                                         int32_t height);
RVX_API const char *RVX_CALL rvx_ConnectCameraNoDisplayW(
    const wchar_t *address, int32_t width, int32_t height);
RVX_API const char *RVX_CALL rvx_FlashConnectCameraA(const char *address);
RVX_API const char *RVX_CALL rvx_FlashConnectCameraW(const wchar_t *address);

/* Stop the stream if it runs, end the camera's threads and connections and
 * invalidate its handle (the text it points at stays readable). Does nothing
 * for an unknown handle, and nothing when called on a receiver thread (that
 * is, from a callback). When it returns, no callback of the camera runs any
 * more, except one that had been blocked for longer than 10 s. The
 * disconnect of all cameras also cancels connects still in progress on
 * other threads, which then return NULL. */
RVX_API void RVX_CALL rvx_DisconnectCamera(const char *handle);
RVX_API void RVX_CALL rvx_DisconnectAllCameras(void);

/* ---- Settings and flash ------------------------------------------------ */

/* Set or read a smart-motion item. Items 207 (minimum object size), 208
 * (highlight selection: -1 none, 0 all, n object n) and 209 (object
 * detection on or off) live in the library; the others are sent to the
 * camera and need a video connection. `valueOut` is written only on
 * success. */
RVX_API int32_t RVX_CALL rvx_SetSmartMotion(const char *handle, int32_t item,
                                            int32_t value);
RVX_API int32_t RVX_CALL rvx_GetSmartMotion(const char *handle, int32_t item,
                                            int32_t *valueOut);

/* Flash access. 61 reads the 372-byte device record into `buffer`; 921
 * rewrites it from `buffer` keeping the camera's bytes 0-7 and 164-179;
 * 922 reads area `length` (1 to 6) into a 524288-byte `buffer`; 923 writes
 * `length` bytes (1 to 2621440) to areas 2 onward; 62 and 924 do nothing.
 * `buffer` must not be NULL. */
RVX_API int32_t RVX_CALL rvx_FlashOperation(const char *handle,
                                            int32_t operation,
                                            uint8_t *buffer, int32_t length);

/* ---- Callbacks --------------------------------------------------------- */

/* Store `callback` (NULL removes it) and `user` in every camera whose
 * device name equals `handle`. May be called at any time. */
RVX_API void RVX_CALL rvx_SetCallbackAlarmSignal(const char *handle,
                                                 int32_t user,
                                                 RvxAlarmCallback callback);
RVX_API void RVX_CALL rvx_SetCallbackDetectObjectsReport(
    const char *handle, int32_t user, RvxObjectsCallback callback);
RVX_API void RVX_CALL rvx_SetCallbackReceivedOneFrame(
    const char *handle, int32_t user, RvxFrameCallback callback);

/*
 * Beyond the original interface (export ordinal 26, after the original 25):
 * store `callback` (NULL removes it) and `user` in every camera whose device
 * name equals `handle`; it runs once, on the camera's receiver thread, when
 * the camera is lost. A camera is lost when its data connection closes,
 * fails or breaks the protocol, or when its command channel times out or
 * closes. A lost camera delivers no more frames, rvx_GetFPS reads 0.0 for
 * it, and its handle stays valid until it is disconnected; connecting its
 * address again disconnects it and connects afresh. A loss that happened
 * before the callback was set is reported once it is set. Cameras connected
 * for flash access have no receiver thread and never call it.
 */
RVX_API void RVX_CALL rvx_SetCallbackCameraLost(const char *handle,
                                                int32_t user,
                                                RvxCameraLostCallback callback);

/* ---- Stream control ---------------------------------------------------- */

/* Start the stream into `window`. A NULL window sends nothing. A start
 * while streaming does nothing. Clears the stream callback. */
RVX_API void RVX_CALL rvx_StartVideoStream(const char *handle,
                                           RvxWindow window);
/* Start the stream with a raw-frame callback; a NULL window streams without
 * drawing. */
RVX_API void RVX_CALL rvx_StartVideoStream2(const char *handle,
                                            RvxWindow window,
                                            RvxStreamCallback callback,
                                            int32_t user);
/* Tell the camera to stop; the stream counts as stopped whatever it says,
 * and the call returns within 10 s. */
RVX_API void RVX_CALL rvx_StopVideoStream(const char *handle);

/* Options: 21 command 256 (waits up to 5 s for the camera's completion;
 * fails at once when called from one of the camera's own callbacks, whose
 * thread is the one that would receive the completion), 22 redraw, 23/24
 * scroll x/y in pixels, 25/26 zoom x/y given as the bits of a 32-bit float
 * (1.0 is 0x3F800000). */
RVX_API int32_t RVX_CALL rvx_SetMiscOption(const char *handle, int32_t option,
                                           int32_t value);
/* Options: 27/28 decimation step x/y, 29/30 decimated width/height. */
RVX_API int32_t RVX_CALL rvx_GetMiscOption(const char *handle, int32_t option,
                                           int32_t *result);
/* Selector 41: frames received a second, 42: frames drawn a second; 0.0
 * while the stream is stopped and for a lost camera. Frames that stop
 * arriving lower the rate at once: after s seconds without a frame (s above
 * 0.8) it reads at most 1/s. */
RVX_API int32_t RVX_CALL rvx_GetFPS(const char *handle, int32_t selector,
                                    double *result);

/* ---- Image export (no camera needed) ------------------------------------ */

/* Pixel formats: 52 Bayer GRBG, 2 bytes a pixel, 10 significant bits;
 * 53 monochrome, 1 byte a pixel. File names get ".raw" / ".bmp" appended
 * unless they already end so. A file that cannot be written completely
 * gives 0 and is not left behind. */
RVX_API int32_t RVX_CALL rvx_RawImageToRawFileA(const uint8_t *pixels,
                                                const char *fileName,
                                                int32_t width, int32_t height,
                                                int32_t pixelFormat);
RVX_API int32_t RVX_CALL rvx_RawImageToRawFileW(const uint8_t *pixels,
                                                const wchar_t *fileName,
                                                int32_t width, int32_t height,
                                                int32_t pixelFormat);
RVX_API int32_t RVX_CALL rvx_RawImageToBmpRGBFileA(const uint8_t *pixels,
                                                   const char *fileName,
                                                   int32_t width,
                                                   int32_t height,
                                                   int32_t pixelFormat);
RVX_API int32_t RVX_CALL rvx_RawImageToBmpRGBFileW(const uint8_t *pixels,
                                                   const wchar_t *fileName,
                                                   int32_t width,
                                                   int32_t height,
                                                   int32_t pixelFormat);
/* Convert into `destination`, which must hold width x height x bits / 8
 * bytes; bits is 16, 24 or 32. */
RVX_API int32_t RVX_CALL rvx_RawImageToBmpImage(const uint8_t *pixels,
                                                uint8_t *destination,
                                                int32_t width, int32_t height,
                                                int32_t bitsPerPixel,
                                                int32_t pixelFormat);

#ifdef __cplusplus
}
#endif

#endif /* QUORVEL_QUORVEL_H */
