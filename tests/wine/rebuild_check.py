#!/usr/bin/env python3
"""Builds the given exes again from a copy of the sources at another, long
path with spaces, and checks that each comes out byte for byte the same:
what ships must not depend on where or when it was built.

usage: rebuild_check.py SOURCE TOOLCHAIN EXE...
  TOOLCHAIN is the toolchain file's name under SOURCE/cmake/
"""
import os
import shutil
import subprocess
import sys
import tempfile


def run(command):
    """True when the command succeeds; else shows the end of what it said."""
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode:
        print(done.stdout.decode(errors="replace")[-3000:])
    return done.returncode == 0


def main(argv):
    source, toolchain, exes = argv[1], argv[2], argv[3:]
    with tempfile.TemporaryDirectory(prefix="tarvel rebuild ") as tmp:
        copy = os.path.join(tmp, "a second checkout of the same commit, elsewhere", "src")
        shutil.copytree(source, copy, ignore=lambda d, names: [
            n for n in names if d == source and n in ("build", "dist", ".git")])
        build = os.path.join(copy, "build", "again")
        targets = [os.path.basename(exe)[:-len(".exe")] for exe in exes]
        if not (run(["cmake", "-S", copy, "-B", build, "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=MinSizeRel",
                     "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(copy, "cmake", toolchain)])
                and run(["cmake", "--build", build, "--target"] + targets)):
            return 1
        failed = 0
        for exe in exes:
            again = os.path.join(build, os.path.basename(exe))
            with open(exe, "rb") as a, open(again, "rb") as b:
                if a.read() != b.read():
                    print(f"{os.path.basename(exe)}: built at {copy!r} it differs")
                    failed = 1
        return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv))
