"""`pip install ./python` works without a package index, and the installed package finds the
libraries placed beside it."""

import os
import shutil
import subprocess
import sys

import orvex
from orvex import _library

PYTHON_FOLDER = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def test_pip_installs_offline_and_finds_libraries_beside_the_package(tmp_path):
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)],
                   check=True)
    python = str(venv / "bin" / "python")
    subprocess.run([python, "-m", "pip", "install", "--no-index", "--quiet", PYTHON_FOLDER],
                   check=True, env=dict(os.environ, PIP_DISABLE_PIP_VERSION_CHECK="1"))
    where = subprocess.run([python, "-c", "import orvex, os; print(os.path.dirname(orvex.__file__))"],
                           check=True, capture_output=True, text=True, cwd=str(tmp_path))
    installed = where.stdout.strip()
    assert installed.startswith(str(venv))

    # The libraries beside the package's modules, as an installed package keeps them.
    for kind in ("sdk", "virtual", "platform"):
        shutil.copy(_library.load(kind)._name, installed)
    env = {k: v for k, v in os.environ.items() if k not in ("ORVEX_LIB_DIR", "LD_LIBRARY_PATH")}
    check = ("import orvex, orvex._library as l\n"
             "print(l.sdk()._name)\n"
             "with orvex.Camera() as c: print(c.snapshot().shape)\n")
    out = subprocess.run([python, "-c", check], capture_output=True, text=True, env=env,
                         cwd=str(tmp_path))
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines() == [os.path.join(installed, "libOrvexSdk_QX218.so"),
                                       "(1024, 1280, 3)"]
    assert orvex.version() == 0x001F0500
