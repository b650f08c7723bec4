"""Moving bytes between Python objects and the library's pointers.

Pixels come out as numpy arrays when numpy can be imported, else as bytes.
Buffers going in may be anything with the buffer protocol (bytes,
bytearray, memoryview, numpy arrays, array.array), as long as it is
contiguous; the size is always checked here, because the library cannot
check the size of a buffer it is handed.
"""

import ctypes

try:
    import numpy
except ImportError:  # numpy is optional: frames are bytes without it
    numpy = None

INT32_MIN, INT32_MAX = -(2 ** 31), 2 ** 31 - 1


def int32(value, what):
    """`value` as an int that fits int32; ctypes would silently wrap a larger
    one into a different number."""
    number = int(value)
    if not INT32_MIN <= number <= INT32_MAX:
        raise ValueError(f"{what} {value!r} does not fit a 32-bit integer")
    return number


def copy_pixels(address, shape, itemsize):
    """A copy of prod(shape) pixels of `itemsize` bytes at `address`: an
    array of `shape` (uint8, or little-endian uint16) with numpy, else
    bytes."""
    count = 1
    for extent in shape:
        count *= extent
    size = count * itemsize
    if numpy is None:
        return ctypes.string_at(address, size)
    array = numpy.empty(shape, dtype=numpy.uint8 if itemsize == 1 else "<u2")
    ctypes.memmove(array.ctypes.data, address, size)
    return array


def new_image(shape, itemsize):
    """A zeroed output image of `shape`: (array or bytearray, ctypes view of
    its bytes)."""
    count = 1
    for extent in shape:
        count *= extent
    if numpy is None:
        storage = bytearray(count * itemsize)
    else:
        storage = numpy.zeros(shape, dtype=numpy.uint8 if itemsize == 1 else "<u2")
    return storage, writable(storage)[0]


def _bytes_view(data):
    try:
        return memoryview(data).cast("B")
    except TypeError as error:
        raise ValueError(f"buffer must be contiguous bytes ({error})") from None


def readable(data):
    """(ctypes object over the bytes of `data`, size in bytes). A read-only
    object is copied, since ctypes shares only writable memory."""
    view = _bytes_view(data)
    array_type = ctypes.c_uint8 * view.nbytes
    if view.readonly:
        return array_type.from_buffer_copy(view), view.nbytes
    return array_type.from_buffer(view), view.nbytes


def writable(data):
    """(ctypes object sharing the bytes of `data`, size in bytes)."""
    view = _bytes_view(data)
    if view.readonly:
        raise ValueError("buffer must be writable (bytearray, numpy array, ...)")
    return (ctypes.c_uint8 * view.nbytes).from_buffer(view), view.nbytes
