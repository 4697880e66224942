"""A PEP 517 build backend without dependencies: wheels and source archives of the orvex
package, so that `pip install ./python` works without a package index."""

import base64
import hashlib
import io
import os
import tarfile
import zipfile

_HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_NAME = "orvex"
_VERSION = "31.5"
_TAG = "py3-none-any"


def _metadata():
    readme = ""
    path = os.path.join(_HERE, "README.md")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            readme = f.read()
    return (
        "Metadata-Version: 2.1\n"
        "Name: %s\nVersion: %s\n"
        "Summary: The QX218 camera library from Python: ctypes over its libraries, numpy arrays\n"
        "Requires-Python: >=3.8\nRequires-Dist: numpy\n"
        "Description-Content-Type: text/markdown\n\n%s" % (_NAME, _VERSION, readme)
    )


def _package_files():
    """(path in the archive, path on disk) of every file of the package."""
    root = os.path.join(_HERE, _NAME)
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d != "__pycache__")
        for name in sorted(files):
            if name.endswith((".pyc", ".pyo")):
                continue
            disk = os.path.join(folder, name)
            yield os.path.relpath(disk, _HERE).replace(os.sep, "/"), disk


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (name, digest, len(data))


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    # The libraries may sit beside the modules (an installed layout): then the wheel is
    # specific to the machine, but still tagged plainly, as it loads them with ctypes.
    filename = "%s-%s-%s.whl" % (_NAME, _VERSION, _TAG)
    dist_info = "%s-%s.dist-info" % (_NAME, _VERSION)
    records = []
    with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w",
                         zipfile.ZIP_DEFLATED) as wheel:
        def add(name, data):
            wheel.writestr(name, data)
            records.append(_record_line(name, data))

        for name, disk in _package_files():
            with open(disk, "rb") as f:
                add(name, f.read())
        add(dist_info + "/METADATA", _metadata().encode())
        add(dist_info + "/WHEEL", ("Wheel-Version: 1.0\nGenerator: orvex_build\n"
                                   "Root-Is-Purelib: true\nTag: %s\n" % _TAG).encode())
        records.append(dist_info + "/RECORD,,")
        wheel.writestr(dist_info + "/RECORD", "\n".join(records) + "\n")
    return filename


def build_sdist(sdist_directory, config_settings=None):
    base = "%s-%s" % (_NAME, _VERSION)
    filename = base + ".tar.gz"
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz") as sdist:
        files = [("pyproject.toml", os.path.join(_HERE, "pyproject.toml")),
                 ("README.md", os.path.join(_HERE, "README.md")),
                 ("build_backend/orvex_build.py", os.path.abspath(__file__))]
        for name, disk in files + list(_package_files()):
            if os.path.exists(disk):
                sdist.add(disk, arcname=base + "/" + name)
        info = tarfile.TarInfo(base + "/PKG-INFO")
        data = _metadata().encode()
        info.size = len(data)
        sdist.addfile(info, io.BytesIO(data))
    return filename
