"""orvex.Camera against the virtual camera."""

import os
import subprocess
import sys

import numpy as np
import pytest

import orvex
from orvex.errors import ErrorFrameRead

SHAPES = {8: ((20, 42), np.uint8), 16: ((20, 42), np.uint16), 24: ((20, 42, 3), np.uint8),
          32: ((20, 42, 4), np.uint8), 48: ((20, 42, 3), np.uint16), 64: ((20, 42, 4), np.uint16)}


def code_of(action):
    with pytest.raises(orvex.OrvexError) as raised:
        action()
    return raised.value.name


def store_setting(line, replacement):
    """Rewrites one line of the settings file that a first run writes."""
    orvex.Camera().close()
    path = os.path.join(os.environ["XDG_CONFIG_HOME"], "Helvane", "OrvexQX218Sdk.reg")
    with open(path, newline="") as f:
        text = f.read()
    assert line in text
    with open(path, "w", newline="") as f:
        f.write(text.replace(line, replacement))


class MessageWindows:
    """The platform library as frames() sees it, keeping the message windows made and not yet
    destroyed."""

    def __init__(self, platform):
        self._platform = platform
        self.open = []

    def __getattr__(self, name):
        return getattr(self._platform, name)

    def OrvexPlatform_CreateMessageWindow(self):
        window = self._platform.OrvexPlatform_CreateMessageWindow()
        self.open.append(window)
        return window

    def OrvexPlatform_DestroyWindow(self, window):
        self.open.remove(window)
        return self._platform.OrvexPlatform_DestroyWindow(window)


@pytest.fixture
def message_windows(monkeypatch):
    windows = MessageWindows(orvex._library.platform())
    monkeypatch.setattr(orvex._library, "platform", lambda: windows)
    return windows


def test_handle_lives_as_long_as_the_with_block():
    with orvex.Camera() as camera:
        handle = camera.handle
        assert handle != 0 and camera.device_names() == ["OrvexQX218_01"]
    assert camera.handle == 0
    assert code_of(lambda: camera.width) == "ErrorNoDevice"
    assert code_of(lambda: orvex.Camera(3)) == "ErrorDeviceNotFound"


@pytest.mark.parametrize("bits", sorted(SHAPES))
def test_snapshot_shapes_and_dtypes(bits):
    with orvex.Camera() as camera:
        camera.color_mode = bits
        camera.geometry = orvex.Geometry.centered(42, 20)
        image = camera.snapshot()
        shape, dtype = SHAPES[bits]
        assert image.shape == shape and image.dtype == dtype and image.flags.c_contiguous
        if dtype == np.uint16:
            assert image.max() <= 1023


def test_rows_top_first_and_channels_blue_green_red(fresh_camera):
    raster = np.repeat(np.arange(1, 65, dtype=np.uint8)[:, None], 1320, axis=1)
    fresh_camera.set_raster(raster)
    with orvex.Camera() as camera:
        camera.color_mode = 8
        camera.geometry = orvex.Geometry(1320, 39, 1280, 1024, 4, 48)
        image = camera.snapshot()
        assert list(image[:, 100]) == list(range(5, 53))

        fresh_camera.set_color(200, 100, 40)
        camera.color_mode = 32
        camera.geometry = orvex.Geometry.centered(64, 64)
        blue, green, red, _ = camera.snapshot()[32, 32].astype(int)
        assert abs(blue - 40) <= 3 and abs(green - 100) <= 3 and abs(red - 200) <= 3


def test_geometry_and_the_size_table():
    with orvex.Camera() as camera:
        assert camera.geometry == orvex.Geometry.full()
        assert code_of(lambda: camera.set_capture_size(640, 480)) == "ErrorNotInSizeTable"
        camera.geometry = orvex.Geometry.centered(640, 480)
        assert (camera.width, camera.height, camera.stride) == (640, 480, 3 * 640)
        with pytest.raises(orvex.OrvexError) as raised:
            camera.geometry = (1320, 39, 1282, 1024, 0, 1024)
        assert raised.value.name == "ErrorGeometry"
        # A refused geometry stays stored: frames sized from it fail as it did, without trying
        # to make room for a size no accepted geometry has.
        for refused in [(1320, 39, -8, 1024, 0, 1024), (1320, 39, 2**31 - 1, 1024, 0, 1024),
                        (1320, 39, 1280, 1024, 0, 2**20)]:
            assert code_of(lambda: setattr(camera, "geometry", refused)) == "ErrorGeometry"
            assert code_of(camera.snapshot) == "ErrorGeometry"
            assert code_of(camera.last_image) == "ErrorGeometry"
            assert code_of(lambda: next(camera.frames(1))) == "ErrorGeometry"
        with pytest.raises(orvex.ParameterError):
            camera.color_mode = 12


def test_every_setting_is_a_property_with_its_range_checked():
    with orvex.Camera() as camera:
        for name, ident, low, high in orvex.SETTINGS:
            prop = orvex.camera._snake(name)
            if (low, high) == (-(2**31), 2**31 - 1):
                continue
            for value in (low, high):
                setattr(camera, prop, value)
                assert getattr(camera, prop) == value, name
            for bad in (low - 1, high + 1):
                with pytest.raises(orvex.ParameterError):
                    setattr(camera, prop, bad)
            assert camera.get_setting(ident) == high, name
        camera.bayer_gain_rgb = 0x01402010
        assert camera.get_setting("BayerGainRed") == 16
        camera.bayer_gain_auto = 5
        assert camera.bayer_gain_auto == 1


def test_settings_take_integers_of_any_kind():
    with orvex.Camera() as camera:
        camera.gamma = np.int64(110)
        assert camera.gamma == 110
        camera.set_setting(np.int32(11), np.uint8(120))
        assert camera.get_setting(np.int16(11)) == 120
        camera.bayer_mode = True
        assert camera.bayer_mode == 1
        for bad in (110.0, np.float64(110), "110", None, np.int64(201)):
            with pytest.raises(orvex.ParameterError):
                camera.gamma = bad
        assert camera.gamma == 120


def test_numbers_beyond_32_bits_are_refused_not_wrapped():
    # ctypes would pass 2**32 + 640 as 640, which the library accepts.
    with pytest.raises(orvex.ParameterError):
        orvex.Camera(2**32)
    with orvex.Camera() as camera:
        before = camera.geometry
        with pytest.raises(orvex.ParameterError):
            camera.geometry = (1320, 39, 2**32 + 640, 1024, 0, 480)
        with pytest.raises(orvex.ParameterError):
            camera.write_register(0x1_0000_0052, 77)
        assert camera.geometry == before
    cam = orvex.virtual.VirtualCamera(0)
    for bad in ("level", 5000), ("level", 2**32 + 100), ("scene", "bogus"):
        with pytest.raises(orvex.ParameterError):
            setattr(cam, *bad)


def test_last_error_takes_the_codes_of_calls_through_the_handle_newest_first():
    sdk = orvex._library.sdk()
    with orvex.Camera() as camera:
        assert camera.last_error() == 0
        sdk.Orvex_SetColorMode(camera.handle, 12)
        sdk.Orvex_SetCaptureWindowEx(camera.handle, 1320, 39, 1282, 1024, 0, 1024)
        assert [camera.last_error() for _ in range(3)] == [7, 9, 0]


def test_larger_exposure_is_darker_and_auto_exposure_raises_it(fresh_camera):
    fresh_camera.scene = "gray"
    with orvex.Camera() as camera:
        camera.color_mode = 8
        camera.exposure_time = 40
        normal = camera.snapshot().mean()
        camera.exposure_time = 80
        assert camera.snapshot().mean() < normal * 0.6
        camera.exposure_time = 40
        fresh_camera.level = 400
        camera.auto_exposure = True
        for _ in range(30):
            camera.snapshot()
        assert camera.exposure_time > 100 and camera.snapshot().mean() < 200


def test_failed_reads_raise(fresh_camera):
    with orvex.Camera() as camera:
        camera.geometry = orvex.Geometry.centered(64, 64)
        # A short frame and a failed read both end the read without a code of the library's.
        fresh_camera.short_frames(1)
        assert code_of(camera.snapshot) == "ErrorNoFrame"
        fresh_camera.fail_requests(2, 1)
        assert code_of(camera.snapshot) == "ErrorNoFrame"
        camera.snapshot()
        fresh_camera.detach()
        assert code_of(camera.snapshot) == "ErrorNoFrame"


def test_frames_iterates_the_preview(fresh_camera):
    with orvex.Camera() as camera:
        camera.color_mode = 16
        camera.geometry = orvex.Geometry.centered(64, 32)
        camera.wait_time = 1
        seen = 0
        for image, info in camera.frames(count=5, with_info=True):
            assert image.shape == (32, 64) and image.dtype == np.uint16
            assert (info.width, info.height, info.bitsPerPixel) == (64, 32, 16)
            assert code_of(camera.snapshot) == "ErrorBusy"
            # The preview's stream is not a capture to stop: the frames go on.
            assert code_of(camera.stop_capture) == "ErrorBusy"
            seen += 1
        assert seen == 5
        assert camera.snapshot().shape == (32, 64)  # the preview stopped with the loop


@pytest.mark.parametrize("end, error", [("unplug", "ErrorStreamStopped"),
                                        ("close", "ErrorNoDevice")])
def test_frames_end_when_the_camera_goes(fresh_camera, message_windows, end, error):
    with orvex.Camera() as camera:
        camera.geometry = orvex.Geometry.centered(64, 32)
        camera.wait_time = 0
        frames = camera.frames()
        next(frames)
        if end == "unplug":
            fresh_camera.detach()
        else:
            # The frame messages still queued point into what the release frees.
            camera.close()
        assert code_of(lambda: [None for _ in frames]) == error
        assert message_windows.open == []


@pytest.mark.parametrize("width", [64, 42])  # rows without and with padding to the stride
def test_frames_keep_their_pixels_when_later_ones_come(fresh_camera, width):
    fresh_camera.scene = "moving"
    with orvex.Camera() as camera:
        camera.color_mode = 8
        camera.geometry = orvex.Geometry.centered(width, 32)
        frames = list(camera.frames(count=4))
        kept = [frame.copy() for frame in frames]
        camera.snapshot()
        assert all(np.array_equal(frame, copy) for frame, copy in zip(frames, kept))
        assert not all(np.array_equal(frames[0], frame) for frame in frames[1:])


def test_frames_wait_on_after_a_failed_frame(message_windows):
    with orvex.Camera() as camera:
        camera.geometry = orvex.Geometry.centered(64, 32)
        camera.wait_time = 200  # the next frame comes well after the failure posted below
        frames = camera.frames(timeout=5.0)
        next(frames)
        (window,) = message_windows.open
        # What the library posts for a frame it could not read, carrying on with the preview.
        message_windows.OrvexPlatform_PostMessage(window, orvex.FRAME_MESSAGE, 0, ErrorFrameRead)
        with pytest.warns(RuntimeWarning, match="ErrorFrameRead"):
            assert next(frames).shape == (32, 64, 3)
        frames.close()
        assert message_windows.open == []


@pytest.mark.parametrize("before, arguments, error", [
    ("capture", {}, "ErrorBusy"),
    ("capture through the handle", {"rect": (0, 0, 1.5, 0)}, "ErrorParameter"),
    ("capture through the handle", {"rect": (0, 0, 64)}, "ErrorParameter"),
    ("close", {}, "ErrorNoDevice"),
])
def test_frames_that_cannot_start_leave_everything_as_it_was(message_windows, before, arguments,
                                                              error):
    sdk = orvex._library.sdk()
    camera = orvex.Camera()
    camera.geometry = orvex.Geometry.centered(64, 32)
    if before == "capture":
        camera.capture()
    elif before == "capture through the handle":
        assert sdk.Orvex_Capture(camera.handle) == 1
    else:
        camera.close()
    assert code_of(lambda: next(camera.frames(**arguments))) == error
    assert message_windows.open == []
    if camera.handle:
        # Orvex_StartPreview refuses only while a capture is prepared.
        assert sdk.Orvex_StartPreview(camera.handle) == 0
    camera.close()


@pytest.mark.parametrize("sub_sample, bits", [(1, 8), (2, 32)])
def test_stored_sub_sampling_divides_the_image_size(sub_sample, bits):
    store_setting('"SubSample"=dword:00000000', '"SubSample"=dword:%08x' % sub_sample)
    divisor = 2**sub_sample
    size = (64 // divisor, 128 // divisor)
    with orvex.Camera() as camera:
        camera.color_mode = bits
        camera.geometry = orvex.Geometry.centered(128, 64)
        assert camera.snapshot().shape[:2] == size
        assert [frame.shape[:2] for frame in camera.frames(count=2)] == [size, size]
        assert (camera.height, camera.width, camera.sub_sample) == size + (sub_sample,)
        assert camera.stride == orvex.stride_for(size[1], bits)


def test_a_stored_geometry_out_of_range_warns_and_opens_on_the_full_picture():
    # EHS 41 puts the window's end at 1321, one sample past the line.
    store_setting('"EHS"=dword:00000027', '"EHS"=dword:00000029')
    for _ in range(2):  # releasing does not rewrite the entry: every opening meets it
        with pytest.warns(RuntimeWarning, match="ErrorGeometry"):
            camera = orvex.Camera()
        with camera:
            assert camera.geometry == orvex.Geometry.full()
            camera.color_mode = 8
            assert camera.snapshot().shape == (1024, 1280)


def test_missing_libraries_are_named(tmp_path):
    script = ("import os, sys; sys.path.insert(0, %r); os.environ['ORVEX_LIB_DIR'] = %r\n"
              "import orvex\n"
              "try:\n    orvex.Camera()\nexcept orvex.LibraryNotFoundError as e:\n"
              "    print('missing', e)\n" % (orvex.__path__[0] + "/..", str(tmp_path)))
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                         env={"PATH": "/usr/bin:/bin", "LD_LIBRARY_PATH": ""})
    assert "missing cannot load Orvex" in out.stdout, out.stderr
