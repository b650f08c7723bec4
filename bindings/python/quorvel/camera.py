"""Camera: one connected camera, its settings, stream, events and flash."""

import atexit
import contextlib
import ctypes
import itertools
import logging
import os
import struct
import threading
from dataclasses import dataclass

from . import _buffers
from ._native import library, StreamCallback
from .constants import (FLASH_AREA_SIZE, FLASH_AREAS, FLASH_MAX_WRITE,
                        FLASH_RECORD_SIZE, FlashOp, Format, Fps, Item,
                        Option, describe, item_number, option_number)
from .errors import Closed, Error
from .events import EVENT_KINDS
from .queues import DropOldestQueue

_log = logging.getLogger(__name__)

MAX_SIDE = 32767
"""Largest width or height the library accepts."""

# Minimum buffer sizes of the flash operations (operations 62 and 924 only
# need a buffer to exist).
_FLASH_BUFFER = {FlashOp.READ_RECORD: FLASH_RECORD_SIZE,
                 FlashOp.WRITE_RECORD: FLASH_RECORD_SIZE,
                 FlashOp.READ_AREA: FLASH_AREA_SIZE}

# Open cameras by their callbacks' user value. The library's callbacks find
# their camera here, so one ctypes callback object per kind serves every
# camera and lives as long as the module: the library can never call a
# callback object that Python has already freed.
_open = {}
_open_lock = threading.Lock()
_user_values = itertools.count(1)
_UNSUBSCRIBED = object()


def _trampoline(kind):
    def deliver(_handle, *arguments):
        camera = _open.get(arguments[-1])
        if camera is not None:
            camera._deliver(kind, arguments[:-1])
    return EVENT_KINDS[kind].ctype(deliver)


def _stream(_handle, pixels, count, pixel_format, user):
    camera = _open.get(user)
    if camera is not None and pixels and count > 0:
        camera._frames.put(camera._copy_frame(pixels, count, pixel_format))


_TRAMPOLINES = {kind: _trampoline(kind) for kind in EVENT_KINDS}
_NO_CALLBACK = {kind: wiring.ctype() for kind, wiring in EVENT_KINDS.items()}
_STREAM = StreamCallback(_stream)


@dataclass(frozen=True)
class Decimation:
    """How the display thins the picture out: every step_x-th column and
    step_y-th row, giving width x height displayed pixels."""

    step_x: int
    step_y: int
    width: int
    height: int


def _text_call(text, narrow, wide, *arguments):
    """Calls the export's narrow (A) form for bytes and its wide (W) form for
    str or os.PathLike text."""
    text = os.fspath(text)
    if isinstance(text, bytes):
        return narrow(text, *arguments)
    return wide(text, *arguments)


class Camera:
    """A camera connected through the library; a context manager that
    disconnects on exit.

    Make one with Camera.connect (video, with or without display) or
    Camera.flash (flash access only). Frames arrive on the library's receiver
    thread and wait in a bounded queue that drops the oldest frame when full;
    take them with frames() or next_frame(). Alarms, object reports and frame
    announcements are events (see subscribe). Every method raises Error when
    the library reports failure, and after close().
    """

    def __init__(self, handle, address, kind, width, height, queue_size,
                 event_queue_size):
        """Internal: use Camera.connect or Camera.flash."""
        self._lib = library()
        self._handle = handle
        self.handle = handle.decode("ascii", "replace")
        """The camera's handle, its device name ("RVXOSTRL1[1]", ...)."""
        self.address = address
        """The address given at connect."""
        self.kind = kind
        """"display", "video" or "flash"."""
        self.width, self.height = width, height
        """The image size given at connect (640 x 480 for flash)."""
        self._frames = DropOldestQueue(queue_size, f"frame from {self.handle}")
        self._events = DropOldestQueue(event_queue_size, f"event from {self.handle}")
        self._handler_queue = DropOldestQueue(event_queue_size)
        self._handlers = {}
        self._dispatcher = None
        self._lines = 0
        self._shape = (height, width)
        self._started = False
        self._closed = False
        self._in_flight = 0
        self._state = threading.Condition()
        # The library serialises command-channel transactions too; the lock
        # keeps this object within the header's contract of one at a time.
        self._command_lock = threading.Lock()
        self._user = 0

    # ---- connecting ------------------------------------------------------

    @classmethod
    def connect(cls, address, width=640, height=480, display=False, *,
                queue_size=8, event_queue_size=64):
        """Connects to the camera at `address` (dotted IPv4 text or a host
        name; str uses the library's wide form, bytes the narrow one) for
        video at `width` x `height`.

        With `display`, the library's display thread draws into the window
        given to start(). `queue_size` frames wait for frames() before the
        oldest is dropped; `event_queue_size` likewise for events. Raises
        Error when the connection fails or when another open Camera already
        holds this camera (connecting twice gives the same camera).
        """
        # The library would quietly replace a width of 3 or less and a
        # height of 0 or less with its defaults; this object must know the
        # size it streams at.
        if not 4 <= int(width) <= MAX_SIDE or not 1 <= int(height) <= MAX_SIDE:
            raise ValueError(f"size {width} x {height}: width must be 4 to "
                             f"{MAX_SIDE}, height 1 to {MAX_SIDE}")
        if queue_size < 1 or event_queue_size < 1:
            raise ValueError("queue sizes must be at least 1")
        lib = library()
        if display:
            narrow, wide = lib.rvx_ConnectCameraDisplayA, lib.rvx_ConnectCameraDisplayW
        else:
            narrow, wide = lib.rvx_ConnectCameraNoDisplayA, lib.rvx_ConnectCameraNoDisplayW
        handle = _text_call(address, narrow, wide, int(width), int(height))
        if not handle:
            raise Error(f"cannot connect to the camera at {address!r} "
                        "(no camera answering there, or a refused size)")
        return cls._adopt(handle, address, "display" if display else "video",
                          int(width), int(height), queue_size, event_queue_size)

    @classmethod
    def flash(cls, address):
        """Connects to the camera at `address` for flash access only: no
        video, no camera-side settings. Raises Error on failure."""
        lib = library()
        handle = _text_call(address, lib.rvx_FlashConnectCameraA,
                            lib.rvx_FlashConnectCameraW)
        if not handle:
            raise Error(f"cannot connect to the camera at {address!r} for flash access")
        return cls._adopt(handle, address, "flash", 640, 480, 1, 1)

    @classmethod
    def _adopt(cls, handle, address, kind, width, height, queue_size,
               event_queue_size):
        camera = cls(handle, address, kind, width, height, queue_size,
                     event_queue_size)
        with _open_lock:
            if any(other._handle == handle for other in _open.values()):
                # The library returned the camera it already had: leave it
                # to the object that owns it.
                raise Error(f"the camera at {address!r} is already open as "
                            f"{camera.handle}; close that Camera first")
            user = next(_user_values) & 0x7FFFFFFF
            while user == 0 or user in _open:
                user = next(_user_values) & 0x7FFFFFFF
            camera._user = user
            _open[user] = camera
        if kind != "flash":
            for name, wiring in EVENT_KINDS.items():
                if wiring.always:
                    getattr(camera._lib, wiring.setter)(handle, user, _TRAMPOLINES[name])
        return camera

    def close(self):
        """Stops the stream, removes the callbacks and disconnects. Waits
        for calls in progress on other threads; frames() and events() then
        end. Closing twice does nothing."""
        with self._state:
            if self._closed:
                return
            self._closed = True
            self._state.wait_for(lambda: self._in_flight == 0)
        with _open_lock:
            _open.pop(self._user, None)
        lib, handle = self._lib, self._handle
        if self._started:
            with self._command_lock:
                lib.rvx_StopVideoStream(handle)
        if self.kind != "flash":
            for name, wiring in EVENT_KINDS.items():
                getattr(lib, wiring.setter)(handle, 0, _NO_CALLBACK[name])
        lib.rvx_DisconnectCamera(handle)
        for queue in (self._frames, self._events, self._handler_queue):
            queue.close()
        dispatcher = self._dispatcher
        if dispatcher is not None and dispatcher is not threading.current_thread():
            dispatcher.join(timeout=10)

    def __enter__(self):
        return self

    def __exit__(self, *_exception):
        self.close()

    def __repr__(self):
        state = "closed" if self._closed else "open"
        return f"<quorvel.Camera {self.handle} {self.kind} {self.address!r} {state}>"

    @property
    def closed(self):
        """True once close() ran."""
        return self._closed

    @contextlib.contextmanager
    def _using(self, video=False, command=False):
        """Holds the camera open for one library call; yields the handle."""
        with self._state:
            if self._closed:
                raise Error(f"camera {self.handle} is closed")
            if video and self.kind == "flash":
                raise Error(f"camera {self.handle} is connected for flash "
                            "access only; use Camera.connect for video")
            self._in_flight += 1
        try:
            if command:
                with self._command_lock:
                    yield self._handle
            else:
                yield self._handle
        finally:
            with self._state:
                self._in_flight -= 1
                self._state.notify_all()

    def _check(self, result, call, detail):
        if not result:
            raise Error(f"{call} failed on {self.handle}: {detail}")

    # ---- settings --------------------------------------------------------

    def set(self, item, value):
        """Sets a smart-motion item, given by name ("min_object_size"), Item
        or number, to an int32 `value` (bools count as 0 and 1). Camera items
        are confirmed by reading them back, which takes at least 200 ms."""
        number = item_number(item)
        value = _buffers.int32(value, "value")
        camera_side = number not in (Item.MIN_OBJECT_SIZE, Item.HIGHLIGHT,
                                     Item.DETECT_OBJECTS)
        with self._using(command=camera_side) as handle:
            result = self._lib.rvx_SetSmartMotion(handle, number, value)
        self._check(result, "rvx_SetSmartMotion", f"item {describe(Item, number)} = {value}"
                    " (refused, not confirmed, or a camera item on a flash connection)")

    def get(self, item):
        """Reads a smart-motion item given by name, Item or number."""
        number = item_number(item)
        out = ctypes.c_int32()
        with self._using(command=True) as handle:
            result = self._lib.rvx_GetSmartMotion(handle, number, ctypes.byref(out))
        self._check(result, "rvx_GetSmartMotion", f"item {describe(Item, number)}"
                    " (set-only item, failed query, or a camera item on a flash connection)")
        return out.value

    # ---- stream ----------------------------------------------------------

    def start(self, window=0, frames=True):
        """Starts the stream, drawing into `window` (a native window id, 0 for
        none) on a display connection.

        With `frames` (the default), every frame is also copied into the
        frame queue. frames=False draws only and needs a window. The library
        reports no result for a start; frames arriving confirm it. A start
        while streaming does nothing.
        """
        window = int(window or 0)
        if window < 0:
            raise ValueError(f"window {window} is not a window id")
        if not frames and not window:
            raise ValueError("a stream without frames needs a window to draw into")
        with self._using(video=True, command=True) as handle:
            self._started = True
            if frames:
                self._lib.rvx_StartVideoStream2(handle, window or None, _STREAM, self._user)
            else:
                self._lib.rvx_StartVideoStream(handle, window)

    def stop(self):
        """Tells the camera to stop sending; frames already queued stay."""
        with self._using(video=True, command=True) as handle:
            self._lib.rvx_StopVideoStream(handle)
            self._started = False

    def next_frame(self, timeout=None):
        """The oldest queued frame, waiting up to `timeout` seconds: a numpy
        array (lines x width, uint8) with numpy, else bytes. Raises Timeout,
        or Closed once the camera is closed and the queue empty."""
        return self._frames.get(timeout)

    def frames(self, timeout=None):
        """Iterates over frames as they arrive (see next_frame); raises
        Timeout when no frame comes within `timeout` seconds, and ends when
        the camera is closed or lost."""
        while True:
            try:
                yield self._frames.get(timeout)
            except Closed:
                return

    @property
    def dropped_frames(self):
        """Frames dropped because the queue was full (the oldest go first)."""
        return self._frames.dropped

    @property
    def frame_count(self):
        """Frames received since connect, dropped ones included."""
        return self._frames.total

    def _copy_frame(self, pixels, count, pixel_format):
        # Receiver thread: nothing here but arithmetic and one copy.
        lines = self._lines
        if 0 < lines and count % lines == 0:
            shape = (lines, count // lines)
        elif count % self.width == 0:
            shape = (count // self.width, self.width)
        else:
            shape = (count,)
        self._shape = shape
        itemsize = 2 if pixel_format == Format.BAYER_GRBG10 else 1
        return _buffers.copy_pixels(pixels, shape, itemsize)

    def _copy_mask(self, mask):
        # The mask lives in a frame buffer of at least width x height bytes,
        # and the last frame's shape is never larger.
        return _buffers.copy_pixels(mask, self._shape, 1) if mask else None

    # ---- events ----------------------------------------------------------

    def subscribe(self, kind, handler=None):
        """Receives events of `kind`: "alarm" (AlarmEvent), "objects"
        (ObjectsEvent) or "frame" (FrameAnnounced).

        Without `handler` the events wait in the event queue (next_event,
        events). With one, handler(event) runs on a thread of the binding,
        never on the library's receiver thread, so a slow handler delays
        only later events. Subscribing again replaces the handler.
        """
        wiring = self._event_kind(kind)
        with self._using(video=True) as handle:
            self._handlers[kind] = handler
            if handler is not None:
                self._start_dispatcher()
            if not wiring.always:
                getattr(self._lib, wiring.setter)(handle, self._user, _TRAMPOLINES[kind])

    def unsubscribe(self, kind):
        """Stops events of `kind`; those already queued stay."""
        wiring = self._event_kind(kind)
        with self._using(video=True) as handle:
            self._handlers.pop(kind, None)
            if not wiring.always:
                getattr(self._lib, wiring.setter)(handle, self._user, _NO_CALLBACK[kind])

    def next_event(self, timeout=None):
        """The oldest queued event, waiting up to `timeout` seconds; raises
        Timeout, or Closed once the camera is closed and the queue empty."""
        return self._events.get(timeout)

    def events(self, timeout=None):
        """Iterates over queued events (see next_event); ends at close."""
        while True:
            try:
                yield self._events.get(timeout)
            except Closed:
                return

    @property
    def dropped_events(self):
        """Events dropped because their queue was full."""
        return self._events.dropped + self._handler_queue.dropped

    @staticmethod
    def _event_kind(kind):
        try:
            return EVENT_KINDS[kind]
        except KeyError:
            raise ValueError(f"unknown event kind {kind!r}; known: "
                             f"{', '.join(EVENT_KINDS)}") from None

    def _deliver(self, kind, arguments):
        # Receiver thread: build the event (a copy) and queue it.
        if kind == "frame":
            self._lines = arguments[0]
        elif kind == "lost":
            self._frames.close()
        handler = self._handlers.get(kind, _UNSUBSCRIBED)
        if handler is _UNSUBSCRIBED:
            return
        event = EVENT_KINDS[kind].build(self, *arguments)
        (self._events if handler is None else self._handler_queue).put(event)

    def _start_dispatcher(self):
        if self._dispatcher is None:
            self._dispatcher = threading.Thread(
                target=self._dispatch, name=f"quorvel-events {self.handle}", daemon=True)
            self._dispatcher.start()

    def _dispatch(self):
        while True:
            try:
                event = self._handler_queue.get()
            except Closed:
                return
            handler = self._handlers.get(event.kind)
            if handler is None:
                self._events.put(event)  # unsubscribed from the handler meanwhile
                continue
            try:
                handler(event)
            except Exception:  # a handler's fault must not end the thread
                _log.exception("quorvel event handler for %r failed", event.kind)

    # ---- rates and display options -----------------------------------------

    def _rate(self, selector):
        out = ctypes.c_double()
        with self._using() as handle:
            result = self._lib.rvx_GetFPS(handle, selector, ctypes.byref(out))
        self._check(result, "rvx_GetFPS", f"selector {selector}")
        return out.value

    @property
    def fps_received(self):
        """Frames received a second (0.0 while stopped)."""
        return self._rate(Fps.RECEIVED)

    @property
    def fps_displayed(self):
        """Frames drawn a second (0.0 while stopped or without display)."""
        return self._rate(Fps.DISPLAYED)

    def set_option(self, option, value):
        """Sets a display option given by name ("scroll_x"), Option or number
        to an int32 `value`."""
        number = option_number(option)
        value = _buffers.int32(value, "value")
        with self._using(command=number == Option.ROUND_TRIP) as handle:
            result = self._lib.rvx_SetMiscOption(handle, number, value)
        self._check(result, "rvx_SetMiscOption",
                    f"option {describe(Option, number)} = {value}")

    def get_option(self, option):
        """Reads a display option given by name ("step_x"), Option or number."""
        number = option_number(option)
        out = ctypes.c_int32()
        with self._using() as handle:
            result = self._lib.rvx_GetMiscOption(handle, number, ctypes.byref(out))
        self._check(result, "rvx_GetMiscOption", f"option {describe(Option, number)}")
        return out.value

    def scroll(self, x, y):
        """Scrolls the picture in the window to offsets `x`, `y` pixels."""
        self.set_option(Option.SCROLL_X, x)
        self.set_option(Option.SCROLL_Y, y)

    def zoom(self, x, y=None):
        """Zooms the picture by factors `x` and `y` (default: `x`)."""
        for option, factor in ((Option.ZOOM_X, x), (Option.ZOOM_Y, x if y is None else y)):
            bits = struct.unpack("<i", struct.pack("<f", float(factor)))[0]
            self.set_option(option, bits)

    def redraw(self):
        """Draws the shown frame again."""
        self.set_option(Option.REDRAW, 0)

    def round_trip(self):
        """Sends a command that the camera answers on the data channel;
        raises Error unless the answer arrives within 5 s."""
        self.set_option(Option.ROUND_TRIP, 0)

    @property
    def decimation(self):
        """The display's decimation steps and decimated size (Decimation)."""
        return Decimation(*(self.get_option(option) for option in (
            Option.STEP_X, Option.STEP_Y, Option.DISPLAY_WIDTH, Option.DISPLAY_HEIGHT)))

    # ---- flash -------------------------------------------------------------

    def flash_operation(self, operation, buffer, length=0):
        """Runs a flash operation (FlashOp or number) on `buffer`, a writable
        buffer (bytearray, numpy array, ...) of at least the size the
        operation needs; `length` is the area number of READ_AREA and the
        byte count of WRITE_AREAS. Prefer the methods below."""
        operation = int(operation)
        length = _buffers.int32(length, "length")
        pointer, size = _buffers.writable(buffer)
        if operation == FlashOp.WRITE_AREAS:
            needed = length
        else:
            needed = _FLASH_BUFFER.get(operation, 1)
        if size < max(needed, 1):
            raise ValueError(f"flash operation {operation} needs a buffer of "
                             f"{max(needed, 1)} bytes, not {size}")
        with self._using(command=True) as handle:
            result = self._lib.rvx_FlashOperation(handle, operation, pointer, length)
        self._check(result, "rvx_FlashOperation",
                    f"operation {describe(FlashOp, operation)}, length {length}")

    def read_record(self):
        """The camera's device record, FLASH_RECORD_SIZE bytes. A camera that
        sends fewer leaves the rest zero."""
        record = bytearray(FLASH_RECORD_SIZE)
        self.flash_operation(FlashOp.READ_RECORD, record)
        return bytes(record)

    def write_record(self, record):
        """Rewrites the device record from FLASH_RECORD_SIZE bytes; the camera
        keeps its own bytes 0-7 and 164-179."""
        if len(record) != FLASH_RECORD_SIZE:
            raise ValueError(f"a device record has {FLASH_RECORD_SIZE} bytes, "
                             f"not {len(record)}")
        self.flash_operation(FlashOp.WRITE_RECORD, bytearray(record))

    def read_area(self, area):
        """Flash area `area` (1 to 6), FLASH_AREA_SIZE bytes."""
        if area not in FLASH_AREAS:
            raise ValueError(f"flash area {area} is not one of 1 to 6")
        data = bytearray(FLASH_AREA_SIZE)
        self.flash_operation(FlashOp.READ_AREA, data, area)
        return bytes(data)

    def write_areas(self, data):
        """Writes `data` (1 to FLASH_MAX_WRITE bytes) to areas 2 onward, one
        area of FLASH_AREA_SIZE after the other."""
        data = bytearray(data)
        if not 1 <= len(data) <= FLASH_MAX_WRITE:
            raise ValueError(f"a flash write takes 1 to {FLASH_MAX_WRITE} bytes, "
                             f"not {len(data)}")
        self.flash_operation(FlashOp.WRITE_AREAS, data, len(data))


def disconnect_all():
    """Closes every open Camera, then disconnects any camera the library
    still holds (connected by other code in this process)."""
    with _open_lock:
        cameras = list(_open.values())
    for camera in cameras:
        camera.close()
    library().rvx_DisconnectAllCameras()


@atexit.register
def _close_at_exit():
    # No receiver thread may call into an interpreter that is shutting down.
    with _open_lock:
        cameras = list(_open.values())
    for camera in cameras:
        try:
            camera.close()
        except Exception:  # exit goes on whatever one camera does
            _log.exception("closing %r at exit failed", camera)
