#!/usr/bin/env python3
"""Packs the release zip a Windows user downloads: the four exes, the guide
README.txt and SHA256SUMS, always in that order and with fixed entry times
and attributes, so that the same exes give the same zip bytes.

usage: package.py [--time EPOCH] [--version V] ZIP TARVEL32 TARVEL64 CAPTURE32 CAPTURE64
       package.py [--version V] --readme OUT.txt

README.txt is made from README.txt.in beside this script: a line
"@usage@" becomes the exact output of `tarvel -?` of the release (the golden
transcript of the simulated version 1.0.0, with the release's banner),
"@table WORD@" the table of README.md whose first column is headed WORD,
"@paragraph TEXT@" the paragraph of README.md that starts with TEXT, both
as plain text; "@version@" anywhere becomes the version (that of VERSION
unless --version gives another, for checks of the guide alone). So the
guide says what README.md says, and a README.md change that loses a piece
it takes fails here instead of drifting.
"""
import argparse
import hashlib
import os
import re
import sys
import textwrap
import time
import zipfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TEMPLATE = os.path.join(ROOT, "scripts", "release", "README.txt.in")
USAGE = os.path.join(ROOT, "tests", "golden", "out", "usage.txt")
# The banner of the golden transcripts: the simulated program's default version.
GOLDEN_BANNER = "Tarvel V1.0.0 (Win32) "
WIDTH = 76
# The earliest time a zip entry can hold (1980-01-01 00:00).
DOS_EPOCH = 315532800


def read(path):
    with open(path, "rb") as f:
        return f.read()


def plain(text):
    """Markdown inline markup removed: code spans and bold."""
    return text.replace("`", "").replace("**", "")


def md_paragraph(markdown, start):
    for block in re.split(r"\n\s*\n", markdown):
        if block.startswith(start):
            return textwrap.fill(plain(" ".join(block.split())), WIDTH)
    raise SystemExit(f"README.md has no paragraph starting with {start!r}")


def md_table(markdown, head):
    """The rows of the table whose header row's first cell is `head`."""
    lines = markdown.split("\n")
    for i, line in enumerate(lines):
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if line.startswith("|") and cells[0] == head:
            rows = [cells]
            for row in lines[i + 2:]:
                if not row.startswith("|"):
                    break
                rows.append([plain(c.strip()) for c in row.strip().strip("|").split("|")])
            return rows
    raise SystemExit(f"README.md has no table headed {head!r}")


def text_table(rows):
    """Two columns: the second wrapped, its lines indented under its start."""
    key_width = max(len(r[0]) for r in rows) + 2
    out = []
    for key, value in [rows[0], ["-" * len(rows[0][0]), "-" * len(rows[0][1])]] + rows[1:]:
        wrapped = textwrap.wrap(value, WIDTH - 2 - key_width) or [""]
        out.append("  " + key.ljust(key_width) + wrapped[0])
        out += [" " * (2 + key_width) + more for more in wrapped[1:]]
    return "\n".join(out)


def version():
    return read(os.path.join(ROOT, "VERSION")).decode().split()[0]


def usage_text(version):
    """What the release's tarvel.exe -? prints: the banner carries the exe's
    version, which is VERSION's."""
    usage = read(USAGE).decode("ascii")
    if not usage.startswith(GOLDEN_BANNER):
        raise SystemExit(f"{USAGE} does not start with {GOLDEN_BANNER!r}")
    return f"Tarvel V{version} (Win32) " + usage[len(GOLDEN_BANNER):]


def readme_txt(version):
    """The guide, with CR LF line ends, as bytes."""
    markdown = read(os.path.join(ROOT, "README.md")).decode()
    usage = usage_text(version)
    out = []
    for line in read(TEMPLATE).decode().split("\n"):
        directive = re.fullmatch(r"@(usage|table|paragraph)(?: (.*))?@", line)
        if not directive:
            out.append(line.replace("@version@", version))
        elif directive[1] == "usage":
            # Kept as the program prints it, CR LF and all.
            out.append(usage.replace("\r\n", "\n").rstrip("\n"))
        elif directive[1] == "table":
            out.append(text_table(md_table(markdown, directive[2])))
        else:
            out.append(md_paragraph(markdown, directive[2]))
    return "\n".join(out).replace("\n", "\r\n").encode("ascii")


def entry(name, stamp):
    info = zipfile.ZipInfo(name, time.gmtime(max(stamp, DOS_EPOCH))[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    # The same modes for every entry, not the packing machine's: readable by
    # all where unzip applies them, ignored by Windows.
    info.create_system = 3
    info.external_attr = 0o100644 << 16
    return info


def package(out, exes, stamp, version):
    files = [(name, read(path)) for name, path in exes]
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)
    files += [("README.txt", readme_txt(version)), ("SHA256SUMS", sums.encode("ascii"))]
    # Written beside the target and renamed: a failed run leaves no half zip.
    part = out + ".part"
    with zipfile.ZipFile(part, "w") as z:
        for name, data in files:
            z.writestr(entry(name, stamp), data, compresslevel=9)
    os.replace(part, out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--time", type=int, default=DOS_EPOCH,
                        help="the entries' time, seconds since 1970 (UTC)")
    parser.add_argument("--readme", metavar="OUT", help="write README.txt alone")
    parser.add_argument("--version", default=None, help="the guide's version (default: VERSION's)")
    parser.add_argument("zip", nargs="?")
    parser.add_argument("exes", nargs="*")
    args = parser.parse_args()
    if args.readme:
        with open(args.readme, "wb") as f:
            f.write(readme_txt(args.version or version()))
        return 0
    if not args.zip or len(args.exes) != 4:
        parser.error("give the zip and the four exes")
    names = ["tarvel.exe", "tarvel64.exe", "tarvel-capture.exe", "tarvel-capture64.exe"]
    package(args.zip, list(zip(names, args.exes)), args.time, args.version or version())
    return 0


if __name__ == "__main__":
    sys.exit(main())
