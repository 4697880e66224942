"""Finding and loading the three libraries, and the C functions' signatures.

The libraries are looked for, in this order, in the folders named by ORVEX_LIB_DIR (one
folder, or several separated by os.pathsep, as in a build tree where each library has its
own folder), beside this package (where an installed package keeps them), and in the
system's library path. They are loaded on first use.
"""

import ctypes
import ctypes.util
import glob
import operator
import os
import sys
import threading

from .errors import LibraryNotFoundError, ParameterError

_WINDOWS = sys.platform == "win32"

#: ctypes type of a window handle (OrvexWindow): an HWND on Windows, uintptr_t elsewhere.
Window = ctypes.c_void_p if _WINDOWS else ctypes.c_size_t

_i32 = ctypes.c_int32
_pi32 = ctypes.POINTER(ctypes.c_int32)
_bytes = ctypes.c_void_p


class FrameInfo(ctypes.Structure):
    """The six words posted with every preview frame."""

    _fields_ = [
        ("size", _i32),
        ("width", _i32),
        ("height", _i32),
        ("bitsPerPixel", _i32),
        ("frameRate", _i32),  # tenths of frames a second
        ("reserved", _i32),
    ]


# Signatures: name -> (result, argument types).
_SDK = {
    "Orvex_Initialize": (_i32, [Window]),
    "Orvex_Release": (_i32, [_i32]),
    "Orvex_GetLastError": (_i32, [_i32]),
    "Orvex_GetDllVersion": (_i32, []),
    "Orvex_Preview": (_i32, [_i32]),
    "Orvex_CallBackPreview": (_i32, [_i32, Window, _bytes, _i32, _i32]),
    "Orvex_StartPreview": (_i32, [_i32]),
    "Orvex_StopPreview": (_i32, [_i32]),
    "Orvex_Close": (_i32, [_i32]),
    "Orvex_SnapShot": (_i32, [_i32, _bytes, _i32, _i32]),
    "Orvex_Capture": (_i32, [_i32]),
    "Orvex_GetImage": (_i32, [_i32, _bytes, _i32, _i32]),
    "Orvex_SaveImage": (_i32, [_i32, ctypes.c_char_p, _i32]),
    "Orvex_SetPreviewWindow": (_i32, [_i32, Window, _i32, _i32, _i32, _i32]),
    "Orvex_SetCaptureWindow": (_i32, [_i32, _i32, _i32]),
    "Orvex_SetCaptureWindowEx": (_i32, [_i32] + [_i32] * 6),
    "Orvex_GetCaptureWindowEx": (_i32, [_i32] + [_pi32] * 6),
    "Orvex_Width": (_i32, [_i32]),
    "Orvex_Height": (_i32, [_i32]),
    "Orvex_GetSubSample": (_i32, [_i32]),
    "Orvex_SetWaitTime": (_i32, [_i32, _i32]),
    "Orvex_GetWaitTime": (_i32, [_i32]),
    "Orvex_SetAutoIris": (_i32, [_i32, _i32]),
    "Orvex_GetAutoIris": (_i32, [_i32, _pi32]),
    "Orvex_SetColorMode": (_i32, [_i32, _i32]),
    "Orvex_GetColorMode": (_i32, [_i32]),
    "Orvex_SetDeviceNumber": (_i32, [_i32, _i32]),
    "Orvex_EnumDevice": (_i32, [_i32, ctypes.POINTER(ctypes.c_char * 256)]),
    "Orvex_GetDeviceName": (_i32, [_i32, _i32, ctypes.c_char_p, _i32]),
    "Orvex_SetFilterValue": (_i32, [_i32, _i32, _i32]),
    "Orvex_GetFilterValue": (_i32, [_i32, _i32, _pi32]),
    "Orvex_WriteSromID": (_i32, [_i32, _i32, _i32]),
    "Orvex_ReadSromID": (_i32, [_i32, _i32, _pi32]),
    "Orvex_Fpga_WriteRegister": (_i32, [_i32, _i32, _i32]),
    "Orvex_Fpga_ReadRegister": (_i32, [_i32, _i32, _pi32]),
}

_VIRTUAL = {
    "OrvexVirtualCamera_Attach": (_i32, [_i32]),
    "OrvexVirtualCamera_Detach": (_i32, [_i32]),
    "OrvexVirtualCamera_IsAttached": (_i32, [_i32]),
    "OrvexVirtualCamera_Reset": (_i32, []),
    "OrvexVirtualCamera_GetRegister": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_SetRegister": (_i32, [_i32, _i32, _i32]),
    "OrvexVirtualCamera_GetRomByte": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_SetRomByte": (_i32, [_i32, _i32, _i32]),
    "OrvexVirtualCamera_GetSampleWidth": (_i32, [_i32]),
    "OrvexVirtualCamera_PacketCount": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_FailRequests": (_i32, [_i32, _i32, _i32]),
    "OrvexVirtualCamera_ShortFrames": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_SetRaster": (_i32, [_i32, _bytes, _i32, _i32, _i32]),
    "OrvexVirtualCamera_SetScene": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_SetSceneColor": (_i32, [_i32, _i32, _i32, _i32]),
    "OrvexVirtualCamera_SetSceneLevel": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_LoadImage": (_i32, [_i32, ctypes.c_char_p]),
    "OrvexVirtualCamera_SetFramePeriod": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_SetDropRate": (_i32, [_i32, _i32]),
    "OrvexVirtualCamera_FramesSent": (_i32, [_i32]),
    "OrvexVirtualCamera_FramesDropped": (_i32, [_i32]),
}

_PLATFORM = {
    "OrvexPlatform_CreateMessageWindow": (Window, []),
    "OrvexPlatform_GetMessage": (
        _i32,
        [
            Window,
            _i32,
            ctypes.POINTER(ctypes.c_uint32),
            ctypes.POINTER(ctypes.c_size_t),
            ctypes.POINTER(ctypes.c_ssize_t),
        ],
    ),
    "OrvexPlatform_PostMessage": (_i32, [Window, ctypes.c_uint32, ctypes.c_size_t, ctypes.c_ssize_t]),
    "OrvexPlatform_DestroyWindow": (_i32, [Window]),
}

_STEMS = {
    "sdk": ("OrvexSdk_QX218", _SDK),
    "virtual": ("OrvexVirtualCamera", _VIRTUAL),
    "platform": ("OrvexPlatform", _PLATFORM),
}

_loaded = {}
_lock = threading.Lock()

# ctypes lets other Python threads run during a call. The camera library is safe for that, but
# the package still makes every call into it through this one lock, so a snapshot on one camera
# holds up calls on the others until it returns.
_call_lock = threading.RLock()


def _check_int32(function, argtypes, args):
    """ctypes takes a 32-bit argument modulo 2^32, so that 2^32 + 640 would reach the library
    as 640, a value its own range check accepts: such a number is refused here instead."""
    for kind, value in zip(argtypes, args):
        if kind is not _i32:
            continue
        try:
            number = operator.index(value)
        except TypeError:
            continue  # ctypes refuses it with its own error
        if not -(2**31) <= number < 2**31:
            raise ParameterError(9, "%s: %d is outside the 32-bit range" % (function, number))


class _Checked:
    """A library's functions, their 32-bit arguments checked, each called under `lock` (none:
    the library is thread-safe on its own)."""

    def __init__(self, library, names, lock=None):
        self._name = library._name
        for name in names:
            setattr(self, name, self._wrap(getattr(library, name), lock))

    @staticmethod
    def _wrap(function, lock):
        argtypes = list(function.argtypes or [])
        name = function.__name__

        def call(*args):
            _check_int32(name, argtypes, args)
            if lock is None:
                return function(*args)
            with lock:
                return function(*args)

        call.__name__ = name
        return call


def search_folders():
    """The folders searched before the system's library path, in order."""
    folders = [f for f in os.environ.get("ORVEX_LIB_DIR", "").split(os.pathsep) if f]
    here = os.path.dirname(os.path.abspath(__file__))
    beside = [here, os.path.join(here, "lib")]
    try:
        # Installed with the libraries by `cmake --install` (or the Debian package): their
        # folder, relative to this package.
        from ._installed import LIBRARY_DIR

        beside.append(os.path.normpath(os.path.join(here, LIBRARY_DIR)))
    except ImportError:
        pass
    return folders + beside


def _file_names(stem):
    if _WINDOWS:
        return [stem + ".dll"]
    return ["lib%s.so" % stem]


def _find(stem):
    """Full path of the library in the search folders, or None."""
    for folder in search_folders():
        for name in _file_names(stem):
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                return path
            # A versioned name only (libX.so.31): the newest.
            versioned = sorted(glob.glob(path + ".*"))
            if versioned:
                return versioned[-1]
    return None


def _open(kind):
    stem, signatures = _STEMS[kind]
    path = _find(stem)
    mode = ctypes.RTLD_GLOBAL  # so that the camera library's references resolve to this copy
    try:
        if path is not None:
            library = ctypes.CDLL(path, mode=mode)
        else:
            system = ctypes.util.find_library(stem) or _file_names(stem)[0]
            library = ctypes.CDLL(system, mode=mode)
    except OSError as error:
        raise LibraryNotFoundError(
            "cannot load %s (looked in %s and the system's library path): %s"
            % (stem, os.pathsep.join(search_folders()), error)
        ) from None
    for name, (result, arguments) in signatures.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    # The camera library under one lock (above); the other two are thread-safe on their own.
    return _Checked(library, signatures, _call_lock if kind == "sdk" else None)


def load(kind):
    """The loaded library "sdk", "virtual" or "platform"."""
    with _lock:
        if kind not in _loaded:
            if kind == "sdk" and not _WINDOWS:
                # The camera library needs the other two; loading them first from the same
                # place keeps the three together.
                for dependency in ("platform", "virtual"):
                    if dependency not in _loaded:
                        _loaded[dependency] = _open(dependency)
            _loaded[kind] = _open(kind)
        return _loaded[kind]


def sdk():
    """The camera library."""
    return load("sdk")


def virtual():
    """The virtual camera (Linux)."""
    return load("virtual")


def platform():
    """OrvexPlatform: message windows (Linux)."""
    return load("platform")
