"""The exceptions of the binding.

The library reports a failure only as 0 or NULL, without a reason, so the
messages name the call and its arguments, and where it helps, the usual
causes.
"""


class Error(Exception):
    """A library call failed, or the binding refused an operation that the
    library would have carried out wrongly."""


class LibraryNotFoundError(Error):
    """The shared library could not be loaded."""


class Timeout(Error, TimeoutError):
    """Nothing arrived within the time given."""


class Closed(Error):
    """The camera was closed; no more frames or events will arrive."""
