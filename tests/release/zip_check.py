#!/usr/bin/env python3
"""Checks of the release zip that scripts/release/package.py made from the
exes given to the build, the ones the Wine tests run.

usage: zip_check.py CHECK ZIP TARVEL32 TARVEL64 CAPTURE32 CAPTURE64 [VERSION]
  CHECK is entries | sums | exes | readme; VERSION that of the guide
  (default: VERSION's)
"""
import hashlib
import os
import re
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


def read(path):
    with open(path, "rb") as f:
        return f.read()


ENTRIES = read(os.path.join(HERE, "entries.txt")).decode().split()
EXE_NAMES = ENTRIES[:4]


def check_entries(z, exes, version):
    names = [i.filename for i in z.infolist()]
    if names != ENTRIES:
        return f"entries {names}, expected {ENTRIES}"
    # Attributes or times that differ between entries come from the machine.
    if len({(i.date_time, i.create_system, i.external_attr) for i in z.infolist()}) != 1:
        return "the entries differ in time or attributes"
    return None


def check_sums(z, exes, version):
    lines = z.read("SHA256SUMS").decode("ascii").split("\n")
    if lines[-1] != "":
        return "SHA256SUMS does not end in a line end"
    listed = [re.fullmatch(r"([0-9a-f]{64})  (\S+)", line) for line in lines[:-1]]
    if None in listed or [m[2] for m in listed] != EXE_NAMES:
        return f"SHA256SUMS is not one line '<sum>  <name>' for each of {EXE_NAMES}"
    for m in listed:
        if hashlib.sha256(z.read(m[2])).hexdigest() != m[1]:
            return f"the sum of {m[2]} differs from its line"
    return None


def check_exes(z, exes, version):
    for name, path in zip(EXE_NAMES, exes):
        if z.read(name) != read(path):
            return f"{name} in the zip is not {path}"
    return None


def exit_code_rows(markdown):
    """README.md's exit-code table, as 'code meaning' texts."""
    at = markdown.index("| code | meaning |")
    rows = []
    for line in markdown[at:].split("\n")[2:]:
        if not line.startswith("|"):
            break
        rows.append(" ".join(c.strip().replace("`", "") for c in line.strip("|").split("|")))
    return rows


def check_readme(z, exes, version):
    text = z.read("README.txt")
    if re.search(rb"\r(?!\n)|(?<!\r)\n", text) or not text.endswith(b"\r\n"):
        return "README.txt has a line end other than CR LF"
    # The golden transcript is of the simulated version 1.0.0; the exe's
    # banner carries the release's version (wine.run*.help runs it).
    usage = read(os.path.join(ROOT, "tests", "golden", "out", "usage.txt")).replace(
        b"Tarvel V1.0.0 ", b"Tarvel V" + version + b" ", 1)
    if not text.startswith(b"Tarvel " + version + b":") or usage not in text:
        return f"README.txt lacks version {version.decode()} or tarvel -? of that version"
    # The table's rows, in order, with nothing between them; wrapping aside.
    flat = " ".join(text.decode("ascii").split())
    table = " ".join(exit_code_rows(read(os.path.join(ROOT, "README.md")).decode()))
    if " ".join(table.split()) not in flat:
        return "README.txt lacks README.md's exit-code table"
    return None


def main(argv):
    check, path, exes = argv[1], argv[2], argv[3:7]
    version = (argv[7:] or read(os.path.join(ROOT, "VERSION")).decode().split())[0]
    with zipfile.ZipFile(path) as z:
        error = globals()[f"check_{check}"](z, exes, version.encode())
    if error:
        print(f"{path}: {error}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
