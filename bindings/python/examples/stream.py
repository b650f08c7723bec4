"""Connect to a camera, stream, print a few frames' shapes and the rates.

    QUORVEL_LIBRARY=build/default/library/libquorvel.so.1 \
        python3 bindings/python/examples/stream.py 127.0.0.1
"""

import sys
import time

import quorvel

address = sys.argv[1] if len(sys.argv) > 1 else "127.0.0.1"

with quorvel.Camera.connect(address, width=640, height=480) as camera:
    camera.start()
    frames = camera.frames(timeout=10)
    for number in range(1, 6):
        frame = next(frames)
        print(f"frame {number}: {getattr(frame, 'shape', len(frame))}")
    # The rates are measured over 0.8 s windows: stream two seconds more.
    until = time.monotonic() + 2
    while time.monotonic() < until:
        next(frames)
    if camera.fps_received == 0.0:
        sys.exit("no frame rate measured")
    print(f"received {camera.fps_received:.1f} frames/s, "
          f"displayed {camera.fps_displayed:.1f} frames/s, "
          f"{camera.frame_count} frames, {camera.dropped_frames} dropped")
    camera.stop()
