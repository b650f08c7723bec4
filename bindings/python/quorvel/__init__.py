"""quorvel: Python binding of the quorvel camera client library.

Pure ctypes over libquorvel.so.1, found at QUORVEL_LIBRARY or by the system
loader (see load_library). Connect with Camera.connect(address) or
Camera.flash(address); frames come as numpy arrays when numpy is installed,
else as bytes.

    with quorvel.Camera.connect("127.0.0.1") as camera:
        camera.start()
        for frame in camera.frames(timeout=10):
            print(frame.shape)
            break
"""

from ._native import load_library
from ._version import __version__
from .camera import Camera, Decimation, disconnect_all
from .constants import (FLASH_AREA_SIZE, FLASH_AREAS, FLASH_MAX_WRITE,
                        FLASH_RECORD_SIZE, ITEMS, OPTIONS, FlashOp, Format,
                        Fps, Highlight, Item, LostReason, Mode, Option)
from .errors import Closed, Error, LibraryNotFoundError, Timeout
from .events import (AlarmEvent, CameraLost, Event, FrameAnnounced,
                     ObjectReport, ObjectsEvent)
from .image import save_bmp, save_raw, to_bmp_image
from .queues import DropOldestQueue

__all__ = [
    "AlarmEvent", "Camera", "CameraLost", "Closed", "Decimation", "DropOldestQueue",
    "Error", "Event", "FLASH_AREAS", "FLASH_AREA_SIZE", "FLASH_MAX_WRITE",
    "FLASH_RECORD_SIZE", "FlashOp", "Format", "Fps", "FrameAnnounced",
    "Highlight", "ITEMS", "Item", "LibraryNotFoundError", "LostReason", "Mode", "OPTIONS",
    "ObjectReport", "ObjectsEvent", "Option", "Timeout", "__version__",
    "disconnect_all", "load_library", "save_bmp", "save_raw", "to_bmp_image",
]
