"""Starts rastelle-devhost.exe under Wine for a test and talks HTTP to it."""

import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def equal(actual, expected, what):
    check(actual == expected, f"{what}: expected {expected!r}, got {actual!r}")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Host:
    """The host serving `site` on a free loopback port, for a with-block."""

    def __init__(self, wine_env, prefix, exe, site, log, *args):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.command = ["bash", wine_env, prefix, "run", exe, "--port", str(self.port),
                        "--site", windows_path(site), *args]
        self.log = log

    def __enter__(self):
        self.log_file = open(self.log, "wb")
        self.process = subprocess.Popen(self.command, stdout=self.log_file, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL, start_new_session=True)
        deadline = time.time() + 60
        while time.time() < deadline:
            check(self.process.poll() is None, "the host ended at start-up; see " + self.log)
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return self
            except OSError:
                time.sleep(0.3)
        raise RuntimeError("the host did not start listening within 60 s")

    def __exit__(self, *exc):
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()
        self.log_file.close()

    def raw(self, data, timeout=30, shut=True):
        """Sends bytes, returns everything the host answers until it closes."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(data)
            if shut:
                s.shutdown(socket.SHUT_WR)
            chunks = []
            try:
                while chunk := s.recv(65536):
                    chunks.append(chunk)
            except ConnectionResetError:
                pass
            return b"".join(chunks)

    def request(self, method, target, body=b"", headers=None, timeout=30):
        """(status, headers as a lower-cased dict, body) of one request; a
        Host in headers replaces the host's own."""
        headers = dict(headers or {})
        head = f"{method} {target} HTTP/1.1\r\nHost: {headers.pop('Host', f'127.0.0.1:{self.port}')}\r\n"
        head += "".join(f"{name}: {value}\r\n" for name, value in headers.items())
        if body or method == "POST":
            head += f"Content-Length: {len(body)}\r\n"
        data = self.raw(head.encode() + b"\r\n" + body, timeout)
        head, _, body = data.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        check(lines[0].startswith("HTTP/1.1 "), "not an HTTP response: %r" % data[:80])
        fields = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            fields.setdefault(name.strip().lower(), value.strip())
        if "content-length" in fields and method != "HEAD":
            equal(len(body), int(fields["content-length"]), "body length against Content-Length")
        return int(lines[0].split(" ")[1]), fields, body

    def get(self, target, **kw):
        return self.request("GET", target, **kw)


def multipart(fields, files, boundary="----devhost-test-7f3a"):
    body = b""
    for name, value in fields.items():
        body += f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"\r\n\r\n{value}\r\n'.encode()
    for name, (file_name, content_type, data) in files.items():
        body += (f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"; filename="{file_name}"\r\n'
                 f"Content-Type: {content_type}\r\n\r\n").encode() + data + b"\r\n"
    return body + f"--{boundary}--\r\n".encode(), f"multipart/form-data; boundary={boundary}"


def make_png(width, height, rgb):
    """An opaque RGBA PNG of `rgb`, three bytes a pixel, row by row."""
    rows = b"".join(b"\0" + b"".join(rgb[i:i + 3] + b"\xff" for i in range(y * width * 3, (y + 1) * width * 3, 3))
                    for y in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))


def jpeg_size(data):
    """(width, height) from a JPEG's start-of-frame marker."""
    pos = 2
    while pos + 9 < len(data):
        if 0xC0 <= data[pos + 1] <= 0xC3:
            height, width = struct.unpack(">HH", data[pos + 5:pos + 9])
            return width, height
        pos += 2 + struct.unpack(">H", data[pos + 2:pos + 4])[0]
    raise AssertionError("no frame header in the JPEG")


def copy_site(source, target):
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(source, target)


def run_tests(name, groups):
    """Runs (tests, args) groups, prints ok / not ok lines and a summary;
    the exit code."""
    failed = passed = 0
    for tests, args in groups:
        for test in tests:
            started = time.time()
            try:
                test(*args)
                passed += 1
                print(f"ok - {test.__name__} ({time.time() - started:.1f} s)", flush=True)
            except Exception as e:  # every failure is reported, the rest still run
                failed += 1
                print(f"not ok - {test.__name__}: {type(e).__name__}: {e}", flush=True)
    print(f"{name}: {passed} passed, {failed} failed")
    return 1 if failed else 0
