"""The binding against simulated cameras, one address per test."""

import threading

import pytest

import quorvel
from quorvel import _buffers


@pytest.mark.parametrize("address, with_numpy", [("127.0.40.1", True),
                                                 ("127.0.40.2", False)])
def test_stream(camsim, wait_for, monkeypatch, address, with_numpy):
    if with_numpy:
        pytest.importorskip("numpy")
    else:
        monkeypatch.setattr(_buffers, "numpy", None)
    camsim(address)
    with quorvel.Camera.connect(address, 160, 120, queue_size=3) as camera:
        camera.subscribe("frame")
        camera.start()
        frames = [camera.next_frame(timeout=10) for _ in range(5)]
        if with_numpy:
            assert all(f.shape == (120, 160) and f.dtype == "uint8" for f in frames)
            assert (frames[0] != frames[4]).any()  # the shapes move
        else:
            assert all(isinstance(f, bytes) and len(f) == 160 * 120 for f in frames)
        assert camera.next_event(timeout=10).lines == 120
        wait_for(lambda: camera.fps_received > 0, "received rate")
        wait_for(lambda: camera.dropped_frames > 0, "dropped frame")
        camera.stop()
        assert camera.fps_received == 0.0
    assert camera.closed and len(list(camera.frames(timeout=1))) <= 3  # ends
    with pytest.raises(quorvel.Error, match="closed"):
        camera.fps_received


def test_settings(camsim):
    camsim("127.0.40.3", "--sps", "55")
    with quorvel.Camera.connect("127.0.40.3", 64, 48) as camera:
        assert camera.get("internal_sps") == 55
        camera.set("min_object_size", 10000)
        assert camera.get(207) == 10000
        camera.set(quorvel.Item.PARAMETER_A, -12345)
        assert camera.get("parameter_a") == -12345
        camera.set("mode", quorvel.Mode.SECOND)
        assert camera.get("mode") == quorvel.Mode.SECOND
        with pytest.raises(quorvel.Error, match="detect_objects"):
            camera.get("detect_objects")  # set only
        with pytest.raises(quorvel.Error):
            camera.set("internal_sps", 1)  # read only
        with pytest.raises(ValueError, match="min_object_size"):
            camera.set("min_objectsize", 1)
        with pytest.raises(ValueError):
            camera.set("parameter_a", 2 ** 31)  # would wrap to another value
        with pytest.raises(quorvel.Error, match="already open"):
            quorvel.Camera.connect("127.0.40.3", 64, 48)
        assert camera.get("internal_sps") == 55  # the failed connect took nothing
    with quorvel.Camera.flash("127.0.40.3") as flash:
        flash.set("highlight", quorvel.Highlight.ALL)  # library items work
        assert flash.get("highlight") == 0
        with pytest.raises(quorvel.Error):
            flash.get("internal_sps")


def test_motion_events(camsim, wait_for):
    camsim("127.0.40.4", "--mode", "mask")
    with quorvel.Camera.connect("127.0.40.4", 320, 240) as camera:
        camera.set("detect_objects", 1)
        camera.set("min_object_size", 100)
        alarms, alarm_threads = [], set()

        def on_alarm(event):
            alarm_threads.add(threading.current_thread().name)
            alarms.append(event)

        camera.subscribe("alarm", on_alarm)
        camera.subscribe("objects")
        camera.start()
        event = camera.next_event(timeout=10)
        assert isinstance(event, quorvel.ObjectsEvent) and event.objects
        for report in event.objects:
            assert report.pixel_count >= 100
            assert report.min_x <= report.mean_x <= report.max_x < 320
            assert report.min_y <= report.mean_y <= report.max_y < 240
        wait_for(lambda: alarms, "alarm")
        assert alarm_threads == {"quorvel-events RVXOSTRL1[1]"}
        if _buffers.numpy is not None:
            assert alarms[0].mask.shape == (240, 320) and alarms[0].mask.max() == 255
        camera.unsubscribe("alarm")


def test_flash(camsim):
    camsim("127.0.40.5")
    with quorvel.Camera.flash("127.0.40.5") as camera:
        factory = bytes((0xA0 + i) & 0xFF for i in range(quorvel.FLASH_RECORD_SIZE))
        assert camera.read_record() == factory
        camera.write_record(b"\x55" * quorvel.FLASH_RECORD_SIZE)
        record = camera.read_record()
        assert record[:8] == factory[:8] and record[164:180] == factory[164:180]
        assert record[8:164] + record[180:] == b"\x55" * (372 - 24)
        assert camera.read_area(1)[:4] == bytes([31, 38, 45, 52])
        data = bytes(i % 251 for i in range(quorvel.FLASH_AREA_SIZE + 10))
        camera.write_areas(data)
        assert camera.read_area(2) == data[:quorvel.FLASH_AREA_SIZE]
        assert camera.read_area(3)[:10] == data[quorvel.FLASH_AREA_SIZE:]
        camera.flash_operation(quorvel.FlashOp.NOTHING, bytearray(1))
        with pytest.raises(quorvel.Error):
            camera.flash_operation(60, bytearray(1))
        with pytest.raises(ValueError):
            camera.read_area(7)
        with pytest.raises(ValueError):
            camera.write_record(b"\x00" * 371)
        with pytest.raises(quorvel.Error, match="flash access only"):
            camera.start()


def test_display_options(camsim):
    camsim("127.0.40.6")
    with quorvel.Camera.connect("127.0.40.6", 320, 240, display=True) as camera:
        camera.round_trip()
        assert camera.decimation == quorvel.Decimation(1, 1, 320, 240)
        camera.scroll(3, 4)
        camera.zoom(2.0, -0.5)
        camera.redraw()
        assert camera.fps_displayed == 0.0
        with pytest.raises(quorvel.Error):
            camera.get_option(31)
        with pytest.raises(quorvel.Error):
            camera.set_option("step_x", 1)  # read only
        with pytest.raises(ValueError):
            camera.start(frames=False)  # nothing to draw into


def test_lifecycle(camsim):
    with pytest.raises(quorvel.Error, match="cannot connect"):
        quorvel.Camera.connect("127.0.40.8")  # nobody serves there
    with pytest.raises(ValueError):
        quorvel.Camera.connect("127.0.40.8", width=3)
    camsim("127.0.40.7")
    camera = quorvel.Camera.connect("127.0.40.7", 64, 48)
    camera.start()
    camera.next_frame(timeout=10)
    quorvel.disconnect_all()
    assert camera.closed
    with pytest.raises(quorvel.Error, match="closed"):
        camera.get("internal_sps")
    with quorvel.Camera.connect("127.0.40.7", 64, 48) as again:
        assert again.get("internal_sps") == 40  # the address is free again


def test_lost_camera_ends_the_frames(camsim):
    process = camsim("127.0.40.9")
    with quorvel.Camera.connect("127.0.40.9", 64, 48) as camera:
        camera.subscribe("lost")
        camera.start()
        camera.next_frame(timeout=10)
        process.kill()
        event = camera.next_event(timeout=20)
        assert isinstance(event, quorvel.CameraLost)
        assert event.reason in (quorvel.LostReason.DATA_CONNECTION,
                                quorvel.LostReason.DATA_PROTOCOL)
        list(camera.frames(timeout=10))  # ends, however many were queued
        assert camera.fps_received == 0.0
