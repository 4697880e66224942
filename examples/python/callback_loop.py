"""callback_loop: the live preview, frame after frame, with the frame rate.

    python3 callback_loop.py [FRAMES]

Camera.frames() runs the preview and yields the newest frame each time round the loop;
frames that come while the loop body runs are skipped. The preview stops when the loop ends.
The library also draws every frame into its own preview window."""

import sys
import time

import orvex


def main():
    wanted = int(sys.argv[1]) if len(sys.argv) > 1 else 100
    with orvex.Camera(0) as camera:
        camera.color_mode = 8  # gray
        start = time.monotonic()
        count = 0
        for image, info in camera.frames(count=wanted, with_info=True):
            count += 1
            if count % 25 == 0:
                print("frame %d: %s, middle row mean %.0f, %.1f frames/s"
                      % (count, image.shape, image[image.shape[0] // 2].mean(),
                         info.frameRate / 10))
        elapsed = time.monotonic() - start
    print("%d frames in %.2f s: %.1f frames/s" % (count, elapsed, count / elapsed))
    return 0 if count == wanted else 1


if __name__ == "__main__":
    sys.exit(main())
