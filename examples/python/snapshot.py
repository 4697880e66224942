"""snapshot: one colour frame from the camera into a PNG file.

    python3 snapshot.py [FILE.png [WIDTH HEIGHT]]

Colour mode 32 gives the colour picture (24 is a false-colour map of the raw samples); the
array comes top row first with channels blue, green, red, spare. A size other than the full
1280 x 1024 is a window in the middle of the sensor (Geometry.centered)."""

import struct
import sys
import zlib

import orvex


def write_png(path, rgb):
    """An 8-bit RGB PNG of an (height, width, 3) uint8 array, with nothing but zlib."""
    height, width, _ = rgb.shape
    raw = b"".join(b"\x00" + row.tobytes() for row in rgb)  # filter type 0 on every row

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "snapshot.png"
    width, height = (int(sys.argv[2]), int(sys.argv[3])) if len(sys.argv) > 3 else (1280, 1024)
    try:
        with orvex.Camera(0) as camera:
            camera.color_mode = 32
            camera.geometry = orvex.Geometry.centered(width, height)
            bgrx = camera.snapshot()
    except orvex.OrvexError as error:  # error.name, e.g. ErrorNoFrame for an unplugged camera
        print("snapshot:", error, file=sys.stderr)
        return 1
    write_png(path, bgrx[:, :, 2::-1].copy())  # blue, green, red -> red, green, blue
    print("%s: %d x %d" % (path, width, height))
    return 0


if __name__ == "__main__":
    sys.exit(main())
