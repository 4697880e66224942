"""orvex: the camera library from Python (ctypes over its three libraries, numpy arrays).

    import orvex
    with orvex.Camera(0) as camera:
        camera.color_mode = 32            # colour: blue, green, red, spare
        camera.geometry = orvex.Geometry.centered(640, 480)
        image = camera.snapshot()         # (480, 640, 4) uint8, top row first
        for frame in camera.frames(count=10):
            ...

The libraries are found in ORVEX_LIB_DIR (a folder, or several separated by os.pathsep),
beside this package, or in the system's library path.
"""

from .camera import (
    COLOR_MODES,
    ERROR_MESSAGE,
    FRAME_MESSAGE,
    SETTINGS,
    Camera,
    Geometry,
    frame_info_at,
    stride_for,
    to_array,
    version,
)
from .errors import CODES, LibraryNotFoundError, OrvexError, ParameterError, error_name, error_text
from ._library import FrameInfo
from . import virtual

__all__ = [
    "CODES",
    "COLOR_MODES",
    "ERROR_MESSAGE",
    "FRAME_MESSAGE",
    "SETTINGS",
    "Camera",
    "FrameInfo",
    "Geometry",
    "LibraryNotFoundError",
    "OrvexError",
    "ParameterError",
    "error_name",
    "error_text",
    "frame_info_at",
    "stride_for",
    "to_array",
    "version",
    "virtual",
]

__version__ = "31.5"
