"""The example site in headless Chromium: every example page loads, every
image on it decodes at the size the page makes, and a screenshot of each is
kept under the build folder.

    python3 browser_test.py WINE_ENV PREFIX EXE WORK_DIR
"""

import html
import json
import os
import re
import shutil
import subprocess
import sys

from hostlib import HERE, REPO, Host, copy_site, equal, jpeg_size, multipart, run_tests

SKIPPED = 77
PHOTO = (320, 240)


def chromium():
    return shutil.which("chromium") or shutil.which("chromium-browser")


def load(host, work, page):
    """The report of report.html on page; its screenshot is kept in work."""
    shot = os.path.join(work, "screenshots", re.sub(r"\W+", "_", page) + ".png")
    url = f"http://127.0.0.1:{host.port}/report.html?page={page}"
    result = subprocess.run([chromium(), "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                             "--window-size=1280,1600", "--virtual-time-budget=30000", "--screenshot=" + shot,
                             "--dump-dom", url], capture_output=True, timeout=120)
    found = re.search(r'<pre id="report">(.*?)</pre>', result.stdout.decode("utf-8", "replace"), re.S)
    if not found or found.group(1) == "waiting":
        raise AssertionError(f"{page}: no report in the page (chromium exit {result.returncode}): "
                             + result.stdout.decode("utf-8", "replace")[:300])
    return json.loads(html.unescape(found.group(1)))


def sizes(report):
    """The natural sizes of the page's images; every image must have decoded."""
    broken = [i["src"] for i in report["images"] if not (i["width"] and i["height"])]
    equal(broken, [], "images that did not decode")
    return [(i["width"], i["height"]) for i in report["images"]]


def main():
    wine_env, prefix, exe, work = sys.argv[1:5]
    if not chromium():
        print("skipped: chromium is not installed (Debian's package: chromium)")
        return SKIPPED
    site = os.path.join(work, "site")
    copy_site(os.path.join(REPO, "examples", "site"), site)
    shutil.copy(os.path.join(HERE, "report.html"), site)
    os.makedirs(os.path.join(work, "screenshots"), exist_ok=True)

    def test_index_and_thumbnails(host):
        equal(sizes(load(host, work, "default.asp")), [PHOTO], "index")
        equal(sizes(load(host, work, "thumbnail.asp")), [(64, 48), (120, 90), (200, 150), (200, 150)],
              "thumbnails, the last as WebP")
        # The page's upload form, posted as a browser posts it.
        with open(os.path.join(site, "images", "photo.jpg"), "rb") as f:
            body, content_type = multipart({}, {"photo": ("photo.jpg", "image/jpeg", f.read())})
        status, headers, jpeg = host.request("POST", "/thumbnail.asp?size=100", body, headers={"Content-Type": content_type})
        equal((status, headers["content-type"], jpeg_size(jpeg)), (200, "image/jpeg", (100, 75)), "uploaded thumbnail")
        status, headers, webp = host.request("POST", "/thumbnail.asp?size=100&type=webp", body,
                                             headers={"Content-Type": content_type})
        equal((status, headers["content-type"], webp[:4], webp[8:12]), (200, "image/webp", b"RIFF", b"WEBP"),
              "uploaded thumbnail as WebP")
        body, content_type = multipart({}, {"photo": ("notes.txt", "text/plain", b"not a picture")})
        status, _, answer = host.request("POST", "/thumbnail.asp", body, headers={"Content-Type": content_type})
        equal(status, 415, "a file that is no picture: " + answer.decode("utf-8", "replace")[:200])

    def test_format_gallery_caption_and_animation(host):
        report = load(host, work, "formats.asp")
        equal(sizes(report), [PHOTO] * 10, "four JPEG qualities, PNG, GIF, and two samples as JPEG and WebP")
        # Each sample's JPEG and WebP with their byte sizes.
        saved = [c for c in report["captions"] if " as " in c]
        equal([re.sub(r": \d+ bytes$", "", c) for c in saved],
              ["photo.jpg as JPEG", "photo.jpg as WebP", "sample.png as JPEG", "sample.png as WebP"], "captions")
        # Drawing and multi-frame saving may be missing from a build: the page
        # then shows a note instead of the picture.
        for page, expected in [("caption.asp", [PHOTO]), ("animation.asp", [(150, 150)])]:
            report = load(host, work, page)
            equal(sizes(report), [] if report["notes"] else expected, page)
        equal(load(host, work, "errors.asp")["title"], "Error handling", "error page title")

    def test_effects(host):
        report = load(host, work, "effects.asp")
        equal(len(sizes(report)) + len(report["notes"]), 29, "one picture or note per effect method")
        same_size = {"FastBlur", "RemoveNoise", "Expand", "Erosion", "Greyscale", "Sharpen", "Mosaic"}
        for image in report["images"]:
            if image["src"].split("effect=")[1] in same_size:
                equal((image["width"], image["height"]), (160, 120), image["src"])

    def test_reference(host):
        # The generated class reference, linked from the index.
        equal(load(host, work, "reference/index.html")["title"], "Reference", "reference index")
        equal(load(host, work, "reference/RasterObject.html")["title"], "RasterObject", "a class page")

    with Host(wine_env, prefix, exe, site, os.path.join(work, "host.log")) as host:
        return run_tests("browser_test", [([test_index_and_thumbnails, test_format_gallery_caption_and_animation,
                                            test_effects, test_reference], (host,))])


if __name__ == "__main__":
    sys.exit(main())
