"""The snapshot examples in C and Python write the same top-down colour picture."""

import os
import struct
import subprocess
import sys
import zlib

import numpy as np
import pytest

EXAMPLES = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(
    __file__)))), "examples")


def read_png(path):
    """The pixels of an 8-bit RGB, non-interlaced PNG as (height, width, 3)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 2, 0)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = np.frombuffer(zlib.decompress(idat), np.uint8).reshape(height, 1 + width * 3)
    rows = []
    previous = [0] * (width * 3)
    for y in range(height):  # undo the row filters (the writers may use any), on plain lists
        kind, line = raw[y, 0], raw[y, 1:].tolist()
        if kind == 0:
            row = line
        elif kind == 2:
            row = [(v + u) & 0xFF for v, u in zip(line, previous)]
        else:
            row = [0] * (width * 3)
            for x, v in enumerate(line):
                left = row[x - 3] if x >= 3 else 0
                up = previous[x]
                if kind == 1:
                    predictor = left
                elif kind == 3:
                    predictor = (left + up) // 2
                else:
                    upleft = previous[x - 3] if x >= 3 else 0
                    p = left + up - upleft
                    pa, pb, pc = abs(p - left), abs(p - up), abs(p - upleft)
                    predictor = left if pa <= pb and pa <= pc else up if pb <= pc else upleft
                row[x] = (v + predictor) & 0xFF
        rows.append(row)
        previous = row
    return np.array(rows, dtype=np.uint8).reshape(height, width, 3)


def snapshot(command, path):
    subprocess.run(command + [str(path), "640", "480"], check=True, capture_output=True,
                   env=dict(os.environ, PYTHONPATH=os.path.dirname(os.path.dirname(
                       os.path.abspath(__file__)))))
    return read_png(path)


def test_python_snapshot_is_top_down_colour(tmp_path):
    image = snapshot([sys.executable, os.path.join(EXAMPLES, "python", "snapshot.py")],
                     tmp_path / "py.png")
    assert image.shape == (480, 640, 3)
    # The test chart has colour bars at the top and gray steps at the bottom.
    spread = image.max(axis=2) - image.min(axis=2)
    assert spread[10:40, 10:-10].mean() > 60
    assert spread[-40:-10, 10:-10].mean() < 20


def test_c_snapshot_matches_the_python_one(tmp_path):
    folder = os.environ.get("ORVEX_EXAMPLES_DIR")
    if not folder:
        pytest.skip("ORVEX_EXAMPLES_DIR names the built examples")
    c = snapshot([os.path.join(folder, "snapshot")], tmp_path / "c.png")
    py = snapshot([sys.executable, os.path.join(EXAMPLES, "python", "snapshot.py")],
                  tmp_path / "py.png")
    assert np.array_equal(c, py)
