"""HTTP tests of rastelle-devhost.exe over loopback, under Wine.

    python3 devhost_test.py WINE_ENV PREFIX EXE WORK_DIR
"""

import concurrent.futures
import os
import random
import sys
import time
import urllib.parse

from hostlib import HERE, Host, Runner, check, copy_site, equal, make_png, multipart

MAX_REQUEST_MB = 8


def lines(body):
    return dict(line.split("=", 1) for line in body.decode("utf-8").split("\n") if "=" in line)


def fields(values, expected, what):
    """The named fields of an answer, compared at once."""
    equal({name: values.get(name) for name in expected}, expected, what)


def test_static_files(host):
    status, headers, body = host.get("/note.txt")
    equal((status, headers["content-type"], body), (200, "text/plain; charset=utf-8", b"plain text\n"), "text file")
    status, headers, _ = host.get("/picture.png")
    equal((status, headers["content-type"]), (200, "image/png"), "image type")
    status, headers, body = host.request("HEAD", "/style.css")
    equal((status, headers["content-type"], headers["content-length"], body), (200, "text/css", "7", b""), "HEAD")
    equal(host.get("/no-such-file.txt")[0], 404, "missing file")
    status, headers, _ = host.get("/sub?x=1")
    equal((status, headers.get("location")), (301, "/sub/?x=1"), "folder without its slash")
    status, _, body = host.get("/sub/")
    equal((status, body), (200, b"<p>sub folder default</p>\n"), "folder's default document")
    equal(host.request("POST", "/note.txt", b"x")[0], 405, "POST to a static file")
    # Paths that try to leave the site, however spelled.
    for target in ["/../secret", "/sub/../../secret", "/%2e%2e/secret", "/sub%5c..%5c..%5csecret", "/C:/windows"]:
        equal(host.get(target)[0], 400, target)


def test_query_strings_forms_and_cookies(host):
    query = "name=J%C3%BCrgen+M&tag=a&tag=b&plain=1%2B1%3D2&empty="
    status, _, body = host.get("/echo.asp?" + query, headers={"Cookie": "theme=dark; id=42", "User-Agent": "tester/1"})
    equal(status, 200, "status")
    # The collection's own text; UTF-8, '+' and escapes decoded; repeated names
    # joined as ASP does; Request(name) searches the query string first; a
    # missing name reads as empty; HTTP_ server variables and SCRIPT_NAME.
    fields(lines(body), {"query": query, "q:name": "Jürgen M", "q:tag": "a, b", "q:plain": "1+1=2", "q:empty": "",
                         "c:theme": "dark", "c:id": "42", "item": "Jürgen M", "missing": "[]", "agent": "tester/1",
                         "script": "/echo.asp"}, "query string, cookies and server variables")

    form = "name=Form+Value&text=%3Cb%3E%26"
    status, _, body = host.request("POST", "/echo.asp?q=1", form.encode(),
                                   headers={"Content-Type": "application/x-www-form-urlencoded"})
    # Request(name) falls back to the form.
    fields(lines(body), {"method": "POST", "f:name": "Form Value", "f:text": "<b>&", "total": str(len(form)),
                         "item": "Form Value"}, "URL-encoded form")


def test_multipart_upload_of_a_few_megabytes(host):
    # Noise does not compress: about 3.5 MB of PNG, read by the DLL through
    # the upload's stream, so every byte must have arrived in place.
    rng = random.Random(7)
    noise = bytes(rng.getrandbits(8) for _ in range(1100 * 800 * 3))
    def pixel(x, y):
        i = (y * 1100 + x) * 3
        return (noise[i], noise[i + 1], noise[i + 2], 255)
    png = make_png(1100, 800, pixel)
    check(len(png) > 2_000_000, "the upload should be a few megabytes")
    body, content_type = multipart({"title": "holiday"}, {"picture": ("noise.png", "image/png", png)})
    status, _, answer = host.request("POST", "/upload.asp", body, headers={"Content-Type": content_type}, timeout=60)
    equal(status, 200, "status: " + answer.decode("utf-8", "replace")[:300])
    argb = lambda p: "FF%02X%02X%02X" % p[:3]
    fields(lines(answer), {"name": "noise.png", "type": "image/png", "size": str(len(png)), "title": "holiday",
                           "image": "1100x800",
                           "pixels": ",".join(argb(pixel(x, y)) for x, y in [(0, 0), (1099, 799), (550, 400)])},
           "upload fields, decoded size and pixels")


def test_script_errors(host):
    status, _, body = host.get("/error_runtime.asp")
    text = body.decode()
    equal(status, 500, "runtime error status")
    check("VBScript runtime" in text and "error_runtime.asp, line 6" in text, "source and page line: " + text)
    check("a = a / 0" in text, "the failing line is shown")
    check("Division by zero" in text or "division" in text.lower(), "description: " + text)

    status, _, body = host.get("/error_syntax.asp")
    text = body.decode()
    equal(status, 500, "compile error status")
    check("compilation error" in text, "compile errors are named: " + text)

    status, _, body = host.get("/error_unclosed.asp")
    equal(status, 500, "unclosed block")
    check("line 2" in body.decode() and "no closing %&gt;" in body.decode(), "where the block starts")

    status, _, body = host.get("/jscript.asp?n=7")
    equal((status, body), (200, b"js:0,2,4:7\n"), "a JScript page")


def test_response_object(host):
    status, headers, body = host.get("/response.asp?mode=status")
    equal((status, body), (404, b"gone"), "Response.Status")
    status, headers, body = host.get("/response.asp?mode=header")
    equal((headers["x-test"], headers["content-type"]), ("one", "application/json"), "AddHeader and ContentType")
    status, headers, body = host.get("/response.asp?mode=redirect")
    equal((status, headers["location"]), (302, "echo.asp?from=redirect"), "Redirect")
    check(b"dropped" not in body and b"never" not in body, "Redirect clears and ends")
    equal(host.get("/response.asp?mode=end")[2], b"before", "End stops the page")
    equal(host.get("/response.asp?mode=end-resume")[2], b"before", "End holds under On Error Resume Next")
    equal(host.get("/response.asp?mode=clear")[2], b"kept", "Clear")
    status, headers, body = host.get("/response.asp?mode=flush")
    equal((status, body, "content-length" in headers), (200, b"first;second", False), "Flush sends early, no length")
    status, headers, body = host.get("/response.asp?mode=unbuffered")
    equal((body, "content-length" in headers), (b"a;b;clear:80004005", False), "Buffer = False")
    data = bytes(range(256)) * 40
    status, _, body = host.request("POST", "/response.asp?mode=binary", data)
    equal(body, data, "BinaryRead and BinaryWrite round trip")
    equal(host.get("/response.asp?mode=bad-status")[0], 500, "a malformed status is a script error")
    equal(host.get("/response.asp?mode=types")[2], b"True|2.5|||7", "Write converts as VBScript prints")
    equal(host.get("/response.asp?mode=expires")[1].get("expires"), "Wed, 02 Jan 2030 03:04:05 GMT", "ExpiresAbsolute")


def test_server_object(host, site):
    values = lines(host.get("/server.asp")[2])
    root = "Z:" + os.path.abspath(site).replace("/", "\\")
    # MapPath of /, relative to the page and of a rooted path; the encoders;
    # ScriptTimeout from the command line.
    fields(values, {"root": root, "here": root + "\\echo.asp", "sub": root + "\\sub\\page.asp",
                    "html": "&lt;a href=&quot;x&quot;&gt;&amp;&#233;&lt;/a&gt;", "url": "a+b%26c%2Fd%C3%A9",
                    "timeout": "5"}, "Server")
    check(values["outside"].startswith("-2147024809:") and "inside the site" in values["outside"], values["outside"])
    check(values["create"].startswith("800401F3:") and "Server.CreateObject Failed" in values["create"], values["create"])


def test_save_stream_to_response_equals_save_file(host, site):
    # BMP, PNG, TIFF, GIF, JPEG: the bytes of SaveStream Response and of
    # SaveFile of the same opaque picture.
    for file_type in [1, 2, 3, 4, 0]:
        status, _, body = host.get(f"/savestream.asp?type={file_type}")
        equal(status, 200, f"type {file_type}: " + body[:300].decode("latin-1"))
        with open(os.path.join(site, "out", f"saved_{file_type}.bin"), "rb") as f:
            saved = f.read()
        check(len(body) > 100, f"type {file_type}: body of {len(body)} bytes")
        check(body == saved, f"type {file_type}: stream {len(body)} bytes, file {len(saved)} bytes, differ")


def test_concurrent_requests(host):
    # 8 clients x 50 requests, pages and static files mixed: every answer is
    # complete and carries its own request's values.
    def client(c):
        for i in range(50):
            if i % 2:
                status, _, body = host.get(f"/echo.asp?client={c}&i={i}")
                values = lines(body)
                if status != 200 or values.get("q:client") != str(c) or values.get("q:i") != str(i):
                    return f"client {c} request {i}: {status} {body[:120]!r}"
            else:
                status, _, body = host.get("/note.txt")
                if (status, body) != (200, b"plain text\n"):
                    return f"client {c} request {i}: static {status}"
        return None
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        problems = [p for p in pool.map(client, range(8)) if p]
    check(not problems, "; ".join(problems))


def test_malformed_and_oversize_requests(host):
    def status_of(data, shut=True):
        answer = host.raw(data, shut=shut)
        return int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/1.1 ") else answer[:40]
    host_line = f"Host: 127.0.0.1:{host.port}\r\n".encode()
    cases = [
        (b"garbage\r\n\r\n", 400),
        (b"GET /note.txt\r\n\r\n", 400),
        (b"GET /note.txt HTTP/1.1\r\n\r\n", 400),                        # no Host
        (b"GET note.txt HTTP/1.1\r\n" + host_line + b"\r\n", 400),
        (b"GET /note.txt HTTP/2.0\r\n" + host_line + b"\r\n", 505),
        (b"GET /note.txt HTTP/1.1\r\n" + host_line + b"Bad Header\r\n\r\n", 400),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Content-Length: 12x\r\n\r\n", 400),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Content-Length: 10\r\n\r\nshort", 400),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501),
        (b"GET /" + b"a" * 70000 + b" HTTP/1.1\r\n" + host_line + b"\r\n", 431),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Content-Length: 99999999999999999999\r\n\r\n", 413),
    ]
    for data, expected in cases:
        equal(status_of(data), expected, repr(data[:60]))
    # A body over the limit is refused from its header, before it is sent.
    too_big = (MAX_REQUEST_MB << 20) + 1
    equal(status_of(b"POST /echo.asp HTTP/1.1\r\n" + host_line + f"Content-Length: {too_big}\r\n\r\n".encode(), shut=False),
          413, "oversize body")
    # A client that connects and leaves, and one that sends half a line.
    host.raw(b"")
    host.raw(b"GET /no")
    equal(host.get("/note.txt")[0], 200, "the host still serves")


def test_script_time_limit(host):
    # Four endless pages at once occupy every worker; each is stopped at its
    # one-second limit and answered 500, and the host serves on.
    started = time.time()
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        answers = list(pool.map(lambda _: host.get("/slow.asp", timeout=40), range(4)))
    for status, _, body in answers:
        equal(status, 500, "time-limit status")
        check(b"maximum amount of time" in body, body[:200])
    check(time.time() - started < 20, f"stopped after {time.time() - started:.1f} s")
    values = lines(host.get("/echo.asp?after=1")[2])
    equal(values["q:after"], "1", "pages run after the time limits")


def main():
    wine_env, prefix, exe, work = sys.argv[1:5]
    os.makedirs(work, exist_ok=True)
    site = os.path.join(work, "site")
    copy_site(os.path.join(HERE, "site"), site)
    os.makedirs(os.path.join(site, "out"), exist_ok=True)
    with open(os.path.join(site, "picture.png"), "wb") as f:
        f.write(make_png(97, 61, lambda x, y: ((x * 5) % 256, (y * 9) % 256, (x * y) % 256, 255)))
    runner = Runner("devhost_test")
    with Host(wine_env, prefix, exe, site, os.path.join(work, "host.log"),
              "--max-request-mb", str(MAX_REQUEST_MB), "--script-timeout", "5") as host:
        runner.run([test_static_files, test_query_strings_forms_and_cookies, test_multipart_upload_of_a_few_megabytes,
                    test_script_errors, test_response_object, test_concurrent_requests,
                    test_malformed_and_oversize_requests], host)
        runner.run([test_server_object, test_save_stream_to_response_equals_save_file], host, site)
        runner.run([test_script_time_limit], host)
    return runner.finish()


if __name__ == "__main__":
    sys.exit(main())
