"""The named values of the public C header, as Python enumerations.

Every function that takes one of these also takes the plain number, so a
value the header gains later can be used before this module names it.
"""

from enum import IntEnum


class Format(IntEnum):
    """Pixel formats of frames and of the image exports.

    BAYER_GRBG10: Bayer mosaic in GRBG order, 2 bytes a pixel, little-endian,
    10 significant bits. MONO8: monochrome, 1 byte a pixel; every camera
    connection delivers this format, motion masks included (0xFF moving).
    """

    BAYER_GRBG10 = 52
    MONO8 = 53


class Item(IntEnum):
    """Smart-motion items of Camera.set and Camera.get.

    Camera items travel over the command channel and need a video
    connection; a setting is confirmed by reading it back (up to 5 s).
    Library items (MIN_OBJECT_SIZE, HIGHLIGHT, DETECT_OBJECTS) cost no
    traffic and work on any connection.

    CAMERA_MOTION, ALARM_OUTPUT, MASK_STREAM: on/off (0 or 1). MODE: one of
    Mode. MOTION_ALL_ON / MOTION_ALL_OFF, CAMERA_ACTION_1 / _2: set only, any
    value. INTERNAL_SPS, STATUS: read only. PARAMETER_A / _B / _C: 32-bit
    values the camera keeps. MIN_OBJECT_SIZE: smallest moving pixel count
    that is an object (2500 after connect). HIGHLIGHT: Highlight or object
    number n >= 1. DETECT_OBJECTS: set only, non-zero finds objects in
    motion masks.
    """

    CAMERA_MOTION = 101
    ALARM_OUTPUT = 102
    MODE = 103
    MOTION_ALL_ON = 104
    MOTION_ALL_OFF = 105
    INTERNAL_SPS = 201
    STATUS = 202
    PARAMETER_A = 203
    PARAMETER_B = 204
    MASK_STREAM = 205
    PARAMETER_C = 206
    MIN_OBJECT_SIZE = 207
    HIGHLIGHT = 208
    DETECT_OBJECTS = 209
    CAMERA_ACTION_1 = 911
    CAMERA_ACTION_2 = 912


class Mode(IntEnum):
    """Values of Item.MODE; ONE_SHOT is an action that is not read back."""

    FIRST = 1101
    SECOND = 1102
    ONE_SHOT = 1103


class Highlight(IntEnum):
    """Values of Item.HIGHLIGHT besides an object number n >= 1."""

    NONE = -1
    ALL = 0


class Option(IntEnum):
    """Options of Camera.set_option (ROUND_TRIP to ZOOM_Y) and
    Camera.get_option (STEP_X to DISPLAY_HEIGHT).

    ROUND_TRIP: a command answered on the data channel within 5 s. REDRAW:
    draw the shown frame again. SCROLL_X / _Y: offsets in pixels. ZOOM_X /
    _Y: factors as the bits of a 32-bit float. STEP_X / _Y: display
    decimation steps; DISPLAY_WIDTH / _HEIGHT: the decimated size.
    """

    ROUND_TRIP = 21
    REDRAW = 22
    SCROLL_X = 23
    SCROLL_Y = 24
    ZOOM_X = 25
    ZOOM_Y = 26
    STEP_X = 27
    STEP_Y = 28
    DISPLAY_WIDTH = 29
    DISPLAY_HEIGHT = 30


class Fps(IntEnum):
    """Selectors of the frame rates: frames received, frames drawn."""

    RECEIVED = 41
    DISPLAYED = 42


class FlashOp(IntEnum):
    """Operations on the camera's flash (see Camera.flash_operation)."""

    READ_RECORD = 61
    NOTHING = 62
    WRITE_RECORD = 921
    READ_AREA = 922
    WRITE_AREAS = 923
    NOTHING_TOO = 924


class LostReason(IntEnum):
    """Why a camera was lost (CameraLost.reason)."""

    DATA_CONNECTION = 1
    DATA_PROTOCOL = 2
    COMMAND_TIMEOUT = 3
    COMMAND_CONNECTION = 4


FLASH_RECORD_SIZE = 372
"""Bytes of the camera's device record."""
FLASH_AREA_SIZE = 524288
"""Bytes of one flash area."""
FLASH_MAX_WRITE = 2621440
"""Most bytes one write to the areas can carry (five areas)."""
FLASH_AREAS = range(1, 7)
"""The area numbers that Camera.read_area accepts."""

ITEMS = {member.name.lower(): int(member) for member in Item}
"""Friendly item names ("min_object_size", ...) to the header's numbers."""

OPTIONS = {member.name.lower(): int(member) for member in Option}
"""Friendly option names ("zoom_x", ...) to the header's numbers."""


def _number(value, names, kind):
    """The number that `value` (a name, an enumeration member or a plain
    number) stands for."""
    if isinstance(value, str):
        try:
            return names[value.lower()]
        except KeyError:
            known = ", ".join(sorted(names))
            raise ValueError(f"unknown {kind} {value!r}; known: {known}") from None
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{kind} must be a name or a number, not {value!r}")
    return int(value)


def item_number(item):
    """The number of a smart-motion item given by name, Item or number."""
    return _number(item, ITEMS, "item")


def option_number(option):
    """The number of an option given by name, Option or number."""
    return _number(option, OPTIONS, "option")


def describe(enum, number):
    """`number` with its name, for messages: "207 (min_object_size)"."""
    try:
        return f"{number} ({enum(number).name.lower()})"
    except ValueError:
        return str(number)
