"""Fixtures: the library (QUORVEL_LIBRARY) and simulated cameras (CAMSIM).

Each test serves its own address in 127.0.40.1 to 127.0.40.254, because the
camera ports are fixed and other tests may run at the same time.
"""

import os
import signal
import subprocess
import threading
import time

import pytest

import quorvel


@pytest.fixture(scope="session")
def library():
    path = os.environ.get("QUORVEL_LIBRARY")
    if not path:
        pytest.skip("QUORVEL_LIBRARY is not set to the path of libquorvel.so.1")
    return quorvel.load_library(path)


def _first_line(process, timeout):
    lines = []
    reader = threading.Thread(target=lambda: lines.append(process.stdout.readline()),
                              daemon=True)
    reader.start()
    reader.join(timeout)
    return lines[0] if lines else ""


@pytest.fixture
def camsim(library):
    """start(address, *options) runs camsim on `address` and returns once it
    serves; every camsim started is stopped after the test."""
    program = os.environ.get("CAMSIM")
    if not program or not os.access(program, os.X_OK):
        pytest.skip("CAMSIM is not set to the camsim program")
    processes = []

    def start(address, *options):
        assert address.startswith("127.0.40."), address
        process = subprocess.Popen([program, "--address", address, *options],
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   text=True)
        processes.append(process)
        line = _first_line(process, 20)
        if "serving" not in line:
            pytest.fail(f"camsim did not start on {address}: {line!r}")
        return process

    yield start
    for process in processes:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


@pytest.fixture
def wait_for():
    """wait_for(condition, what, timeout=10): polls until condition() is
    true, failing the test at the deadline."""
    def wait(condition, what, timeout=10.0):
        deadline = time.monotonic() + timeout
        while not condition():
            if time.monotonic() > deadline:
                pytest.fail(f"no {what} within {timeout} s")
            time.sleep(0.01)
    return wait
