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

from hostlib import HERE, REPO, Host, Runner, copy_site, equal, jpeg_size, multipart

SKIPPED = 77
PHOTO = (320, 240)


def chromium():
    return shutil.which("chromium") or shutil.which("chromium-browser")


def load(host, work, page):
    """The report of report.html on page, and its screenshot's path."""
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
    return [(i["width"], i["height"]) for i in report["images"]]


def decoded(report):
    broken = [i["src"] for i in report["images"] if not (i["width"] and i["height"])]
    if broken:
        raise AssertionError("images that did not decode: " + ", ".join(broken))


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
        report = load(host, work, "default.asp")
        equal(sizes(report), [PHOTO], "index")
        report = load(host, work, "thumbnail.asp")
        equal(sizes(report), [(64, 48), (120, 90), (200, 150)], "thumbnails")
        # The page's upload form, posted as a browser posts it.
        with open(os.path.join(site, "images", "photo.jpg"), "rb") as f:
            body, content_type = multipart({}, {"photo": ("photo.jpg", "image/jpeg", f.read())})
        status, headers, jpeg = host.request("POST", "/thumbnail.asp?size=100", body, headers={"Content-Type": content_type})
        equal((status, headers["content-type"], jpeg_size(jpeg)), (200, "image/jpeg", (100, 75)), "uploaded thumbnail")
        body, content_type = multipart({}, {"photo": ("notes.txt", "text/plain", b"not a picture")})
        status, _, answer = host.request("POST", "/thumbnail.asp", body, headers={"Content-Type": content_type})
        equal(status, 415, "a file that is no picture: " + answer.decode("utf-8", "replace")[:200])

    def test_format_gallery(host):
        report = load(host, work, "formats.asp")
        decoded(report)
        equal(sizes(report), [PHOTO] * 6, "four JPEG qualities, PNG and GIF")

    def test_caption_and_watermark(host):
        report = load(host, work, "caption.asp")
        if report["notes"]:
            print("  caption: drawing not available in this build:", report["notes"][0].strip())
            equal(report["images"], [], "no picture without drawing")
        else:
            decoded(report)
            equal(sizes(report), [PHOTO], "captioned photo")

    def test_effects(host):
        report = load(host, work, "effects.asp")
        decoded(report)
        equal(len(report["images"]) + len(report["notes"]), 29, "one picture or note per effect method")
        same_size = {"FastBlur", "RemoveNoise", "Expand", "Erosion", "Greyscale", "Sharpen", "Mosaic"}
        for image in report["images"]:
            effect = image["src"].split("effect=")[1]
            if effect in same_size:
                equal((image["width"], image["height"]), (160, 120), effect)
        print(f"  effects: {len(report['images'])} shown, {len(report['notes'])} not available")

    def test_animation_and_errors(host):
        report = load(host, work, "animation.asp")
        if report["notes"]:
            print("  animation: multi-frame saving not available in this build:", report["notes"][0].strip())
        else:
            decoded(report)
            equal(sizes(report), [(150, 150)], "animated GIF")
        report = load(host, work, "errors.asp")
        equal(report["title"], "Error handling", "error page title")

    runner = Runner("browser_test")
    with Host(wine_env, prefix, exe, site, os.path.join(work, "host.log")) as host:
        runner.run([test_index_and_thumbnails, test_format_gallery, test_caption_and_watermark, test_effects,
                    test_animation_and_errors], host)
    print("screenshots in " + os.path.join(work, "screenshots"))
    return runner.finish()


if __name__ == "__main__":
    sys.exit(main())
