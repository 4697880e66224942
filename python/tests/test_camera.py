"""orvex.Camera against the virtual camera."""

import subprocess
import sys

import numpy as np
import pytest

import orvex

SHAPES = {8: ((20, 42), np.uint8), 16: ((20, 42), np.uint16), 24: ((20, 42, 3), np.uint8),
          32: ((20, 42, 4), np.uint8), 48: ((20, 42, 3), np.uint16), 64: ((20, 42, 4), np.uint16)}


def code_of(action):
    with pytest.raises(orvex.OrvexError) as raised:
        action()
    return raised.value.name


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
            seen += 1
        assert seen == 5
        assert camera.snapshot().shape == (32, 64)  # the preview stopped with the loop

        frames = camera.frames()
        next(frames)
        fresh_camera.detach()
        assert code_of(lambda: [None for _ in frames]) == "ErrorStreamStopped"


def test_missing_libraries_are_named(tmp_path):
    script = ("import os, sys; sys.path.insert(0, %r); os.environ['ORVEX_LIB_DIR'] = %r\n"
              "import orvex\n"
              "try:\n    orvex.Camera()\nexcept orvex.LibraryNotFoundError as e:\n"
              "    print('missing', e)\n" % (orvex.__path__[0] + "/..", str(tmp_path)))
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                         env={"PATH": "/usr/bin:/bin", "LD_LIBRARY_PATH": ""})
    assert "missing cannot load Orvex" in out.stdout, out.stderr
