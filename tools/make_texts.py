#!/usr/bin/python3
"""make_texts.py TABLE HEADER: writes the UTF-8 text table TABLE ("name<TAB>text" lines, '#'
comments) as a C++ header of Shift_JIS byte strings, each byte above 0x7E written as an escape
so that any compiler stores it unchanged. The header is rewritten only when its text changes."""

import pathlib
import sys


def escaped(text):
    """The text's code page 932 bytes as a C++ string literal; a literal is closed after an
    escape that a hexadecimal digit follows, so that the digit is not taken into it."""
    out, after_escape = [], False
    for byte in text.encode("cp932"):
        char = chr(byte)
        if byte > 0x7E or char in '"\\':
            out.append(f"\\x{byte:02X}" if byte > 0x7E else "\\" + char)
            after_escape = byte > 0x7E
            continue
        if after_escape and char in "0123456789abcdefABCDEF":
            out.append('" "')
        out.append(char)
        after_escape = False
    return '"' + "".join(out) + '"'


def main(table, header):
    lines = ["// Made by tools/make_texts.py from src/support/Texts.txt: edit that, not this.",
             "#pragma once", "", "#include <string_view>", "", "namespace vo::texts {", ""]
    for number, line in enumerate(pathlib.Path(table).read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        name, tab, text = line.partition("\t")
        if not tab or not name.isidentifier():
            sys.exit(f"{table}:{number}: not a line \"name<TAB>text\"")
        # The reading beside the bytes, unless a backslash at its end would join the next line.
        reading = "" if text.endswith("\\") else f"  // {text}"
        lines.append(f"inline constexpr std::string_view {name} = {escaped(text)};{reading}")
    lines += ["", "}  // namespace vo::texts", ""]
    text = "\n".join(lines)
    target = pathlib.Path(header)
    if not target.exists() or target.read_text(encoding="utf-8") != text:
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main(*sys.argv[1:])
