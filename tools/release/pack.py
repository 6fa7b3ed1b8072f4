#!/usr/bin/python3
"""Writes the release archives from the two product builds:

    pack.py OUT_DIR    (OUT_DIR/win32 and OUT_DIR/win64 built, archives go to OUT_DIR/release)

Each archive holds the stripped vo.exe, sample.wav, README.txt (Japanese and English, in
the code page and line ends a Japanese Windows expects) and the plug-in SDK under sdk/."""

import re
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
EDITIONS = {
    "win32": {
        "strip": "i686-w64-mingw32-strip",
        "edition": "32-bit / 32 ビット版",
        "ja": "  この版は 32 ビット版です。32 ビットのプラグインを読み込みます。"
              "32 ビット版と 64 ビット版の\n  どちらの Windows でも動きます。",
        "en": "  This is the 32-bit edition: it loads 32-bit plug-ins and runs on both 32-bit and\n"
              "  64-bit Windows.",
    },
    "win64": {
        "strip": "x86_64-w64-mingw32-strip",
        "edition": "64-bit / 64 ビット版",
        "ja": "  この版は 64 ビット版の Windows 専用で、読み込めるのは 64 ビットのプラグインだけです。\n"
              "  32 ビットのプラグインを使うときは 32 ビット版 (win32) を使ってください。",
        "en": "  This edition is for 64-bit Windows only and loads only 64-bit plug-ins. For 32-bit\n"
              "  plug-ins use the 32-bit edition (win32).",
    },
}
SDK = ["GUIDE.md", "include/vo_plugin.h", "include/vo_plugin.def", "sample/voSample.c"]


def short_version(build):
    header = (build / "generated" / "forms" / "Version.h").read_text()
    return re.search(r'#define VO_SHORT_VERSION "([^"]+)"', header).group(1)


def readme(version, edition):
    text = (ROOT / "tools" / "release" / "README.txt").read_text("utf-8")
    text = (text.replace("@VERSION@", version).replace("@EDITION@", edition["edition"])
            .replace("@PLUGINS_JA@", edition["ja"]).replace("@PLUGINS_EN@", edition["en"]))
    return text.replace("\n", "\r\n").encode("cp932")


def pack(out, name, edition):
    build = out / name
    version = short_version(build)
    archive = out / "release" / f"vo-{version}-{name}.zip"
    archive.parent.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as staging:
        exe = Path(staging) / "vo.exe"
        subprocess.run([edition["strip"], "-o", exe, build / "vo.exe"], check=True)
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as zip_file:
            zip_file.write(exe, "vo.exe")
            zip_file.write(build / "sample.wav", "sample.wav")
            zip_file.writestr("README.txt", readme(version, edition))
            for part in SDK:
                zip_file.write(ROOT / "sdk" / part, f"sdk/{part}")
    return archive


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    for name, edition in EDITIONS.items():
        archive = pack(Path(argv[1]), name, edition)
        print(f"release: {archive} ({archive.stat().st_size} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
