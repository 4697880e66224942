"""Shared set-up: the package from this folder, the libraries of the build tree (or
ORVEX_LIB_DIR), settings in a private folder, and a fresh virtual camera for every test."""

import os
import sys
import tempfile

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.dirname(HERE))

if not os.environ.get("ORVEX_LIB_DIR"):
    build = os.path.join(REPOSITORY, "build", "default")
    os.environ["ORVEX_LIB_DIR"] = os.pathsep.join(
        os.path.join(build, folder) for folder in ("src", "virtual_camera", "platform_lib"))
# The library fixes its settings file at first use: one private folder for the session, the
# file itself removed before each test. Previews land on the headless screen.
SETTINGS_HOME = tempfile.mkdtemp(prefix="orvex-pytest-")
os.environ["XDG_CONFIG_HOME"] = SETTINGS_HOME
os.environ.pop("DISPLAY", None)

import orvex  # noqa: E402  (after the environment above)


@pytest.fixture(autouse=True)
def fresh_camera():
    """Settings as on a first run and one virtual camera at index 0 in its power-on state,
    delivering frames as fast as they are read."""
    settings = os.path.join(SETTINGS_HOME, "Helvane", "OrvexQX218Sdk.reg")
    if os.path.exists(settings):
        os.remove(settings)
    for index in range(8):
        orvex.virtual.detach(index)
    camera = orvex.virtual.attach(0)
    camera.set_frame_period(0)
    yield camera
