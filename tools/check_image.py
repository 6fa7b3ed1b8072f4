#!/usr/bin/python3
"""Checks what a Windows build of vo.exe promises the system in its image:

    check_image.py [--helper] EXE

(--helper: the program that runs a plug-in apart, a hidden window without a manifest of its
own; all but the manifest's entries apply to it.)

- no SafeSEH table (x86): every handler the plug-in guard registers must pass the loader's
  check, which a table not listing it would fail;
- IMAGE_DLLCHARACTERISTICS_NO_SEH clear, which would refuse every handler;
- NX_COMPAT and DYNAMIC_BASE set;
- subsystem version 6.0 or later, for which the system ends the process as soon as its heap is
  found corrupted;
- a link time stamp of zero (the link carries none; a release's strip stamps the source's);
- the embedded manifest: Windows 7 to 11 as supported systems, asInvoker, the DPI awareness.

Fails naming each property that does not hold."""

import struct
import sys
import xml.etree.ElementTree as ElementTree

NO_SEH = 0x0400
NX_COMPAT = 0x0100
DYNAMIC_BASE = 0x0040
RT_MANIFEST = 24
LOAD_CONFIG = 10
RESOURCES = 2

SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"


class Image:
    def __init__(self, data):
        self.data = data
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[header:header + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        self.machine, sections, self.time_stamp = struct.unpack_from("<HHI", data, header + 4)
        optional_size = struct.unpack_from("<H", data, header + 20)[0]
        optional = header + 24
        self.pe32 = struct.unpack_from("<H", data, optional)[0] == 0x10B
        self.characteristics = struct.unpack_from("<H", data, optional + 70)[0]
        self.subsystem_version = struct.unpack_from("<HH", data, optional + 48)
        directories = optional + (96 if self.pe32 else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(16)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8)
                         for i in range(sections)]  # size, address, raw size, raw offset

    def offset(self, address):
        for size, start, raw_size, raw in self.sections:
            if start <= address < start + max(size, raw_size):
                return raw + address - start
        raise ValueError(f"address 0x{address:x} lies in no section")

    def safe_seh_handlers(self):
        """The number of handlers in the load configuration's SafeSEH table (x86 only)."""
        address, size = self.directories[LOAD_CONFIG]
        if not self.pe32 or address == 0 or size < 0x48:
            return 0
        at = self.offset(address)
        table, count = struct.unpack_from("<II", self.data, at + 0x40)
        return count if table else 0

    def resource(self, kind):
        """The bytes of the first resource of a kind (any name, any language), or None."""
        base_address = self.directories[RESOURCES][0]
        if base_address == 0:
            return None
        base = self.offset(base_address)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                yield struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)

        def first_leaf(offset):
            while offset & 0x80000000:
                offset = next(entries(offset & 0x7FFFFFFF))[1]
            address, size = struct.unpack_from("<II", self.data, base + offset)
            return self.data[self.offset(address):self.offset(address) + size]

        for name, offset in entries(0):
            if name == kind:
                return first_leaf(offset)
        return None


def manifest_problems(text):
    if text is None:
        return ["no manifest resource"]
    root = ElementTree.fromstring(text)
    problems = []
    declared = {e.get("Id", "").lower() for e in root.iter(COMPATIBILITY + "supportedOS")}
    problems += [f"manifest: {name} not among the supportedOS entries"
                 for guid, name in SUPPORTED_OS.items() if guid not in declared]
    levels = [e.get("level") for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
    if levels != ["asInvoker"]:
        problems.append(f"manifest: requestedExecutionLevel is {levels or 'missing'}, "
                        "not asInvoker")
    if not any(e.tag.endswith("dpiAwareness") for e in root.iter()):
        problems.append("manifest: no dpiAwareness")
    return problems


def problems_of(image, manifest=True):
    problems = []
    if image.characteristics & NO_SEH:
        problems.append("IMAGE_DLLCHARACTERISTICS_NO_SEH is set: the loader would refuse the "
                        "plug-in guard's exception handler")
    handlers = image.safe_seh_handlers()
    if handlers:
        problems.append(f"a SafeSEH table of {handlers} handlers: the plug-in guard's handler "
                        "must not need to be listed")
    for flag, name in ((NX_COMPAT, "NX_COMPAT"), (DYNAMIC_BASE, "DYNAMIC_BASE")):
        if not image.characteristics & flag:
            problems.append(f"{name} is not set")
    if image.subsystem_version < (6, 0):
        major, minor = image.subsystem_version
        problems.append(f"subsystem version {major}.{minor}, not 6.0 or later: a corrupted heap "
                        "would not end the process at once")
    if image.time_stamp != 0:
        problems.append(f"the link time stamp is {image.time_stamp}, not 0 "
                        "(linked without --no-insert-timestamp?)")
    return problems + (manifest_problems(image.resource(RT_MANIFEST)) if manifest else [])


def main(argv):
    helper = argv[1:2] == ["--helper"]
    if len(argv) != 2 + helper:
        sys.exit(f"usage: {argv[0]} [--helper] EXE")
    path = argv[-1]
    try:
        with open(path, "rb") as file:
            problems = problems_of(Image(file.read()), manifest=not helper)
    except (OSError, ValueError, struct.error, ElementTree.ParseError) as error:
        sys.exit(f"check_image: {path}: {error}")
    for problem in problems:
        print(f"check_image: {path}: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"check_image: {path}: no SafeSEH table, NO_SEH clear, NX_COMPAT and DYNAMIC_BASE "
          "set, subsystem 6.0 or later, no link time"
          + ("" if helper else ", the manifest's entries present"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
