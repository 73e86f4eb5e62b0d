"""Shared by the resampling scripts: finding the peers and our file tool, and
moving raw images between them."""

import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEFAULT_TOOL = os.path.join(ROOT, "build", "native", "benchmarks", "rastelle_resample_tool")

# Debian packages of the peers, and what each brings.
PEER_PACKAGES = ["imagemagick", "python3-pil", "python3-opencv", "libvips-tools", "python3-numpy"]

MODE_NAMES = ["nearest", "bilinear", "hq-bilinear", "bicubic", "hq-bicubic"]


def ensure_peers():
    """Installs the peers with apt-get when they are missing and we are root;
    otherwise says how. Returns normally only when every peer is there."""
    def missing():
        gone = []
        for module, package in (("numpy", "python3-numpy"), ("PIL", "python3-pil"), ("cv2", "python3-opencv")):
            try:
                __import__(module)
            except ImportError:
                gone.append(package)
        if not os.path.exists("/usr/bin/convert") or "ImageMagick" not in _output(["/usr/bin/convert", "-version"]):
            gone.append("imagemagick")
        if not shutil.which("vips"):
            gone.append("libvips-tools")
        return gone

    gone = missing()
    if not gone:
        return
    if os.geteuid() != 0:
        sys.exit("missing peers; install them with: sudo apt-get install -y " + " ".join(PEER_PACKAGES))
    print("installing", " ".join(gone), file=sys.stderr)
    subprocess.run(["apt-get", "install", "-y", "-q"] + PEER_PACKAGES, check=True, stdout=subprocess.DEVNULL)
    if missing():
        sys.exit("peers still missing after apt-get: " + " ".join(missing()))
    os.execv(sys.executable, [sys.executable] + sys.argv)  # import what was just installed


def _output(command):
    try:
        return subprocess.run(command, capture_output=True, text=True).stdout
    except OSError:
        return ""


def ensure_tool(path):
    if not os.path.exists(path):
        sys.exit(f"{path} is missing; build it with: cmake --preset native && cmake --build --preset native "
                 "--target rastelle_resample_tool")
    return path


def scratch_dir():
    """A directory in memory where there is one: the peers read and write files."""
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None
    return tempfile.mkdtemp(prefix="rastelle-resample-", dir=base)


def write_bgra(path, rgba):
    """Writes an RGBA uint8 array (h, w, 4) as our tool reads it: 0xAARRGGBB
    little-endian, bytes B, G, R, A."""
    rgba[..., [2, 1, 0, 3]].tofile(path)


def read_bgra(path, width, height):
    import numpy as np
    bgra = np.fromfile(path, dtype=np.uint8).reshape(height, width, 4)
    return bgra[..., [2, 1, 0, 3]]


def run_tool(tool, src_path, width, height, out_path, out_width, out_height, mode, repeat=1):
    """Runs our kernel; with repeat > 1 returns the fastest run in ms."""
    result = subprocess.run([tool, src_path, str(width), str(height), out_path, str(out_width), str(out_height),
                             str(mode), str(repeat)], check=True, capture_output=True, text=True)
    return float(result.stdout) if repeat > 1 else None
