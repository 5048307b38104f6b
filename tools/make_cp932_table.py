#!/usr/bin/env python3
"""Writes src/text/Cp932Table.cpp, the code page 932 <-> Unicode tables, from iconv.

The platform's iconv is the authority on code page 932, so the tables are taken
from it rather than typed in:

- code page 932 -> Unicode: every candidate code (each single byte, and each lead
  byte 0x80..0x9F, 0xE0..0xFF with each trail byte 0x40..0xFC) is converted on its
  own with `iconv -f CP932 -t UTF-8`; the codes iconv accepts are the characters.
- Unicode -> code page 932: every Unicode scalar value is converted with
  `iconv -c -f UTF-8 -t CP932`, one per line; the scalars iconv can write are the
  ones code page 932 holds, and the code it writes is the one kept. Where several
  codes decode to the same character (the NEC and IBM duplicates) this is the code
  iconv picks, and a few further characters (such as U+203E) are written as a
  code that decodes to another character.

Both tables are arrays of (key, value) pairs sorted by key, written a few pairs
to a line. Every code page 932 character lies in the Basic Multilingual Plane,
so both halves of a pair fit in 16 bits; the script stops if that ever changes.

Usage: make_cp932_table.py [--check]
  --check  compare the generated text with the committed file instead of writing
           it; exit status 1 when they differ.
"""

import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "src" / "text" / "Cp932Table.cpp"
PAIRS_PER_LINE = 5


def iconv(source, target, data, skip_invalid=False):
    """Runs iconv over `data`; returns the converted bytes, or None when iconv fails."""
    command = ["iconv"] + (["-c"] if skip_invalid else []) + ["-f", source, "-t", target]
    run = subprocess.run(command, input=data, capture_output=True, check=False)
    if run.returncode != 0 and not skip_invalid:
        return None
    return run.stdout


def candidate_codes():
    """Every code a code page 932 reader can form: single bytes and lead + trail pairs."""
    codes = list(range(0x100))
    leads = list(range(0x80, 0xA0)) + list(range(0xE0, 0x100))
    codes += [lead * 256 + trail for lead in leads for trail in range(0x40, 0xFD)]
    return codes


def code_bytes(code):
    return bytes([code]) if code < 0x100 else bytes([code >> 8, code & 0xFF])


def decoding_table():
    """code page 932 code -> Unicode scalar, for every code iconv accepts on its own."""
    table = {}
    for code in candidate_codes():
        text = iconv("CP932", "UTF-8", code_bytes(code))
        if not text:
            continue
        decoded = text.decode("utf-8")
        if len(decoded) != 1:
            sys.exit(f"code {code:#06x} decodes to {len(decoded)} characters")
        table[code] = ord(decoded)
    return table


def encoding_table():
    """Unicode scalar -> code page 932 code, as iconv writes each scalar."""
    scalars = [c for c in range(0x110000) if not 0xD800 <= c <= 0xDFFF and c != 0x0A]
    text = "".join(chr(c) + "\n" for c in scalars).encode("utf-8")
    lines = iconv("UTF-8", "CP932", text, skip_invalid=True).split(b"\n")
    # No code page 932 code contains the byte 0x0A except the line feed itself,
    # so the lines stay aligned with the scalars; the last split piece is empty.
    if len(lines) != len(scalars) + 1 or lines[-1]:
        sys.exit("iconv output does not line up with its input")
    table = {0x0A: 0x0A}
    for scalar, line in zip(scalars, lines):
        if not line:
            continue
        if len(line) > 2 or (len(line) == 2 and line[0] < 0x80):
            sys.exit(f"U+{scalar:04X} is written as {line!r}, not one character")
        table[scalar] = line[0] if len(line) == 1 else line[0] * 256 + line[1]
    return table


def check(decoding, encoding):
    """Sanity checks that tie the two directions together."""
    for code, scalar in decoding.items():
        if scalar not in encoding:
            sys.exit(f"{code:#06x} decodes to U+{scalar:04X}, which iconv cannot write back")
        if decoding.get(encoding[scalar]) != scalar:
            sys.exit(f"U+{scalar:04X} is written as a code that decodes to another character")
    for scalar, code in encoding.items():
        if code not in decoding:
            sys.exit(f"U+{scalar:04X} is written as {code:#06x}, which iconv cannot read")
        if scalar > 0xFFFF:
            sys.exit(f"U+{scalar:04X} lies outside the Basic Multilingual Plane")


def array_text(name, comment, table):
    pairs = [f"{{0x{key:04X}, 0x{value:04X}}}" for key, value in sorted(table.items())]
    lines = [f"// {comment}", f"constexpr CodePair {name}[] = {{"]
    for start in range(0, len(pairs), PAIRS_PER_LINE):
        lines.append("    " + ", ".join(pairs[start:start + PAIRS_PER_LINE]) + ",")
    lines.append("};")
    return "\n".join(lines)


def generate():
    decoding = decoding_table()
    encoding = encoding_table()
    check(decoding, encoding)
    return "\n".join([
        "// Code page 932 beside Unicode, as the platform's iconv converts them.",
        "// Generated by tools/make_cp932_table.py; edit the script, not this file.",
        '#include "text/Cp932Table.h"',
        "",
        "namespace {",
        "",
        array_text("kUnicodeToCp932",
                   f"{len(encoding)} pairs (Unicode scalar, code page 932 code), by scalar.",
                   encoding),
        "",
        array_text("kCp932ToUnicode",
                   f"{len(decoding)} pairs (code page 932 code, Unicode scalar), by code.",
                   decoding),
        "",
        "}  // namespace",
        "",
        "std::span<const CodePair> unicodeToCp932Pairs() { return kUnicodeToCp932; }",
        "",
        "std::span<const CodePair> cp932ToUnicodePairs() { return kCp932ToUnicode; }",
        "",
    ])


def main():
    text = generate()
    if "--check" in sys.argv[1:]:
        current = OUTPUT.read_text(encoding="ascii") if OUTPUT.exists() else ""
        if current != text:
            print(f"{OUTPUT.relative_to(ROOT)} differs from what iconv gives")
            return 1
        return 0
    OUTPUT.write_text(text, encoding="ascii")
    return 0


if __name__ == "__main__":
    sys.exit(main())
