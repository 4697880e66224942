"""orvex.Camera: one camera through a handle of the camera library."""

import ctypes
import operator
import re
import sys
import time
import warnings
from collections import namedtuple

import numpy as np

from . import _library
from .errors import (
    ErrorBusy,
    ErrorDeviceNotFound,
    ErrorGeometry,
    ErrorNoDevice,
    ErrorNoFrame,
    ErrorNotInSizeTable,
    ErrorParameter,
    ErrorStreamStopped,
    ErrorUnreported,
    OrvexError,
    raise_for,
)

FRAME_MESSAGE = 32770
ERROR_MESSAGE = 32771

#: The bits a pixel Camera.color_mode takes.
COLOR_MODES = (8, 16, 24, 32, 48, 64)

# bits -> (numpy dtype, channels): gray modes give 2-D arrays, colour modes 3-D.
_LAYOUT = {
    8: (np.uint8, 1),
    16: (np.uint16, 1),
    24: (np.uint8, 3),
    32: (np.uint8, 4),
    48: (np.uint16, 3),
    64: (np.uint16, 4),
}

_ANY = (-(2**31), 2**31 - 1)

#: The 27 numbered settings: (name part of the exports, id, smallest, largest value).
SETTINGS = (
    ("Brightness", 1, -255, 255),
    ("Contrast", 2, -127, 127),
    ("Hue", 3, -360, 360),
    ("Saturation", 4, -255, 255),
    ("Sharpness", 5, 0, 30),
    ("BayerGainRGB", 6) + _ANY,
    ("BayerGainRed", 7, 0, 400),
    ("BayerGainGreen", 8, 0, 400),
    ("BayerGainBlue", 9, 0, 400),
    ("BayerGainAuto", 10) + _ANY,
    ("Gamma", 11, 0, 200),
    ("BayerMode", 12, 0, 3),
    ("GlobalGain", 13, 0, 63),
    ("ColorGainRed", 14, 0, 63),
    ("ColorGainGreen1", 15, 0, 63),
    ("ColorGainGreen2", 16, 0, 63),
    ("ColorGainBlue", 17, 0, 63),
    ("ExposureTime", 18, 0, 16383),
    ("GrayMode", 19, 0, 2),
    ("GrayGainR", 20, 0, 255),
    ("GrayGainG1", 21, 0, 255),
    ("GrayGainG2", 22, 0, 255),
    ("GrayGainB", 23, 0, 255),
    ("GrayOffsetR", 24, -255, 255),
    ("GrayOffsetG1", 25, -255, 255),
    ("GrayOffsetG2", 26, -255, 255),
    ("GrayOffsetB", 27, -255, 255),
)


def _snake(name):
    """BayerGainRGB -> bayer_gain_rgb, ColorGainGreen1 -> color_gain_green1."""
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", name).lower()


_BY_NAME = {}
for _entry in SETTINGS:
    _BY_NAME[_entry[0].lower()] = _entry
    _BY_NAME[_snake(_entry[0])] = _entry


class Geometry(namedtuple("Geometry", "TH EHS EH TV EVS EV")):
    """The capture geometry in sensor samples and lines: a window EH x EV starting at sample
    EHS of line EVS, in lines of TH samples and frames of TV lines. The picture is samples 39
    to 1318 of lines 0 to 1023; EH + EHS may not pass 1320, EV + EVS not 1024."""

    __slots__ = ()

    @classmethod
    def full(cls):
        """The whole picture, 1280 x 1024 (the default)."""
        return cls(1320, 39, 1280, 1024, 0, 1024)

    @classmethod
    def centered(cls, width, height):
        """A width x height window in the middle of the picture; the starts stay even so that
        the colour filter keeps its phase."""
        return cls(1320, 39 + (1280 - width) // 4 * 2, width, 1024, (1024 - height) // 4 * 2,
                   height)


def stride_for(width, bits):
    """Bytes a row of the library's images: width x bytes a pixel, rounded up to 4."""
    return (width * (bits // 8) + 3) // 4 * 4


def to_array(buffer, width, height, bits):
    """The library's rows (top first, padded to the stride) as a new ndarray that owns its
    pixels: (height, width) for gray, (height, width, channels) for colour, uint8 or uint16."""
    dtype, channels = _LAYOUT[bits]
    stride = stride_for(width, bits)
    rows = np.frombuffer(buffer, dtype=np.uint8, count=stride * height).reshape(height, stride)
    pixels = rows[:, : width * (bits // 8)]
    shape = (height, width) if channels == 1 else (height, width, channels)
    # Always a copy: frames() reads every frame into the same buffer, and an array that only
    # looked at it would change under the caller with the next frame. 16-bit samples are seen
    # as such only after the copy: before numpy 1.23 a view of another item size needs rows
    # without the gaps of the stride.
    pixels = np.array(pixels, order="C")
    if dtype is np.uint16:
        pixels = pixels.view("<u2")
    return pixels.reshape(shape)


def _setting_property(name, ident, low, high):
    def getter(self):
        return self.get_setting(ident)

    def setter(self, value):
        self.set_setting(ident, value)

    doc = "Setting %d, %s: %d..%d (Orvex_Set%s / Orvex_Get%s)." % (ident, name, low, high, name,
                                                                      name)
    if (low, high) == _ANY:
        doc = "Setting %d, %s (Orvex_Set%s / Orvex_Get%s)." % (ident, name, name, name)
    return property(getter, setter, doc=doc)


class Camera:
    """One camera: a handle of the camera library, released by close() or on leaving a with
    block (which also saves this user's settings).

    Camera(index=0) opens the camera at device index 0..7 and raises OrvexError
    (ErrorDeviceNotFound) when none is there. A stored capture geometry out of range is not
    fatal: the library starts on the full picture, and this gives a RuntimeWarning
    (ErrorGeometry). Every failure raises OrvexError with the code and its name; values out
    of range raise ParameterError (a ValueError) before the library sees them.
    """

    def __init__(self, index=0, notify_window=0):
        self._sdk = _library.sdk()
        self._handle = 0
        self._previewing = False
        self._capturing = False
        handle = self._sdk.Orvex_Initialize(notify_window)
        if handle == 0:
            raise OrvexError(5, "Orvex_Initialize")
        self._handle = handle
        code = self._sdk.Orvex_GetLastError(handle)
        if code == ErrorGeometry:
            # The handle works on the default geometry; the stored entry stays as it is (a
            # release does not rewrite it), so refusing would refuse every later opening too.
            warnings.warn(str(OrvexError(code, "stored capture geometry, using the full "
                                               "picture")), RuntimeWarning, stacklevel=2)
            code = 0
        if code == 0:
            if index == 0:
                # The probe at start-up decides what is present; device 0 may be missing too.
                name = ctypes.create_string_buffer(64)
                ok = self._sdk.Orvex_GetDeviceName(handle, 0, name, 64)
            else:
                ok = self._sdk.Orvex_SetDeviceNumber(handle, index)
            if not ok:
                code = self._sdk.Orvex_GetLastError(handle) or ErrorDeviceNotFound
        if code != 0:
            self.close()
            raise_for(code, "camera %d" % index)

    # --- lifetime ---------------------------------------------------------------------------

    def close(self):
        """Releases the handle (stops any preview and saves the settings); safe twice, and
        from another thread while frames() runs (its loop then raises ErrorNoDevice)."""
        # Under the call lock, so that frames() never reads a frame record of the released
        # handle: it checks the handle under the same lock before each read.
        with _library._call_lock:
            handle, self._handle = self._handle, 0
            self._capturing = False
            if handle:
                self._sdk.Orvex_Release(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def __del__(self):
        if getattr(self, "_handle", 0):
            self.close()

    @property
    def handle(self):
        """The handle for calls of the C functions; 0 once closed."""
        return self._handle

    def _live(self, where):
        if not self._handle:
            raise OrvexError(ErrorNoDevice, where + ": the camera is closed")
        return self._handle

    def _h(self, where):
        self._live(where)
        # Empty the queue, so that the code read after a failure is this call's.
        for _ in range(20):
            if self._sdk.Orvex_GetLastError(self._handle) == 0:
                break
        return self._handle

    def _check(self, result, where, fallback=ErrorUnreported):
        if result:
            return result
        code = self._sdk.Orvex_GetLastError(self._handle) if self._handle else 0
        raise_for(code or fallback, where)

    def last_error(self):
        """Takes the newest recorded code off the library's queue (0 when none): the reason
        of a failed call made through handle. The methods of this class raise theirs."""
        # Not through _h, which empties the queue this is to read.
        return self._sdk.Orvex_GetLastError(self._live("Orvex_GetLastError"))

    # --- format and geometry ----------------------------------------------------------------

    @property
    def color_mode(self):
        """Output bits a pixel: 8 or 16 (gray), 24 (a false-colour map of the raw mosaic), 32
        (colour: blue, green, red, spare), 48 or 64 (colour with 10-bit values)."""
        return self._sdk.Orvex_GetColorMode(self._h("Orvex_GetColorMode"))

    @color_mode.setter
    def color_mode(self, bits):
        if bits not in COLOR_MODES:
            raise_for(ErrorParameter, "color_mode %r not one of %s" % (bits, COLOR_MODES))
        self._check(self._sdk.Orvex_SetColorMode(self._h("Orvex_SetColorMode"), bits),
                    "Orvex_SetColorMode")

    @property
    def geometry(self):
        """The capture geometry as a Geometry; setting it calls Orvex_SetCaptureWindowEx."""
        values = [ctypes.c_int32() for _ in range(6)]
        self._sdk.Orvex_GetCaptureWindowEx(self._h("Orvex_GetCaptureWindowEx"),
                                           *[ctypes.byref(v) for v in values])
        return Geometry(*[v.value for v in values])

    @geometry.setter
    def geometry(self, g):
        g = Geometry(*g)
        self._check(self._sdk.Orvex_SetCaptureWindowEx(self._h("Orvex_SetCaptureWindowEx"), *g),
                    "Orvex_SetCaptureWindowEx %s" % (tuple(g),))

    def set_capture_size(self, width, height):
        """Takes the geometry of the first size table entry of this size; OrvexError
        (ErrorNotInSizeTable) when the table has none. Any size: geometry = Geometry.centered."""
        self._check(self._sdk.Orvex_SetCaptureWindow(self._h("Orvex_SetCaptureWindow"), width,
                                                     height),
                    "Orvex_SetCaptureWindow %d x %d" % (width, height), ErrorNotInSizeTable)

    @property
    def sub_sample(self):
        """The stored sub-sampling, 0, 1 or 2: images are the geometry's EH x EV divided by 1,
        2 or 4. Only the settings file sets it (Orvex_SetSubSample accepts 0 alone)."""
        return self._sdk.Orvex_GetSubSample(self._h("Orvex_GetSubSample"))

    def _divisor(self):
        return {1: 2, 2: 4}.get(self.sub_sample, 1)

    @property
    def width(self):
        """Width of the images: the geometry's EH divided by the sub-sampling (Orvex_Width
        gives EH alone)."""
        return self._sdk.Orvex_Width(self._h("Orvex_Width")) // self._divisor()

    @property
    def height(self):
        """Height of the images: the geometry's EV divided by the sub-sampling."""
        return self._sdk.Orvex_Height(self._h("Orvex_Height")) // self._divisor()

    @property
    def stride(self):
        """Bytes a row of the library's output image (a multiple of 4)."""
        return stride_for(self.width, self.color_mode)

    @property
    def wait_time(self):
        """Milliseconds the preview sleeps before it looks for the next frame (0 or more)."""
        return self._sdk.Orvex_GetWaitTime(self._h("Orvex_GetWaitTime"))

    @wait_time.setter
    def wait_time(self, milliseconds):
        if not 0 <= milliseconds <= 2**31 - 1:
            raise_for(ErrorParameter, "wait_time %r" % (milliseconds,))
        self._check(self._sdk.Orvex_SetWaitTime(self._h("Orvex_SetWaitTime"), milliseconds),
                    "Orvex_SetWaitTime")

    @property
    def auto_exposure(self):
        """True while the automatic exposure steers exposure_time (within 0..255)."""
        ok = ctypes.c_int32()
        return self._sdk.Orvex_GetAutoIris(self._h("Orvex_GetAutoIris"), ctypes.byref(ok)) != 0

    @auto_exposure.setter
    def auto_exposure(self, on):
        self._check(self._sdk.Orvex_SetAutoIris(self._h("Orvex_SetAutoIris"), 1 if on else 0),
                    "Orvex_SetAutoIris")

    # --- settings ---------------------------------------------------------------------------

    @staticmethod
    def _setting(key):
        if isinstance(key, str):
            if key.lower() in _BY_NAME:
                return _BY_NAME[key.lower()]
        else:
            ident = _integral(key)
            for entry in SETTINGS:
                if entry[1] == ident:
                    return entry
        raise_for(ErrorParameter, "no setting %r" % (key,))

    def get_setting(self, key):
        """A setting by name ("Gamma", "gamma") or id (11)."""
        name, ident, _, _ = self._setting(key)
        ok = ctypes.c_int32()
        value = self._sdk.Orvex_GetFilterValue(self._h("Orvex_Get" + name), ident,
                                               ctypes.byref(ok))
        self._check(ok.value, "Orvex_Get" + name)
        return value

    def set_setting(self, key, value):
        """Sets a setting by name or id; ParameterError outside its range."""
        name, ident, low, high = self._setting(key)
        number = _integral(value)
        if number is None or not low <= number <= high:
            raise_for(ErrorParameter, "%s %r outside %d..%d" % (name, value, low, high))
        self._check(self._sdk.Orvex_SetFilterValue(self._h("Orvex_Set" + name), ident, number),
                    "Orvex_Set" + name)

    # --- frames -----------------------------------------------------------------------------

    def _frame_buffer(self):
        bits = self.color_mode
        width, height = self.width, self.height
        if bits not in _LAYOUT:
            raise_for(ErrorParameter, "stored colour mode %d" % bits)
        # A geometry the library refused stays stored: a size from it that no accepted geometry
        # has (negative, or past the sensor's line and frame) is its error, not a buffer to make.
        if not (0 <= width <= 1320 and 0 <= height <= 1024):
            raise_for(ErrorGeometry, "image size %d x %d" % (width, height))
        return bytearray(stride_for(width, bits) * height), width, height, bits

    def snapshot(self):
        """Takes one frame: an ndarray of shape (height, width) for 8 and 16 bits, (height,
        width, 3 or 4) for colour; uint8, or uint16 holding 10-bit values for 16, 48 and 64;
        rows top first, channels blue, green, red (, spare). OrvexError ErrorNoFrame when no
        frame came (an unplugged camera), ErrorBusy while frames() runs."""
        if self._previewing:
            raise OrvexError(ErrorBusy, "Orvex_SnapShot")
        buffer, width, height, bits = self._frame_buffer()
        address = (ctypes.c_char * len(buffer)).from_buffer(buffer)
        # bottomUp 1 gives the camera's first line first: the top of the picture.
        self._check(self._sdk.Orvex_SnapShot(self._h("Orvex_SnapShot"), address, len(buffer), 1),
                    "Orvex_SnapShot", ErrorNoFrame)
        del address
        return to_array(buffer, width, height, bits)

    def last_image(self):
        """The last image the pipeline made (Orvex_GetImage), shaped as snapshot()'s."""
        buffer, width, height, bits = self._frame_buffer()
        address = (ctypes.c_char * len(buffer)).from_buffer(buffer)
        self._check(self._sdk.Orvex_GetImage(self._h("Orvex_GetImage"), address, len(buffer), 1),
                    "Orvex_GetImage")
        del address
        return to_array(buffer, width, height, bits)

    def capture(self):
        """Prepares once so that following snapshots start at once; stop_capture() ends it.
        Until then frames() and start_preview() raise ErrorBusy."""
        self._check(self._sdk.Orvex_Capture(self._h("Orvex_Capture")), "Orvex_Capture",
                    ErrorBusy)
        self._capturing = True

    def stop_capture(self):
        """Ends what capture() prepared. ErrorBusy while a preview runs: its stream is not this
        call's to stop."""
        if self._previewing:
            raise OrvexError(ErrorBusy, "Orvex_StopPreview")
        self._capturing = False
        self._check(self._sdk.Orvex_StopPreview(self._h("Orvex_StopPreview")), "Orvex_StopPreview")

    def _refuse_preview_while_busy(self, where):
        # The library, refusing a preview after a capture, also ends that capture: asking it is
        # not harmless, so a capture prepared through this object is refused here.
        if self._previewing or self._capturing:
            raise OrvexError(ErrorBusy, where)

    def save_csv(self, path):
        """Writes the 8-bit raw image as comma-separated text."""
        self._check(self._sdk.Orvex_SaveImage(self._h("Orvex_SaveImage"), str(path).encode(), 0),
                    "Orvex_SaveImage %s" % path)

    def frames(self, count=None, timeout=5.0, parent=0, rect=(0, 0, 0, 0), with_info=False):
        """Runs the live preview and yields its frames (shaped as snapshot()'s, each an array
        of its own), the newest one each time: frames that come while the loop body runs are
        skipped, never torn.

        count: stop after this many (None: until the loop ends). timeout: seconds to wait for
        a frame before OrvexError ErrorNoFrame; a frame the library could not read gives a
        RuntimeWarning and the wait goes on. parent, rect: place the library's preview
        window inside a window of the application at (x, y, width, height) (width 0: the
        image's size); by default it is a window of its own. with_info: yield (array,
        FrameInfo) pairs. An unplugged camera raises OrvexError ErrorStreamStopped. The
        preview stops when the loop ends, also by break or an exception. ErrorBusy while a
        preview runs or capture() holds the camera.
        """
        if sys.platform == "win32":
            raise NotImplementedError("frames() needs the OrvexPlatform library (Linux)")
        self._refuse_preview_while_busy("frames")
        # Whatever can fail before the library starts anything fails here, with nothing made.
        x, y, w, h = _rect(rect)
        buffer, width, height, bits = self._frame_buffer()
        handle = self._h("Orvex_CallBackPreview")
        platform = _library.platform()
        window = platform.OrvexPlatform_CreateMessageWindow()
        if not window:
            raise OrvexError(4, "OrvexPlatform_CreateMessageWindow")
        try:
            self._check(self._sdk.Orvex_SetPreviewWindow(handle, parent, x, y, w or width,
                                                         h or height),
                        "Orvex_SetPreviewWindow")
            # A refused preview has nothing to stop: the library undid its own part, and a
            # preview or capture started elsewhere is not this call's to end.
            self._check(self._sdk.Orvex_CallBackPreview(handle, window, None, 0, 0),
                        "Orvex_CallBackPreview", ErrorBusy)
            self._previewing = True
            address = (ctypes.c_char * len(buffer)).from_buffer(buffer)
            try:
                delivered = 0
                while count is None or delivered < count:
                    info = self._next_frame(handle, platform, window, timeout)
                    with _library._call_lock:
                        self._still_open(handle)
                        self._check(self._sdk.Orvex_GetImage(handle, address, len(buffer), 1),
                                    "Orvex_GetImage")
                    image = to_array(buffer, width, height, bits)
                    # The posted record may already describe a newer frame: the size is this
                    # one's.
                    info.width, info.height, info.bitsPerPixel = width, height, bits
                    delivered += 1
                    yield (image, info) if with_info else image
            finally:
                self._previewing = False
                del address
                self._end_preview()
        finally:
            platform.OrvexPlatform_DestroyWindow(window)

    def start_preview(self, frame_window=0, parent=0, rect=(0, 0, 0, 0)):
        """Starts the live preview as the C functions do (Orvex_SetPreviewWindow and
        Orvex_CallBackPreview without a buffer): the library draws into its preview window,
        a child of parent at rect (x, y, width, height; width 0: the image's size) or a window
        of its own, and posts FrameMessage to frame_window (an X window id, or a message
        window). stop_preview() ends it. frames() does all this for you."""
        self._refuse_preview_while_busy("start_preview")
        x, y, w, h = _rect(rect)
        handle = self._h("Orvex_SetPreviewWindow")
        self._check(self._sdk.Orvex_SetPreviewWindow(handle, parent, x, y, w or self.width,
                                                     h or self.height), "Orvex_SetPreviewWindow")
        self._check(self._sdk.Orvex_CallBackPreview(self._h("Orvex_CallBackPreview"),
                                                    frame_window, None, 0, 0),
                    "Orvex_CallBackPreview", ErrorBusy)
        self._previewing = True

    def stop_preview(self):
        """Stops the preview and removes its window. After the stream stopped on an error,
        the library's stop fails with ErrorTransfer; that is not raised here."""
        self._previewing = False
        self._capturing = False
        self._end_preview()

    def _end_preview(self):
        # A handle closed meanwhile took its preview with it.
        with _library._call_lock:
            handle = self._handle
            if handle:
                if not self._sdk.Orvex_StopPreview(handle):
                    # After a dead stream: 0 with ErrorTransfer, which the stream's own error
                    # already told; the code is dropped so that it does not pass for a later
                    # one's.
                    self._sdk.Orvex_GetLastError(handle)
                self._sdk.Orvex_Close(handle)

    def _still_open(self, handle):
        # Called under the call lock: a release frees the frame records that queued messages
        # point at, so nothing of a preview's handle is read once close() ran.
        if self._handle != handle:
            raise OrvexError(ErrorNoDevice, "preview: the camera was closed")

    def _next_frame(self, handle, platform, window, timeout):
        """Waits for a frame message, then takes every message already queued so that the
        newest frame counts; returns a copy of its FrameInfo."""
        message = ctypes.c_uint32()
        wparam = ctypes.c_size_t()
        lparam = ctypes.c_ssize_t()
        info = None
        deadline = time.monotonic() + timeout
        # A closed handle posts nothing more: without this, a loop body that closed the camera
        # would wait out the timeout.
        self._still_open(handle)
        while True:
            # Until a frame came the wait goes on through other messages, failed frames among
            # them (the preview carries on after those); then only what is queued is taken.
            wait = 0 if info is not None else max(0, int((deadline - time.monotonic()) * 1000))
            got = platform.OrvexPlatform_GetMessage(window, wait, ctypes.byref(message),
                                                    ctypes.byref(wparam), ctypes.byref(lparam))
            if not got:
                if info is not None:
                    return info
                self._still_open(handle)  # closed by another thread during the wait
                raise OrvexError(ErrorNoFrame, "no preview frame within %.1f s" % timeout)
            if message.value != FRAME_MESSAGE:
                continue
            if wparam.value:
                with _library._call_lock:
                    self._still_open(handle)
                    info = frame_info_at(wparam.value)
            elif lparam.value == ErrorStreamStopped:
                raise OrvexError(ErrorStreamStopped, "preview")
            else:
                warnings.warn(str(OrvexError(lparam.value, "preview frame")), RuntimeWarning)

    # --- devices and raw access -------------------------------------------------------------

    def device_names(self):
        """Names of the cameras present when this handle was made ("OrvexQX218_01", ...)."""
        names = (ctypes.c_char * 256 * 10)()
        count = self._sdk.Orvex_EnumDevice(self._h("Orvex_EnumDevice"), names)
        return [names[i].value.decode("ascii", "replace") for i in range(max(count, 0))]

    def select_device(self, index):
        """Drives the camera at another index 0..7."""
        if self._previewing:
            raise OrvexError(ErrorBusy, "Orvex_SetDeviceNumber")
        self._check(self._sdk.Orvex_SetDeviceNumber(self._h("Orvex_SetDeviceNumber"), index),
                    "Orvex_SetDeviceNumber %d" % index)

    def read_register(self, address):
        """A 16-bit register 0..255 of the camera's FPGA."""
        ok = ctypes.c_int32()
        value = self._sdk.Orvex_Fpga_ReadRegister(self._h("Orvex_Fpga_ReadRegister"), address,
                                                  ctypes.byref(ok))
        self._check(ok.value, "Orvex_Fpga_ReadRegister")
        return value

    def write_register(self, address, value):
        """Writes a 16-bit register of the camera's FPGA."""
        self._check(self._sdk.Orvex_Fpga_WriteRegister(self._h("Orvex_Fpga_WriteRegister"),
                                                       address, value),
                    "Orvex_Fpga_WriteRegister")

    def read_rom_id(self, index):
        """Identification byte 0..7 of the camera's serial ROM."""
        ok = ctypes.c_int32()
        value = self._sdk.Orvex_ReadSromID(self._h("Orvex_ReadSromID"), index, ctypes.byref(ok))
        self._check(ok.value, "Orvex_ReadSromID")
        return value

    def write_rom_id(self, index, value):
        """Writes identification byte 0..7 of the camera's serial ROM."""
        self._check(self._sdk.Orvex_WriteSromID(self._h("Orvex_WriteSromID"), index, value),
                    "Orvex_WriteSromID")


# brightness, contrast, ..., gray_offset_b: one property a setting.
for _entry in SETTINGS:
    setattr(Camera, _snake(_entry[0]), _setting_property(*_entry))
del _entry


def _integral(value):
    """value as an int when it is an integer of any kind (a numpy one, a bool), else None."""
    try:
        return operator.index(value)
    except TypeError:
        return None


def _rect(rect):
    """(x, y, width, height) as four ints; ParameterError for anything else."""
    try:
        values = [_integral(v) for v in rect]
    except TypeError:
        values = []
    if len(values) != 4 or None in values or not all(_ANY[0] <= v <= _ANY[1] for v in values):
        raise_for(ErrorParameter, "rect %r is not (x, y, width, height)" % (rect,))
    return values


def frame_info_at(address):
    """A copy of the FrameInfo whose address came with a FrameMessage (the library rewrites
    it with the next frame)."""
    return _library.FrameInfo.from_buffer_copy(
        (ctypes.c_char * ctypes.sizeof(_library.FrameInfo)).from_address(address))


def version():
    """The library's version number (0x001F0500)."""
    return _library.sdk().Orvex_GetDllVersion()
