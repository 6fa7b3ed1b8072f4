#!/usr/bin/python3
"""Writes the release archives from the two product builds:

    SOURCE_DATE_EPOCH=<seconds> pack.py OUT_DIR
    (OUT_DIR/win32 and OUT_DIR/win64 built; archives and SHA256SUMS go to OUT_DIR/release)

Each archive holds the stripped vo.exe, both helper programs that run a plug-in apart
(vohost32.exe from the win32 build, vohost64.exe from the win64 build, whichever the edition),
sample.wav, README.txt (Japanese and English, in the code page and line ends a Japanese
Windows expects) and the plug-in SDK under sdk/. The same builds and SOURCE_DATE_EPOCH give
the same bytes: every entry carries that time, in a fixed order with fixed attributes, and
each program's header carries it as its link time."""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
EDITIONS = {
    "win32": {
        "tools": "i686-w64-mingw32-",  # the prefix of cmake/mingw-i686.cmake's tools
        "edition": "32-bit / 32 ビット版",
        "ja": "  この版は 32 ビット版で、32 ビット版と 64 ビット版のどちらの Windows でも動きます。\n"
              "  32 ビットのプラグインは時計の中で動きます。64 ビットのプラグインは 64 ビット版の\n"
              "  Windows で、vohost64.exe による別のプロセスで動きます。",
        "en": "  This is the 32-bit edition: it runs on both 32-bit and 64-bit Windows. 32-bit\n"
              "  plug-ins run inside the clock; 64-bit plug-ins run on 64-bit Windows, each in a\n"
              "  process of its own (vohost64.exe).",
    },
    "win64": {
        "tools": "x86_64-w64-mingw32-",
        "edition": "64-bit / 64 ビット版",
        "ja": "  この版は 64 ビット版の Windows 専用です。64 ビットのプラグインは時計の中で、\n"
              "  32 ビットのプラグインは vohost32.exe による別のプロセスで動きます。",
        "en": "  This edition is for 64-bit Windows only. 64-bit plug-ins run inside the clock;\n"
              "  32-bit plug-ins run each in a process of its own (vohost32.exe).",
    },
}
# The helper program of each processor, from the build of that processor: each archive
# carries both, so that a plug-in of either processor finds its helper beside vo.exe.
HELPERS = (("vohost32.exe", "win32"), ("vohost64.exe", "win64"))
SDK = ["GUIDE.md", "include/vo_plugin.h", "include/vo_plugin.def", "sample/voSample.c"]
# A regular file, rw-r--r--; Windows reads none of it, unzip on Linux makes plain files.
ENTRY_ATTRIBUTES = 0o100644 << 16
# The zip format counts time from 1980 and stores it without a zone: ours is UTC.
ZIP_EPOCH = 315532800


def source_epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not value.isdigit():
        sys.exit("pack.py: SOURCE_DATE_EPOCH must be the source's time in seconds since 1970 "
                 f"(tools/release.sh sets it), not {value!r}")
    return int(value)


def short_version(build):
    header = (build / "generated" / "forms" / "Version.h").read_text()
    return re.search(r'#define VO_SHORT_VERSION "([^"]+)"', header).group(1)


def first_line(command):
    result = subprocess.run(command, capture_output=True, text=True, check=True)
    return result.stdout.strip().splitlines()[0]


def debian_package(path):
    """' (Debian <package> <version>)' for the package that installed path, or ''."""
    if not shutil.which("dpkg-query"):
        return ""
    owner = subprocess.run(["dpkg-query", "-S", os.path.realpath(path)], capture_output=True,
                           text=True)
    if owner.returncode != 0:
        return ""
    package = owner.stdout.split(":")[0]
    version = first_line(["dpkg-query", "-W", "-f=${Version}\n", package])
    return f" (Debian {package} {version})"


def runtime_version(compiler):
    """The mingw-w64 headers' and runtime's version, as the compiler sees it."""
    source = ("#include <_mingw.h>\n"
              "__MINGW64_VERSION_MAJOR __MINGW64_VERSION_MINOR __MINGW64_VERSION_BUGFIX\n")
    result = subprocess.run([compiler, "-E", "-P", "-x", "c", "-"], input=source,
                            capture_output=True, text=True, check=True)
    return ".".join(result.stdout.split()[-3:])


def tool_lines(edition):
    """The compiler, linker and runtime of one processor's build."""
    compiler = shutil.which(edition["tools"] + "g++")
    linker = first_line([compiler, "-print-prog-name=ld"])
    runtime_library = first_line([compiler, "-print-file-name=libmsvcrt.a"])
    return [
        f"Compiler: {first_line([compiler, '--version'])}{debian_package(compiler)}",
        f"Linker: {first_line([linker, '--version'])}{debian_package(linker)}",
        f"Runtime: mingw-w64 {runtime_version(compiler)}{debian_package(runtime_library)}",
    ]


def built_with(epoch):
    """The lines naming what made an archive (its programs come from both processors'
    builds); another version of any gives other bytes."""
    stamp = time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime(epoch))
    lines = [f"Source time / ソースの時刻: {stamp}"]
    for edition in EDITIONS.values():
        lines += tool_lines(edition)
    return lines + [f"Zip: zlib {zlib.ZLIB_RUNTIME_VERSION}"]


def readme(archive, version, edition, build_lines):
    text = (ROOT / "tools" / "release" / "README.txt").read_text("utf-8")
    text = (text.replace("@VERSION@", version).replace("@EDITION@", edition["edition"])
            .replace("@ARCHIVE@", archive).replace("@PLUGINS_JA@", edition["ja"])
            .replace("@PLUGINS_EN@", edition["en"])
            .replace("@BUILT_WITH@", "\n".join(f"  {line}" for line in build_lines)))
    return text.replace("\n", "\r\n").encode("cp932")


def stripped_exe(build, name, edition, epoch, staging):
    """A program of the build without symbols; strip stamps SOURCE_DATE_EPOCH as the link
    time."""
    source = build / name
    if not source.exists():
        sys.exit(f"pack.py: {source} is missing: build both presets first (tools/release.sh)")
    exe = Path(staging) / name
    subprocess.run([edition["tools"] + "strip", "-o", exe, source], check=True,
                   env={**os.environ, "SOURCE_DATE_EPOCH": str(epoch)})
    return exe.read_bytes()


def write_archive(path, entries, epoch):
    date_time = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    with zipfile.ZipFile(path, "w") as zip_file:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3  # Unix, so that the attributes below mean what they say
            info.external_attr = ENTRY_ATTRIBUTES
            zip_file.writestr(info, data, zipfile.ZIP_DEFLATED, compresslevel=9)


def pack(out, name, edition, epoch):
    build = out / name
    version = short_version(build)
    archive = out / "release" / f"vo-{version}-{name}.zip"
    archive.parent.mkdir(parents=True, exist_ok=True)
    build_lines = built_with(epoch)
    with tempfile.TemporaryDirectory() as staging:
        entries = [("vo.exe", stripped_exe(build, "vo.exe", edition, epoch, staging))]
        entries += [(helper, stripped_exe(out / helper_build, helper, EDITIONS[helper_build],
                                          epoch, staging))
                    for helper, helper_build in HELPERS]
        entries += [("sample.wav", (build / "sample.wav").read_bytes()),
                   ("README.txt", readme(archive.name, version, edition, build_lines))]
    entries += [(f"sdk/{part}", (ROOT / "sdk" / part).read_bytes()) for part in SDK]
    write_archive(archive, entries, epoch)
    return archive, build_lines


def write_sums(archives):
    sums = archives[0].parent / "SHA256SUMS"
    lines = [f"{hashlib.sha256(a.read_bytes()).hexdigest()}  {a.name}\n" for a in archives]
    sums.write_text("".join(sorted(lines, key=lambda line: line.split()[1])))
    return sums


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    epoch = source_epoch()
    archives = []
    for name, edition in EDITIONS.items():
        archive, build_lines = pack(Path(argv[1]), name, edition, epoch)
        archives.append(archive)
        print(f"release: {archive} ({archive.stat().st_size} bytes), built with:")
        print("\n".join(f"  {line}" for line in build_lines))
    sums = write_sums(archives)
    print(f"release: {sums}:\n{sums.read_text()}", end="")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
