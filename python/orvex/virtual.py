"""orvex.virtual: the virtual camera's controls (Linux), for tests and demonstrations.

The virtual camera stands in for the camera's USB driver and up to eight cameras behind it. At
load it attaches one camera at index 0 (ORVEX_VIRTUAL_CAMERAS=N attaches N). From Python:

    cam = orvex.virtual.attach(0)      # plugged in (or already there)
    cam.scene = "gray"                 # "chart", "moving", "gray"
    cam.level = 400                    # four times as much light
    cam.fail_requests(pipe=2, count=1) # the next frame read fails
    cam.detach()                       # unplugged
"""

import numpy as np

from . import _library
from .errors import ParameterError, raise_for

#: Built-in scenes.
SCENES = {"chart": 0, "moving": 1, "gray": 2}


def _lib():
    return _library.virtual()


def is_attached(index=0):
    """True when a virtual camera is plugged in at the index."""
    return _lib().OrvexVirtualCamera_IsAttached(index) == 1


def attach(index=0):
    """Plugs a camera in at index 0..7 (a new one in its power-on state, unless one is there
    already) and returns its VirtualCamera."""
    if not is_attached(index) and _lib().OrvexVirtualCamera_Attach(index) != 1:
        raise ParameterError(9, "virtual camera index %r" % (index,))
    return VirtualCamera(index)


def detach(index=0):
    """Unplugs the camera at the index: transfers on it fail from now on. True when one was
    there."""
    return _lib().OrvexVirtualCamera_Detach(index) == 1


def reset():
    """Unplugs every camera and plugs in the start-up set again; returns how many."""
    return _lib().OrvexVirtualCamera_Reset()


class VirtualCamera:
    """The controls of the virtual camera at one index."""

    def __init__(self, index=0):
        self.index = index

    def _ok(self, result, what):
        if result != 1:
            raise_for(9, "virtual camera %d: %s" % (self.index, what))

    @property
    def attached(self):
        """True while plugged in."""
        return is_attached(self.index)

    def detach(self):
        """Unplugs this camera."""
        return detach(self.index)

    def attach(self):
        """Plugs a new camera in at this index (when none is there)."""
        attach(self.index)
        return self

    # --- what the camera sees --------------------------------------------------------------

    @property
    def scene(self):
        raise AttributeError("the scene can be set, not read")

    @scene.setter
    def scene(self, scene):
        """"chart" (colour bars, patches, gray ramp and steps), "moving" or "gray" (or 0..2)."""
        if isinstance(scene, str) and scene not in SCENES:
            raise ParameterError(9, "virtual camera %d: no scene %r" % (self.index, scene))
        number = SCENES.get(scene, scene)
        self._ok(_lib().OrvexVirtualCamera_SetScene(self.index, number), "scene %r" % (scene,))

    def set_color(self, red, green, blue):
        """A flat colour; 0..255 each come out as these 8-bit values at the power-on exposure."""
        self._ok(_lib().OrvexVirtualCamera_SetSceneColor(self.index, red, green, blue), "colour")

    @property
    def level(self):
        raise AttributeError("the level can be set, not read")

    @level.setter
    def level(self, percent):
        """Lighting in percent of the scene's design (0..1000)."""
        self._ok(_lib().OrvexVirtualCamera_SetSceneLevel(self.index, percent), "level")

    def load_image(self, path):
        """Shows a PNG file, scaled to cover the sensor."""
        self._ok(_lib().OrvexVirtualCamera_LoadImage(self.index, str(path).encode()),
                 "image %s" % path)

    def set_raster(self, samples):
        """Sends exactly these samples from now on: a 2-D array of lines x samples in sending
        order (1320 samples a line covers the whole line), uint8 (8-bit values) or uint16
        (10-bit values). None returns to the scene."""
        if samples is None:
            self._ok(_lib().OrvexVirtualCamera_SetRaster(self.index, None, 0, 0, 1), "raster")
            return
        array = np.ascontiguousarray(samples)
        if array.ndim != 2 or array.dtype not in (np.uint8, np.uint16):
            raise ParameterError(9, "a raster is a 2-D uint8 or uint16 array")
        array = array.astype(array.dtype.newbyteorder("<"), copy=False)
        lines, pitch = array.shape
        self._ok(_lib().OrvexVirtualCamera_SetRaster(self.index, array.ctypes.data, pitch, lines,
                                                     array.itemsize), "raster")

    # --- timing and faults ------------------------------------------------------------------

    def set_frame_period(self, microseconds):
        """Microseconds between frames: 0 = a frame whenever one is read, negative = the
        camera's own rhythm (about 30 frames a second)."""
        self._ok(_lib().OrvexVirtualCamera_SetFramePeriod(self.index, microseconds), "period")

    def set_drop_rate(self, percent):
        """Drops this share of frames (0..100)."""
        self._ok(_lib().OrvexVirtualCamera_SetDropRate(self.index, percent), "drop rate")

    def fail_requests(self, pipe, count):
        """The next count requests on pipe 0 (commands), 1 (replies) or 2 (frames) fail."""
        self._ok(_lib().OrvexVirtualCamera_FailRequests(self.index, pipe, count), "faults")

    def short_frames(self, count):
        """The next count frame reads deliver half a frame."""
        self._ok(_lib().OrvexVirtualCamera_ShortFrames(self.index, count), "short frames")

    # --- what the camera holds --------------------------------------------------------------

    @property
    def frames_sent(self):
        """Whole frames delivered since attach."""
        return _lib().OrvexVirtualCamera_FramesSent(self.index)

    @property
    def frames_dropped(self):
        """Frames dropped since attach."""
        return _lib().OrvexVirtualCamera_FramesDropped(self.index)

    @property
    def sample_width(self):
        """Bytes a sample the camera sends now: 1 or 2."""
        return _lib().OrvexVirtualCamera_GetSampleWidth(self.index)

    def register(self, address):
        """An FPGA register as the camera holds it (0x52 is the exposure)."""
        return _lib().OrvexVirtualCamera_GetRegister(self.index, address)

    def set_register(self, address, value):
        """Sets an FPGA register directly."""
        self._ok(_lib().OrvexVirtualCamera_SetRegister(self.index, address, value), "register")

    def rom_byte(self, address):
        """A byte of the serial ROM (identification bytes 8..15)."""
        return _lib().OrvexVirtualCamera_GetRomByte(self.index, address)

    def packet_count(self, opcode=-1):
        """Command packets received with this opcode (-1: any) since attach."""
        return _lib().OrvexVirtualCamera_PacketCount(self.index, opcode)
