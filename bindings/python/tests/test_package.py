"""What needs no camera: agreement with the header, loading, the queue and
image export."""

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import quorvel
from quorvel import _buffers, _native

HEADER = Path(__file__).resolve().parents[3] / "include" / "quorvel" / "quorvel.h"
PACKAGE_DIR = str(Path(quorvel.__file__).resolve().parents[1])


@pytest.mark.skipif(not HEADER.exists(), reason="not in the source tree")
def test_binding_matches_the_header():
    text = HEADER.read_text()
    version = ".".join(re.search(rf"QUORVEL_VERSION_{part} (\d+)", text).group(1)
                       for part in ("MAJOR", "MINOR", "PATCH"))
    assert quorvel.__version__ == version
    enums = {"FORMAT": quorvel.Format, "ITEM": quorvel.Item, "MODE": quorvel.Mode,
             "HIGHLIGHT": quorvel.Highlight, "OPTION": quorvel.Option,
             "FPS": quorvel.Fps, "FLASH": quorvel.FlashOp,
             "LOST": quorvel.LostReason}
    names = re.findall(r"\bRVX_([A-Z]+)_(\w+) = (-?\d+)", text)
    # Every named value on both sides: the enumerations and the 3 sizes.
    assert len(names) == sum(len(enum) for enum in enums.values()) + 3
    for group, name, number in names:
        if hasattr(quorvel, f"{group}_{name}"):  # the flash sizes
            assert getattr(quorvel, f"{group}_{name}") == int(number)
        else:
            assert enums[group][name] == int(number), (group, name)
    exports = set(re.findall(r"RVX_CALL\s*(rvx_\w+)\(", text))
    assert exports == set(_native._PROTOTYPES)


def test_missing_library_is_a_clear_error(tmp_path):
    script = ("import quorvel\ntry:\n    quorvel.Camera.connect('127.0.40.254')\n"
              "except quorvel.LibraryNotFoundError as error:\n    print(error)\n")
    environment = dict(os.environ, PYTHONPATH=PACKAGE_DIR,
                       QUORVEL_LIBRARY=str(tmp_path / "libquorvel.so.1"))
    output = subprocess.run([sys.executable, "-c", script], env=environment,
                            capture_output=True, text=True, timeout=60).stdout
    assert str(tmp_path / "libquorvel.so.1") in output


def test_queue_drops_the_oldest_entries():
    queue = quorvel.DropOldestQueue(3)
    for number in range(1, 6):
        queue.put(number)
    assert [queue.get(0), queue.get(0), queue.get(0)] == [3, 4, 5]
    assert (queue.dropped, queue.total) == (2, 5)
    with pytest.raises(quorvel.Timeout):
        queue.get(0.01)
    queue.put(6)
    queue.close()
    queue.put(7)
    assert queue.get(0) == 6
    with pytest.raises(quorvel.Closed):
        queue.get()


def test_export(library, tmp_path, monkeypatch):
    numpy = pytest.importorskip("numpy")
    frame = numpy.arange(480 * 640, dtype=numpy.uint32).astype(numpy.uint8).reshape(480, 640)
    quorvel.save_raw(frame, tmp_path / "frame")
    assert (tmp_path / "frame.raw").read_bytes() == frame.tobytes()
    quorvel.save_bmp(frame.tobytes(), os.fsencode(tmp_path / "frame"), 640, 480)
    assert (tmp_path / "frame.bmp").stat().st_size == 14 + 1064 + 640 * 480

    image = quorvel.to_bmp_image(frame, bits=32)
    assert image.shape == (480, 640, 4)
    assert (image[..., :3] == frame[..., None]).all() and not image[..., 3].any()
    assert quorvel.to_bmp_image(frame, bits=16).shape == (480, 640)
    bayer = numpy.full((4, 8), 1023, dtype="<u2")
    bayer_image = quorvel.to_bmp_image(bayer, 24, pixel_format=quorvel.Format.BAYER_GRBG10)
    assert bayer_image.shape == (4, 8, 3)

    with pytest.raises(ValueError, match="needs 307200 bytes"):
        quorvel.save_raw(frame[:100], tmp_path / "short", 640, 480)
    with pytest.raises(quorvel.Error):
        quorvel.save_raw(frame, "   ")  # a name the library refuses
    with pytest.raises(quorvel.Error):
        quorvel.save_bmp(frame, tmp_path / "missing" / "frame")
    monkeypatch.setattr(_buffers, "numpy", None)
    assert quorvel.to_bmp_image(frame, 24) == image[..., :3].tobytes()
