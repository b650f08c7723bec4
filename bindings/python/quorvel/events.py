"""Events a camera reports besides frames, and how each reaches Python.

Every kind of event has one library callback. The binding's callback runs on
the camera's receiver thread and does no more than copy what the library
lent it into an event object; Camera queues the event, or hands it to a
handler on a thread of the binding's own. A new kind of callback is one
entry in EVENT_KINDS: its setter export, its ctypes type, and a builder.
"""

import time
from dataclasses import dataclass
from typing import Any, Callable, ClassVar, Tuple

from . import _native


@dataclass(frozen=True)
class ObjectReport:
    """One moving object of a motion-mask frame.

    label: 1, 2, 3 ... in order of discovery in the frame; pixel_count: its
    moving pixels; mean_x, mean_y: the mean column and row of those pixels;
    min_x, min_y, max_x, max_y: the bounding box, inclusive, in image pixels.
    """

    label: int
    pixel_count: int
    mean_x: float
    mean_y: float
    min_x: int
    min_y: int
    max_x: int
    max_y: int


@dataclass(frozen=True)
class Event:
    """What every event carries: the camera's handle, and time.monotonic()
    when the library reported it. `kind` names the subscription."""

    kind: ClassVar[str] = ""
    handle: str
    time: float


@dataclass(frozen=True)
class FrameAnnounced(Event):
    """A frame header announced a complete frame of `lines` lines (clipped to
    the camera's height); its pixels follow."""

    kind: ClassVar[str] = "frame"
    lines: int


@dataclass(frozen=True)
class AlarmEvent(Event):
    """Motion detection found an object of at least the minimum size (at
    most once a frame). `mask` is a copy of the mask being labelled (0xFF
    moving, 0x00 still), shaped like the frames."""

    kind: ClassVar[str] = "alarm"
    mask: Any


@dataclass(frozen=True)
class ObjectsEvent(Event):
    """A motion-mask frame with at least one object was published; `objects`
    are its ObjectReports in label order."""

    kind: ClassVar[str] = "objects"
    objects: Tuple[ObjectReport, ...]


@dataclass(frozen=True)
class CameraLost(Event):
    """The camera is lost: no more frames will come, and frames() ends.
    `reason` is a LostReason. Connecting the address again connects
    afresh."""

    kind: ClassVar[str] = "lost"
    reason: int


def _frame(camera, lines):
    return FrameAnnounced(camera.handle, time.monotonic(), lines)


def _alarm(camera, mask):
    return AlarmEvent(camera.handle, time.monotonic(), camera._copy_mask(mask))


def _lost(camera, reason):
    return CameraLost(camera.handle, time.monotonic(), reason)


def _objects(camera, count, reports):
    objects = tuple(
        ObjectReport(r.label, r.pixelCount, r.meanX, r.meanY,
                     r.minX, r.minY, r.maxX, r.maxY)
        for r in reports[:max(count, 0)]) if reports else ()
    return ObjectsEvent(camera.handle, time.monotonic(), objects)


@dataclass(frozen=True)
class EventKind:
    """How one kind of event is wired: the export that sets its callback,
    the callback's ctypes type, and the builder that turns the callback's
    arguments (without handle and user value) into an event. A kind that is
    `always` set has its callback stored at connect, because the binding
    itself needs it; the others only while subscribed."""

    setter: str
    ctype: type
    build: Callable
    always: bool = False


EVENT_KINDS = {
    # The frame header tells the line count, from which a narrower frame's
    # shape follows; the binding reads it whether or not anyone subscribed.
    "frame": EventKind("rvx_SetCallbackReceivedOneFrame",
                       _native.FrameCallback, _frame, always=True),
    "alarm": EventKind("rvx_SetCallbackAlarmSignal",
                       _native.AlarmCallback, _alarm),
    "objects": EventKind("rvx_SetCallbackDetectObjectsReport",
                         _native.ObjectsCallback, _objects),
    # Always set: a lost camera ends the frame iterator.
    "lost": EventKind("rvx_SetCallbackCameraLost",
                      _native.CameraLostCallback, _lost, always=True),
}
