#!/usr/bin/env python3
"""Static checks of a built Windows exe: what it imports, its size, its
version resource and manifest, its header's protections.

usage: exe_check.py OBJDUMP EXE CHECK [ARG]
  CHECK is imports | size MAX | version [DESCRIPTION] | manifest | header 32|64
        | reproducible DIR... (DIRs: the trees the exe was built from and in)
"""
import os
import re
import struct
import subprocess
import sys

FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD
RT_VERSION = 0x10
RT_MANIFEST = 0x18
# DllCharacteristics every build needs: ASLR, DEP, no terminal-server shims.
HARDENING = {"DYNAMIC_BASE": 0x40, "NX_COMPAT": 0x100, "TERMINAL_SERVER_AWARE": 0x8000}
HIGH_ENTROPY_VA = 0x20   # and for 64 bits, ASLR over the whole address space
SCN_WRITE_EXECUTE = 0xA0000000   # a section with both is an injection target
# The version the build gives the version resource: VERSION's three parts, revision 0.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "VERSION")) as f:
    VERSION = tuple(int(part) for part in f.read().split()[0].split(".")) + (0,)


def objdump_p(objdump, exe):
    return subprocess.run([objdump, "-p", exe], check=True, capture_output=True,
                          text=True).stdout


def check_imports(objdump, exe):
    dlls = re.findall(r"DLL Name:\s*(\S+)", objdump_p(objdump, exe))
    # Everything else is bound at run time from the system directory.
    if [d.upper() for d in dlls] != ["KERNEL32.DLL"]:
        return f"imports {dlls}, expected KERNEL32.dll alone"
    if "Windows CUI" not in objdump_p(objdump, exe):
        return "not a console-subsystem exe"
    return None


def check_size(exe, limit):
    with open(exe, "rb") as f:
        size = len(f.read())
    return None if size <= limit else f"{size} bytes, more than {limit}"


def resource_types(objdump, exe):
    """The IDs of the top level of the resource directory."""
    listing = objdump_p(objdump, exe)
    start = listing.find("Resource Directory section")
    if start < 0:
        return set()
    types = set()
    for line in listing[start:].splitlines()[1:]:
        # Type entries are indented by exactly two blanks after the offset.
        m = re.match(r"[0-9a-f]{3}   Entry: ID: 0x([0-9a-f]+)", line)
        if m:
            types.add(int(m.group(1), 16))
    return types


def file_description(data):
    """The FileDescription text of the version resource, or None."""
    key = "FileDescription\0".encode("utf-16-le")
    at = data.find(key)
    if at < 0:
        return None
    at += len(key)
    while data[at:at + 2] == b"\0\0":  # padding to the value
        at += 2
    end = at
    while data[end:end + 2] not in (b"\0\0", b""):
        end += 2
    return data[at:end].decode("utf-16-le")


def check_version(objdump, exe, description=None):
    if RT_VERSION not in resource_types(objdump, exe):
        return "no version resource"
    data = open(exe, "rb").read()
    at = data.find(struct.pack("<I", FIXED_FILE_INFO_SIGNATURE))
    if at < 0:
        return "no VS_FIXEDFILEINFO in the file"
    (_, _, file_ms, file_ls, prod_ms, prod_ls) = struct.unpack_from("<6I", data, at)
    got = (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF)
    if got != VERSION:
        return f"file version {got}, expected {VERSION}"
    if (prod_ms, prod_ls) != (file_ms, file_ls):
        return "product version differs from the file version"
    if description is not None and file_description(data) != description:
        return f"FileDescription {file_description(data)!r}, expected {description!r}"
    return None


def check_manifest(objdump, exe):
    if RT_MANIFEST not in resource_types(objdump, exe):
        return "no manifest resource"
    data = open(exe, "rb").read()
    for needed in (b'level="asInvoker"',
                   b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"):  # Windows 10
        if needed not in data:
            return f"manifest lacks {needed.decode()}"
    return None


def check_header(exe, bits):
    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, header_size, characteristics = struct.unpack_from("<H12xHH", data, pe + 6)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic != {"32": 0x10B, "64": 0x20B}[bits]:
        return f"optional header magic {magic:#x}: not a {bits}-bit exe"
    subsystem, flags = struct.unpack_from("<HH", data, opt + 68)
    if subsystem != 3:
        return f"subsystem {subsystem}, not console"
    wanted = dict(HARDENING, **({"HIGH_ENTROPY_VA": HIGH_ENTROPY_VA} if bits == "64" else {}))
    missing = [name for name, bit in wanted.items() if not flags & bit]
    if missing:
        return f"DllCharacteristics {flags:#x} lack {' '.join(missing)}"
    # Without base relocations the loader cannot move the image.
    relocs = struct.unpack_from("<4xI", data, opt + (96 if bits == "32" else 112) + 5 * 8)[0]
    if characteristics & 1 or not relocs:
        return "no base relocations"
    for at in range(opt + header_size, opt + header_size + 40 * sections, 40):
        if struct.unpack_from("<I", data, at + 36)[0] & SCN_WRITE_EXECUTE == SCN_WRITE_EXECUTE:
            return f"section {data[at:at + 8].rstrip(bytes(1)).decode()} is writable and executable"
    return None


def check_reproducible(exe, dirs):
    """Nothing in the file that differs between two builds of one commit:
    no time stamp, no path of the build machine."""
    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    stamp = struct.unpack_from("<I", data, pe + 8)[0]
    if stamp:
        return f"link time stamp {stamp:#x}, expected 0"
    for d in dirs:
        d = os.path.abspath(d)
        for form in (d.encode(), d.encode("utf-16-le")):
            if form in data:
                return f"holds the path {d}"
    # Any other absolute path of a source, such as one made by __FILE__.
    m = re.search(rb"(?<![\w:./])/(?:[\w .+-]+/)+[\w.+-]+\.(?:c|cc|cpp|h|rc)\b", data)
    if m:
        return f"holds the path {m.group().decode()}"
    return None


def main(argv):
    objdump, exe, check = argv[1:4]
    if check == "imports":
        error = check_imports(objdump, exe)
    elif check == "size":
        error = check_size(exe, int(argv[4]))
    elif check == "version":
        error = check_version(objdump, exe, argv[4] if len(argv) > 4 else None)
    elif check == "manifest":
        error = check_manifest(objdump, exe)
    elif check == "header":
        error = check_header(exe, argv[4])
    elif check == "reproducible":
        error = check_reproducible(exe, argv[4:])
    else:
        error = f"unknown check {check}"
    if error:
        print(f"{exe}: {error}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
