"""The bounded queue between the library's receiver thread and Python.

The receiver thread must never wait for Python code: a callback that blocks
stops reception for that camera. So the producer never blocks on a full
queue; it drops the oldest entry instead, keeping the newest frames, and
counts what it dropped.
"""

import collections
import threading
import time

from .errors import Closed, Timeout


class DropOldestQueue:
    """A FIFO of at most `maxsize` entries whose put never blocks: when full,
    the oldest entry is dropped and counted in `dropped`. `what` names an
    entry in the Timeout message."""

    def __init__(self, maxsize, what="entry"):
        if maxsize < 1:
            raise ValueError(f"queue size must be at least 1, not {maxsize}")
        self.maxsize = maxsize
        self._what = what
        self._entries = collections.deque()
        self._condition = threading.Condition()
        self._dropped = 0
        self._put = 0
        self._closed = False

    def put(self, entry):
        """Appends `entry`, dropping the oldest one when full. Does nothing
        once the queue is closed."""
        with self._condition:
            if self._closed:
                return
            if len(self._entries) >= self.maxsize:
                self._entries.popleft()
                self._dropped += 1
            self._entries.append(entry)
            self._put += 1
            self._condition.notify()

    def get(self, timeout=None):
        """The oldest entry, waiting up to `timeout` seconds (None: no
        limit). Raises Timeout when nothing came in time, and Closed once the
        queue is closed and empty."""
        deadline = None if timeout is None else time.monotonic() + timeout
        with self._condition:
            while not self._entries:
                if self._closed:
                    raise Closed("the camera was closed")
                remaining = None if deadline is None else deadline - time.monotonic()
                if remaining is not None and remaining <= 0:
                    raise Timeout(f"no {self._what} within {timeout} s")
                self._condition.wait(remaining)
            return self._entries.popleft()

    def clear(self):
        """Discards every queued entry (not counted as dropped)."""
        with self._condition:
            self._entries.clear()

    def close(self):
        """Refuses further entries and wakes every waiting get; entries
        already queued can still be taken."""
        with self._condition:
            self._closed = True
            self._condition.notify_all()

    @property
    def dropped(self):
        """Entries dropped because the queue was full."""
        with self._condition:
            return self._dropped

    @property
    def total(self):
        """Entries ever put, dropped ones included."""
        with self._condition:
            return self._put

    def __len__(self):
        with self._condition:
            return len(self._entries)
