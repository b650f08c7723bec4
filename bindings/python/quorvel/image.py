"""Image export: frames to raw and BMP files, and conversion to 16-, 24- or
32-bit pixels. No camera is needed.

`pixels` is a frame as frames() delivers it (a numpy array or bytes) or any
contiguous buffer. A 2-D array gives the size itself; other buffers need
`width` and `height`. The size is checked against the buffer here, because
the library reads width x height pixels whatever it is handed.
"""

import os

from . import _buffers
from ._native import library
from .camera import MAX_SIDE
from .constants import Format
from .errors import Error

_BYTES_PER_PIXEL = {Format.BAYER_GRBG10: 2, Format.MONO8: 1}


def _frame(pixels, width, height, pixel_format):
    """(ctypes view of the pixels, width, height, format) after checking
    that the buffer holds the whole frame."""
    pixel_format = int(pixel_format)
    if pixel_format not in _BYTES_PER_PIXEL:
        raise ValueError(f"unknown pixel format {pixel_format}")
    itemsize = _BYTES_PER_PIXEL[pixel_format]
    pointer, size = _buffers.readable(pixels)
    shape = getattr(pixels, "shape", ())
    if width is None and height is None and len(shape) >= 2 and shape[0] > 0:
        height, width = shape[0], size // shape[0] // itemsize
    if width is None or height is None:
        raise ValueError("give width and height for a buffer without a 2-D shape")
    width, height = int(width), int(height)
    if not (1 <= width <= MAX_SIDE and 1 <= height <= MAX_SIDE):
        raise ValueError(f"size {width} x {height} is outside 1 to {MAX_SIDE} a side")
    if size < width * height * itemsize:
        raise ValueError(f"a {width} x {height} frame of format {pixel_format} "
                         f"needs {width * height * itemsize} bytes, the buffer has {size}")
    return pointer, width, height, pixel_format


def _save(narrow, wide, pixels, filename, width, height, pixel_format):
    pointer, width, height, pixel_format = _frame(pixels, width, height, pixel_format)
    name = os.fspath(filename)
    export = narrow if isinstance(name, bytes) else wide
    if not export(pointer, name, width, height, pixel_format):
        raise Error(f"{export.__name__} failed for {name!r} (a refused name, "
                    "or a file that could not be written; none is left behind)")


def save_raw(pixels, filename, width=None, height=None, pixel_format=Format.MONO8):
    """Writes the frame's bytes unchanged to `filename` (".raw" is appended
    unless the name ends so). A str or path name uses the library's wide
    form, bytes the narrow one. Raises Error when the file is not written."""
    lib = library()
    _save(lib.rvx_RawImageToRawFileA, lib.rvx_RawImageToRawFileW,
          pixels, filename, width, height, pixel_format)


def save_bmp(pixels, filename, width=None, height=None, pixel_format=Format.MONO8):
    """Writes the frame as a BMP file (8-bit grey for monochrome, 24-bit
    colour for Bayer; the width is cut to a multiple of 4) to `filename`,
    ".bmp" appended unless the name ends so. Raises Error on failure."""
    lib = library()
    _save(lib.rvx_RawImageToBmpRGBFileA, lib.rvx_RawImageToBmpRGBFileW,
          pixels, filename, width, height, pixel_format)


def to_bmp_image(pixels, bits=24, width=None, height=None, pixel_format=Format.MONO8):
    """The frame converted to `bits` (16, 24 or 32) a pixel, rows top-down.

    With numpy: 16 bits give a (height, width) uint16 array of 5-6-5
    values; 24 and 32 bits a (height, width, 3 or 4) uint8 array of blue,
    green, red (and 0). Without numpy: the bytes in that order.
    """
    if bits not in (16, 24, 32):
        raise ValueError(f"bits must be 16, 24 or 32, not {bits}")
    pointer, width, height, pixel_format = _frame(pixels, width, height, pixel_format)
    if bits == 16:
        image, destination = _buffers.new_image((height, width), 2)
    else:
        image, destination = _buffers.new_image((height, width, bits // 8), 1)
    if not library().rvx_RawImageToBmpImage(pointer, destination, width, height,
                                            bits, pixel_format):
        raise Error(f"rvx_RawImageToBmpImage failed for a {width} x {height} "
                    f"frame of format {pixel_format} at {bits} bits")
    return bytes(image) if isinstance(image, bytearray) else image
