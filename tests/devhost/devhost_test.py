"""HTTP tests of rastelle-devhost.exe over loopback, under Wine.

    python3 devhost_test.py WINE_ENV PREFIX EXE WORK_DIR
"""

import concurrent.futures
import os
import pathlib
import random
import struct
import sys
import time

from hostlib import HERE, Host, check, copy_site, equal, make_png, multipart, run_tests, windows_path

MAX_REQUEST_MB = 8


def lines(body):
    return dict(line.split("=", 1) for line in body.decode("utf-8").split("\n") if "=" in line)


def fields(values, expected, what):
    """The named fields of an answer, compared at once."""
    equal({name: values.get(name) for name in expected}, expected, what)


def test_static_files(host):
    status, headers, body = host.get("/note.txt")
    equal((status, headers["content-type"], body), (200, "text/plain; charset=utf-8", b"plain text\n"), "text file")
    equal(host.get("/picture.png")[1]["content-type"], "image/png", "image type")
    status, headers, body = host.request("HEAD", "/style.css")
    equal((status, headers["content-type"], headers["content-length"], body), (200, "text/css", "7", b""), "HEAD")
    equal(host.get("/no-such-file.txt")[0], 404, "missing file")
    status, headers, _ = host.get("/sub?x=1")
    equal((status, headers.get("location")), (301, "/sub/?x=1"), "folder without its slash")
    equal(host.get("/sub/")[::2], (200, b"<p>sub folder default</p>\n"), "folder's default document")
    equal(host.request("POST", "/note.txt", b"x")[0], 405, "POST to a static file")
    for target in ["/sub/../../secret", "/%2e%2e/secret", "/sub%5c..%5c..%5csecret"]:
        equal(host.get(target)[0], 400, target)


def test_query_strings_forms_and_cookies(host):
    query = "name=J%C3%BCrgen+M&tag=a&tag=b&plain=1%2B1%3D2&empty="
    status, _, body = host.get("/echo.asp?" + query, headers={"Cookie": "theme=dark; id=42", "User-Agent": "tester/1"})
    # UTF-8, '+' and escapes decoded; repeated names joined as ASP does;
    # Request(name) searches the query string first; a missing name is empty.
    fields(lines(body), {"query": query, "q:name": "Jürgen M", "q:tag": "a, b", "q:plain": "1+1=2", "q:empty": "",
                         "c:theme": "dark", "c:id": "42", "item": "Jürgen M", "missing": "[]", "agent": "tester/1",
                         "script": "/echo.asp"}, "query string, cookies and server variables")
    form = "name=Form+Value&text=%3Cb%3E%26"
    status, _, body = host.request("POST", "/echo.asp?q=1", form.encode(),
                                   headers={"Content-Type": "application/x-www-form-urlencoded"})
    fields(lines(body), {"method": "POST", "f:name": "Form Value", "f:text": "<b>&", "total": str(len(form)),
                         "item": "Form Value"}, "URL-encoded form; Request(name) falls back to it")


def test_multipart_upload_of_a_few_megabytes(host):
    # Noise does not compress: about 3.5 MB of PNG, which the DLL reads
    # through the upload's stream, so every byte must have arrived in place.
    noise = random.Random(7).randbytes(1100 * 800 * 3)
    png = make_png(1100, 800, noise)
    body, content_type = multipart({"title": "holiday"}, {"picture": ("noise.png", "image/png", png)})
    status, _, answer = host.request("POST", "/upload.asp", body, headers={"Content-Type": content_type}, timeout=60)
    equal(status, 200, "status: " + answer.decode("utf-8", "replace")[:300])
    argb = ["FF" + noise[i:i + 3].hex().upper() for i in (0, len(noise) - 3, (400 * 1100 + 550) * 3)]
    fields(lines(answer), {"name": "noise.png", "type": "image/png", "size": str(len(png)), "title": "holiday",
                           "image": "1100x800", "pixels": ",".join(argb)}, "upload fields, decoded size and pixels")
    # A bitmap whose pixels would lie 1 MB past the upload's end: the
    # decoder's seek there reads nothing, and loading fails as a script error.
    pixels = b"\x10\x20\x30" * 256
    damaged = (b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54 + (1 << 20)) +
               struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(pixels), 2835, 2835, 0, 0) + pixels)
    body, content_type = multipart({}, {"picture": ("damaged.bmp", "image/bmp", damaged)})
    status, _, answer = host.request("POST", "/upload.asp", body, headers={"Content-Type": content_type})
    equal((status, b"LoadStream" in answer), (500, True), "damaged upload: " + answer.decode("utf-8", "replace")[:300])


def test_script_errors(host):
    status, _, body = host.get("/error_runtime.asp")
    equal(status, 500, "runtime error status")
    for part in ["VBScript runtime", "error_runtime.asp, line 6", "a = a / 0", "ivision"]:
        check(part in body.decode(), f"{part!r} in the runtime error page: {body.decode()}")
    status, _, body = host.get("/error_syntax.asp")
    equal((status, b"compilation error" in body), (500, True), "compile error: " + body.decode())
    status, _, body = host.get("/error_unclosed.asp")
    equal((status, b"line 2" in body and b"no closing %&gt;" in body), (500, True), "unclosed block: " + body.decode())
    equal(host.get("/jscript.asp?n=7")[::2], (200, b"js:0,2,4:7\n"), "a JScript page")


def test_response_object(host):
    status, headers, body = host.get("/response.asp?mode=header")
    equal((headers["x-test"], headers["content-type"]), ("one", "application/json"), "AddHeader and ContentType")
    status, headers, body = host.get("/response.asp?mode=redirect")
    equal((status, headers["location"], b"dropped" in body or b"never" in body), (302, "echo.asp?from=redirect", False),
          "Redirect clears and ends")
    for mode, expected in [("status", (404, b"gone")), ("end", (200, b"before")), ("end-resume", (200, b"before")),
                           ("clear", (200, b"kept")), ("types", (200, b"True|2.5|||7")), ("bad-status", (500,))]:
        equal(host.get("/response.asp?mode=" + mode)[::2][:len(expected)], expected, mode)
    for mode, expected in [("flush", b"first;second"), ("unbuffered", b"a;b;clear:80004005")]:
        status, headers, body = host.get("/response.asp?mode=" + mode)
        equal((status, body, "content-length" in headers), (200, expected, False), mode + ": sent early, no length")
    data = bytes(range(256)) * 40
    equal(host.request("POST", "/response.asp?mode=binary", data)[2], data, "BinaryRead and BinaryWrite round trip")
    equal(host.get("/response.asp?mode=expires")[1].get("expires"), "Wed, 02 Jan 2030 03:04:05 GMT", "ExpiresAbsolute")


def test_server_object(host, site):
    values = lines(host.get("/server.asp")[2])
    root = windows_path(site)
    # MapPath of /, relative to the page and of a rooted path; the encoders;
    # ScriptTimeout from the command line.
    fields(values, {"root": root, "here": root + "\\echo.asp", "sub": root + "\\sub\\page.asp",
                    "html": "&lt;a href=&quot;x&quot;&gt;&amp;&#233;&lt;/a&gt;", "url": "a+b%26c%2Fd%C3%A9",
                    "timeout": "5"}, "Server")
    check(values["outside"].startswith("-2147024809:") and "inside the site" in values["outside"], values["outside"])
    check(values["create"].startswith("800401F3:") and "Server.CreateObject Failed" in values["create"], values["create"])


def test_save_stream_to_response_equals_save_file(host, site):
    status, _, body = host.get("/savestream.asp?type=3")
    saved = pathlib.Path(site, "out", "saved_3.bin").read_bytes()
    equal((status, len(body) > 100, body == saved), (200, True, True),
          f"TIFF: stream of {len(body)} bytes, file of {len(saved)}: {body[:200]}")


def test_concurrent_requests(host):
    # 8 clients, pages and static files mixed: every answer is complete and
    # carries its own request's values.
    def client(c):
        for i in range(16):
            if i % 2:
                status, _, body = host.get(f"/echo.asp?client={c}&i={i}")
                values = lines(body)
                if status != 200 or (values.get("q:client"), values.get("q:i")) != (str(c), str(i)):
                    return f"client {c} request {i}: {status} {body[:120]!r}"
            elif host.get("/note.txt")[::2] != (200, b"plain text\n"):
                return f"client {c} request {i}: static file"
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        problems = [p for p in pool.map(client, range(8)) if p]
    check(not problems, "; ".join(problems))


def test_malformed_and_oversize_requests(host):
    def status_of(data, shut=True):
        answer = host.raw(data, shut=shut)
        return int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/1.1 ") else answer[:40]
    host_line = f"Host: 127.0.0.1:{host.port}\r\n".encode()
    too_big = (MAX_REQUEST_MB << 20) + 1
    for data, expected in [
        (b"garbage\r\n\r\n", 400),
        (b"GET /note.txt HTTP/1.1\r\n\r\n", 400),  # no Host
        (b"GET /note.txt HTTP/2.0\r\n" + host_line + b"\r\n", 505),
        (b"GET /note.txt HTTP/1.1\r\n" + host_line + b"Bad Header\r\n\r\n", 400),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Content-Length: 12x\r\n\r\n", 400),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Content-Length: 10\r\n\r\nshort", 400),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501),
        (b"GET /" + b"a" * 70000 + b" HTTP/1.1\r\n" + host_line + b"\r\n", 431),
        (b"POST /echo.asp HTTP/1.1\r\n" + host_line + b"Content-Length: 99999999999999999999\r\n\r\n", 413),
    ]:
        equal(status_of(data), expected, repr(data[:60]))
    # A body over the limit is refused from its header, before it is sent.
    equal(status_of(b"POST /echo.asp HTTP/1.1\r\n" + host_line + f"Content-Length: {too_big}\r\n\r\n".encode(),
                    shut=False), 413, "oversize body")
    # A client that connects and leaves, and one that sends half a line.
    host.raw(b"")
    host.raw(b"GET /no")
    equal(host.get("/note.txt")[0], 200, "the host still serves")


def test_script_time_limit(host):
    # Twelve endless pages, four at a time on the four workers: bare loops,
    # and loops that call into the host's objects, past their errors or not.
    # Each is stopped at its one-second limit and answered 500, and the host
    # serves pages, objects and files as before.
    started = time.time()
    targets = ["/slow.asp", "/slow.asp?calls=1", "/slow.asp?calls=resume"] * 4
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        answers = list(pool.map(lambda target: host.get(target, timeout=60), targets))
    for status, _, body in answers:
        equal((status, b"maximum amount of time" in body), (500, True), body[:200])
    check(time.time() - started < 40, f"stopped after {time.time() - started:.1f} s")
    test_concurrent_requests(host)
    equal(host.get("/response.asp?mode=types")[::2], (200, b"True|2.5|||7"), "the host's objects after the time limits")
    equal(host.get("/savestream.asp?type=3")[0], 200, "a component after the time limits")


def test_nul_characters_in_paths(host):
    # A NUL would end a file name early: "echo.asp\0.jpg" opens echo.asp.
    for target in ["/note.txt%00.png", "/echo.asp%00", "/%00"]:
        equal(host.get(target)[0], 400, target)
    value = lines(host.get("/server.asp")[2])["nul"]
    check(value.startswith("-2147024809:ASP 0175") and value.endswith(":"), "MapPath with a NUL: " + value)


def test_asp_source_never_served(host):
    # The file system drops trailing dots and spaces, so each of these names
    # opens echo.asp or sub/; they are refused, never answered as bytes.
    for target in ["/echo.asp.", "/echo.asp%20", "/ECHO.ASP.", "/echo.as%70.", "/echo.asp.%20.%20", "/sub./index.html",
                   "/sub%20/index.html", "/.../echo.asp", "/nul", "/sub/con.txt"]:
        status, _, body = host.get(target)
        equal((status, b"Response.Write" in body), (400, False), target)
    for target in ["/ECHO.ASP?x=1", "/Echo.Asp?x=1", "/SUB/INDEX.HTML"]:
        status, _, body = host.get(target)
        check(status == 200 and b"Response.Write" not in body, f"{target}: {status} {body[:80]!r}")
    equal(lines(host.get("/Echo.aSp?x=1")[2]).get("q:x"), "1", "a page spelt in another case runs")


def test_foreign_host_and_origin_refused(host):
    port = host.port
    for name in [f"127.0.0.1:{port}", f"localhost:{port}", f"LocalHost:{port}", f"[::1]:{port}"]:
        equal(host.get("/note.txt", headers={"Host": name})[0], 200, "own name " + name)
    # A DNS name rebound to 127.0.0.1 arrives with its own name.
    for name in [f"attacker.example:{port}", "127.0.0.1", f"127.0.0.1:{port + 1}", f"localhost.attacker.example:{port}",
                 f"127.0.0.1:{port}.attacker.example", f"127.0.0.1:{port}@attacker.example"]:
        equal(host.get("/echo.asp", headers={"Host": name})[0], 421, "foreign name " + name)
    two_hosts = f"GET /note.txt HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nHost: attacker.example\r\n\r\n".encode()
    equal(host.raw(two_hosts).split(b" ", 2)[1], b"400", "two Host fields")
    equal(host.raw(b"GET /note.txt HTTP/1.0\r\n\r\n").split(b" ", 2)[1], b"200", "HTTP/1.0 without Host")

    form = {"Content-Type": "application/x-www-form-urlencoded"}
    for origin in [f"http://127.0.0.1:{port}", f"http://localhost:{port}", f"http://[::1]:{port}"]:
        equal(lines(host.request("POST", "/echo.asp", b"name=own", headers={**form, "Origin": origin})[2]).get("f:name"),
              "own", "a form posted from " + origin)
    # A form another site posts across is refused before its page runs.
    for origin in ["http://attacker.example", "null", f"https://127.0.0.1:{port}", f"http://127.0.0.1:{port + 1}",
                   f"http://localhost:{port}.attacker.example"]:
        status, _, body = host.request("POST", "/echo.asp", b"name=x", headers={**form, "Origin": origin})
        equal((status, b"method=" in body), (403, False), "a form posted from " + origin)
    equal(host.get("/echo.asp?a=1", headers={"Origin": "http://attacker.example"})[0], 200, "a GET from elsewhere")


def test_form_field_limit(host):
    form = {"Content-Type": "application/x-www-form-urlencoded"}

    def post(count, name="f"):
        body = "&".join(f"{name}{i if name == 'f' else ''}={i}" for i in range(count)).encode()
        started = time.time()
        status, _, answer = host.request("POST", "/fields.asp?name=f9999", body, headers=form, timeout=60)
        return status, answer, time.time() - started

    # 10 000 fields is the most; each counts, also values of one name.
    status, answer, _ = post(10000)
    fields(lines(answer), {"count": "10000", "value": "9999"}, f"{status} at the limit")
    equal(post(10001)[0], 413, "one field over")
    equal(post(10001, name="same")[0], 413, "values of one name over")
    body, content_type = multipart({f"m{i}": "v" for i in range(10001)}, {})
    equal(host.request("POST", "/fields.asp", body, headers={"Content-Type": content_type})[0], 413, "multipart over")
    equal(host.get("/fields.asp?" + "q=&" * 10001)[0], 413, "query string over")
    # Two hundred thousand fields cost no more than their refusal.
    status, _, seconds = post(200000)
    equal(status, 413, "200 000 fields")
    check(seconds < 10, f"200 000 fields refused after {seconds:.1f} s")


def test_response_buffer_limit(host):
    status, _, body = host.get("/big.asp?mb=3")
    equal((status, len(body)), (200, 3 << 20), "a page of 3 MB")
    status, _, body = host.get("/big.asp?mb=257", timeout=100)
    equal((status, b"buffer limit of 256 MB" in body), (500, True), body[:300])


def main():
    wine_env, prefix, exe, work = sys.argv[1:5]
    site = os.path.join(work, "site")
    copy_site(os.path.join(HERE, "site"), site)
    os.makedirs(os.path.join(site, "out"))
    pathlib.Path(site, "picture.png").write_bytes(make_png(97, 61, random.Random(1).randbytes(97 * 61 * 3)))
    with Host(wine_env, prefix, exe, site, os.path.join(work, "host.log"),
              "--max-request-mb", str(MAX_REQUEST_MB), "--script-timeout", "5") as host:
        return run_tests("devhost_test", [
            ([test_static_files, test_query_strings_forms_and_cookies, test_multipart_upload_of_a_few_megabytes,
              test_script_errors, test_response_object, test_concurrent_requests,
              test_malformed_and_oversize_requests, test_nul_characters_in_paths, test_asp_source_never_served,
              test_foreign_host_and_origin_refused, test_form_field_limit, test_response_buffer_limit], (host,)),
            ([test_server_object, test_save_stream_to_response_equals_save_file], (host, site)),
            ([test_script_time_limit], (host,))])


if __name__ == "__main__":
    sys.exit(main())
