"""Build backend of the quorvel package, written with the standard library
alone.

The usual backends are packages of their own, and pip's build isolation
downloads them before every build; on a machine without a network that
download fails. This backend lives in the source tree (pyproject.toml names
it with `backend-path`) and requires nothing, so isolation has nothing to
install. It implements the hooks pip calls: PEP 517's build_wheel and
build_sdist, and PEP 660's build_editable for `pip install -e`.
"""

import base64
import hashlib
import io
import re
import tarfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
NAME = "quorvel"
SUMMARY = "ctypes binding of the quorvel camera client library"
REQUIRES_PYTHON = ">=3.8"
# Zip entries carry a fixed date so that the same sources give the same
# wheel.
_EPOCH = (1980, 1, 1, 0, 0, 0)


def _version():
    text = (ROOT / NAME / "_version.py").read_text(encoding="utf-8")
    return re.search(r'__version__ = "([^"]+)"', text).group(1)


def _metadata():
    return (
        "Metadata-Version: 2.1\n"
        f"Name: {NAME}\n"
        f"Version: {_version()}\n"
        f"Summary: {SUMMARY}\n"
        f"Requires-Python: {REQUIRES_PYTHON}\n"
        "Provides-Extra: numpy\n"
        'Requires-Dist: numpy; extra == "numpy"\n'
    ).encode()


def _package_files():
    package = ROOT / NAME
    return sorted(p for p in package.rglob("*.py")
                  if "__pycache__" not in p.parts)


def _record_line(arcname, data):
    digest = hashlib.sha256(data).digest()
    encoded = base64.urlsafe_b64encode(digest).rstrip(b"=").decode()
    return f"{arcname},sha256={encoded},{len(data)}"


def _write_wheel(wheel_directory, entries):
    """Writes a pure-Python wheel of `entries` ((arcname, bytes) pairs) and
    its dist-info, and returns the wheel's file name."""
    version = _version()
    dist_info = f"{NAME}-{version}.dist-info"
    wheel_info = (b"Wheel-Version: 1.0\nGenerator: quorvel_build\n"
                  b"Root-Is-Purelib: true\nTag: py3-none-any\n")
    entries = list(entries) + [(f"{dist_info}/METADATA", _metadata()),
                               (f"{dist_info}/WHEEL", wheel_info)]
    records = [_record_line(name, data) for name, data in entries]
    record_name = f"{dist_info}/RECORD"
    records.append(f"{record_name},,")
    entries.append((record_name, ("\n".join(records) + "\n").encode()))

    file_name = f"{NAME}-{version}-py3-none-any.whl"
    with zipfile.ZipFile(Path(wheel_directory) / file_name, "w") as wheel:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=_EPOCH)
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return file_name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    """PEP 517: builds the wheel of the package's sources."""
    entries = [(f"{NAME}/{p.relative_to(ROOT / NAME).as_posix()}",
                p.read_bytes()) for p in _package_files()]
    return _write_wheel(wheel_directory, entries)


def build_editable(wheel_directory, config_settings=None,
                   metadata_directory=None):
    """PEP 660: builds a wheel whose .pth file puts this source tree on the
    path, so edits take effect without reinstalling."""
    pth = (str(ROOT) + "\n").encode()
    return _write_wheel(wheel_directory, [(f"_{NAME}_editable.pth", pth)])


def build_sdist(sdist_directory, config_settings=None):
    """PEP 517: builds a source archive from which build_wheel works again."""
    base = f"{NAME}-{_version()}"
    file_name = f"{base}.tar.gz"
    files = [ROOT / "pyproject.toml", Path(__file__).resolve(),
             *_package_files()]
    with tarfile.open(Path(sdist_directory) / file_name, "w:gz",
                      format=tarfile.PAX_FORMAT) as archive:
        for path in files:
            archive.add(path, arcname=f"{base}/{path.relative_to(ROOT).as_posix()}")
        metadata = _metadata()
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        info.size = len(metadata)
        info.mode = 0o644
        archive.addfile(info, io.BytesIO(metadata))
    return file_name


def get_requires_for_build_wheel(config_settings=None):
    """PEP 517: nothing beyond the standard library."""
    return []


get_requires_for_build_sdist = get_requires_for_build_wheel
get_requires_for_build_editable = get_requires_for_build_wheel
