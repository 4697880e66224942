"""opencv_view: live frames shown with cv2.imshow (python3-opencv).

    python3 opencv_view.py [FRAMES]

Colour mode 32 arrays are (height, width, 4) blue, green, red, spare: OpenCV's BGRA."""

import sys

import cv2

import orvex


def main():
    wanted = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    with orvex.Camera(0) as camera:
        camera.color_mode = 32
        camera.geometry = orvex.Geometry.centered(640, 480)
        shown = 0
        for image in camera.frames(count=wanted):
            cv2.imshow("opencv_view.py", image)
            shown += 1
            if cv2.waitKey(1) == 27:  # Esc
                break
    print("%d frames" % shown)
    return 0


if __name__ == "__main__":
    sys.exit(main())
