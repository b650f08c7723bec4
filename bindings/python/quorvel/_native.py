"""Loading the shared library and declaring the C signatures of its exports.

The library is found at an explicit path (load_library's argument, else the
QUORVEL_LIBRARY environment variable) or, without one, by the system loader
under its soname. It is loaded on first use, so `import quorvel` works on a
machine without it.
"""

import ctypes
import os
import sys
import threading

from .errors import Error, LibraryNotFoundError

ENVIRONMENT_VARIABLE = "QUORVEL_LIBRARY"

if sys.platform == "win32":
    SONAME = "quorvel.dll"
elif sys.platform == "darwin":
    SONAME = "libquorvel.1.dylib"
else:
    SONAME = "libquorvel.so.1"

# RVX_CALL is __stdcall on 32-bit Windows and the C convention elsewhere.
if sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4:
    _Loader, _FunctionType = ctypes.WinDLL, ctypes.WINFUNCTYPE
else:
    _Loader, _FunctionType = ctypes.CDLL, ctypes.CFUNCTYPE

c_int32, c_double, c_void_p = ctypes.c_int32, ctypes.c_double, ctypes.c_void_p
c_char_p, c_wchar_p = ctypes.c_char_p, ctypes.c_wchar_p


class ObjectReportStruct(ctypes.Structure):
    """The C layout of ObjectReport: 40 bytes, no gaps."""

    _fields_ = [("label", c_int32), ("pixelCount", c_int32),
                ("meanX", c_double), ("meanY", c_double),
                ("minX", c_int32), ("minY", c_int32),
                ("maxX", c_int32), ("maxY", c_int32)]


assert ctypes.sizeof(ObjectReportStruct) == 40

# Callback types. The handle arrives as a plain pointer: the binding finds
# its camera by the user value, and converting the text on every frame would
# only cost time on the receiver thread.
FrameCallback = _FunctionType(None, c_void_p, c_int32, c_int32)
StreamCallback = _FunctionType(None, c_void_p, c_void_p, c_int32, c_int32,
                               c_int32)
AlarmCallback = _FunctionType(None, c_void_p, c_void_p, c_int32)
ObjectsCallback = _FunctionType(None, c_void_p, c_int32,
                                ctypes.POINTER(ObjectReportStruct), c_int32)
CameraLostCallback = _FunctionType(None, c_void_p, c_int32, c_int32)

_INT_OUT = ctypes.POINTER(c_int32)
_DOUBLE_OUT = ctypes.POINTER(c_double)

# name: (result type, argument types), in the header's order. Handles are
# passed as bytes; RvxWindow (uintptr_t) as an integer address.
_PROTOTYPES = {
    "rvx_ConnectCameraDisplayA": (c_char_p, [c_char_p, c_int32, c_int32]),
    "rvx_ConnectCameraDisplayW": (c_char_p, [c_wchar_p, c_int32, c_int32]),
    "rvx_ConnectCameraNoDisplayA": (c_char_p, [c_char_p, c_int32, c_int32]),
    "rvx_ConnectCameraNoDisplayW": (c_char_p, [c_wchar_p, c_int32, c_int32]),
    "rvx_FlashConnectCameraA": (c_char_p, [c_char_p]),
    "rvx_FlashConnectCameraW": (c_char_p, [c_wchar_p]),
    "rvx_DisconnectCamera": (None, [c_char_p]),
    "rvx_DisconnectAllCameras": (None, []),
    "rvx_SetSmartMotion": (c_int32, [c_char_p, c_int32, c_int32]),
    "rvx_GetSmartMotion": (c_int32, [c_char_p, c_int32, _INT_OUT]),
    "rvx_FlashOperation": (c_int32, [c_char_p, c_int32, c_void_p, c_int32]),
    "rvx_SetCallbackAlarmSignal": (None, [c_char_p, c_int32, AlarmCallback]),
    "rvx_SetCallbackDetectObjectsReport":
        (None, [c_char_p, c_int32, ObjectsCallback]),
    "rvx_SetCallbackReceivedOneFrame":
        (None, [c_char_p, c_int32, FrameCallback]),
    "rvx_SetCallbackCameraLost":
        (None, [c_char_p, c_int32, CameraLostCallback]),
    "rvx_StartVideoStream": (None, [c_char_p, c_void_p]),
    "rvx_StartVideoStream2":
        (None, [c_char_p, c_void_p, StreamCallback, c_int32]),
    "rvx_StopVideoStream": (None, [c_char_p]),
    "rvx_SetMiscOption": (c_int32, [c_char_p, c_int32, c_int32]),
    "rvx_GetMiscOption": (c_int32, [c_char_p, c_int32, _INT_OUT]),
    "rvx_GetFPS": (c_int32, [c_char_p, c_int32, _DOUBLE_OUT]),
    "rvx_RawImageToRawFileA":
        (c_int32, [c_void_p, c_char_p, c_int32, c_int32, c_int32]),
    "rvx_RawImageToRawFileW":
        (c_int32, [c_void_p, c_wchar_p, c_int32, c_int32, c_int32]),
    "rvx_RawImageToBmpRGBFileA":
        (c_int32, [c_void_p, c_char_p, c_int32, c_int32, c_int32]),
    "rvx_RawImageToBmpRGBFileW":
        (c_int32, [c_void_p, c_wchar_p, c_int32, c_int32, c_int32]),
    "rvx_RawImageToBmpImage":
        (c_int32, [c_void_p, c_void_p, c_int32, c_int32, c_int32, c_int32]),
}


class Library:
    """The loaded shared library; each export is an attribute with its C
    signature declared."""

    def __init__(self, path):
        self.path = path
        try:
            dll = _Loader(path)
        except OSError as error:
            if path == SONAME:
                where = (f"the system loader found no {SONAME}; install the "
                         f"library or set {ENVIRONMENT_VARIABLE} to its path")
            else:
                where = f"cannot load {path!r}"
            raise LibraryNotFoundError(f"quorvel library: {where} ({error})") from None
        for name, (result, arguments) in _PROTOTYPES.items():
            try:
                function = getattr(dll, name)
            except AttributeError:
                raise LibraryNotFoundError(
                    f"{path!r} lacks the export {name}: not a quorvel library, "
                    "or an older one") from None
            function.restype = result
            function.argtypes = arguments
            setattr(self, name, function)
        self._dll = dll


_lock = threading.Lock()
_loaded = None


def load_library(path=None):
    """Loads the quorvel shared library and returns it.

    `path` is the library file; without it, QUORVEL_LIBRARY names it, and
    without that the system loader looks for libquorvel.so.1. Called again,
    it returns the library already loaded; a different path then is an
    Error, because cameras connected through one copy of the library are
    unknown to another. Raises LibraryNotFoundError when nothing loads.
    """
    global _loaded
    path = os.fspath(path) if path is not None else None
    path = path or os.environ.get(ENVIRONMENT_VARIABLE) or SONAME
    with _lock:
        if _loaded is not None:
            if path not in (_loaded.path, SONAME) and not _same_file(path, _loaded.path):
                raise Error(f"quorvel library already loaded from {_loaded.path!r}; "
                            f"cannot switch to {path!r}")
            return _loaded
        _loaded = Library(path)
        return _loaded


def library():
    """The loaded library, loading it on first use."""
    return _loaded if _loaded is not None else load_library()


def _same_file(first, second):
    try:
        return os.path.samefile(first, second)
    except OSError:
        return False
