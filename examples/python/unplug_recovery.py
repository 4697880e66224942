"""unplug_recovery: what an application does when the camera is unplugged, and how it goes on
once it is back.

    python3 unplug_recovery.py [--simulate]

A snapshot from an unplugged camera raises OrvexError ErrorNoFrame; a preview ends with
ErrorStreamStopped. A handle knows the cameras present when it was made, so the way back is a
new Camera. --simulate unplugs the virtual camera where a person would pull the cable and
plugs it in again while the program waits for it."""

import sys
import time

import orvex

SIMULATE = "--simulate" in sys.argv[1:]


def pull_the_cable():
    if SIMULATE:
        orvex.virtual.detach(0)


def open_camera(timeout=10.0):
    """A Camera as soon as one is plugged in."""
    deadline = time.monotonic() + timeout
    tries = 0
    while True:
        if SIMULATE and tries == 2:
            orvex.virtual.attach(0)  # ... and here the person plugs it in again
        tries += 1
        try:
            camera = orvex.Camera(0)
            camera.color_mode = 8
            camera.geometry = orvex.Geometry.centered(640, 480)
            camera.wait_time = 1
            return camera
        except orvex.OrvexError as error:
            if error.name != "ErrorDeviceNotFound" or time.monotonic() > deadline:
                raise
            time.sleep(0.2)


def main():
    recovered = snapshots = frames = 0
    camera = open_camera()
    for i in range(10):
        if i == 3:
            pull_the_cable()
        try:
            camera.snapshot()
            snapshots += 1
        except orvex.OrvexError as error:
            print("snapshot failed: %s; opening the camera again" % error.name)
            camera.close()
            camera = open_camera()
            recovered += 1

    while frames < 40:
        try:
            for _ in camera.frames(count=40 - frames):
                frames += 1
                if frames == 10:
                    pull_the_cable()
        except orvex.OrvexError as error:
            if error.name != "ErrorStreamStopped":
                raise
            print("preview stopped: %s; opening the camera again" % error.name)
            camera.close()
            camera = open_camera()
            recovered += 1
    camera.close()
    print("%d snapshots, %d preview frames, %d recoveries" % (snapshots, frames, recovered))
    return 0 if not SIMULATE or recovered == 2 else 1


if __name__ == "__main__":
    sys.exit(main())
