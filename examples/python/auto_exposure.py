"""auto_exposure: the library steers the exposure until the picture is neither too dark nor
too bright.

    python3 auto_exposure.py [--simulate]

Every third frame is measured; a larger exposure value gives a darker picture, so a bright
scene raises it (within 0..255). --simulate gives the virtual camera's scene four times its
light first."""

import sys

import orvex


def main():
    if "--simulate" in sys.argv[1:]:
        orvex.virtual.attach(0).level = 400
    with orvex.Camera(0) as camera:
        camera.color_mode = 8
        camera.geometry = orvex.Geometry.centered(640, 480)
        camera.exposure_time = 40
        camera.auto_exposure = True
        last, steady = None, 0
        for frame in range(1, 91):
            level = camera.snapshot().mean()
            exposure = camera.exposure_time  # read from the camera
            print("frame %2d: exposure %3d, mean level %5.1f" % (frame, exposure, level))
            steady = steady + 1 if exposure == last else 0
            last = exposure
            if steady == 9:  # three measurements left it alone
                print("settled at exposure", exposure)
                camera.auto_exposure = False
                return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
