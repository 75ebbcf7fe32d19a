#!/usr/bin/env python3
"""cp_compare.py WINE PREFIX EXE SIM_TABLE: the code-page table that EXE
(checks/cp_table.c for Windows) writes under Wine against the one that the
same source writes on the simulated machine; prints the differences."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "fakeusb"))
import usbstack  # noqa: E402


def entries(lines):
    table = {}
    page = None
    for line in lines:
        if line.startswith("cp "):
            # Wine names code pages its own way ("OEM United States"); the
            # simulated machine has Windows' names, checked in the unit tests.
            page = line.split()[1]
            table[(page, "info")] = line.split()[:4]
            continue
        key, _, values = line.partition(":")
        table[(page, key)] = values.split()
    return table


def main(wine, prefix, exe, sim):
    with tempfile.TemporaryDirectory() as tmp:
        tmp = os.environ.get("TARVEL_CP_KEEP", tmp)
        win_file, sim_file = os.path.join(tmp, "win.txt"), os.path.join(tmp, "sim.txt")
        env = usbstack.wine_env(prefix)
        code, _, err = usbstack.run_started(wine, prefix, [wine, exe, "Z:" + win_file], env, 120)
        if code != 0 or not os.path.exists(win_file):
            print(f"{os.path.basename(exe)} failed ({code}):", err.decode(errors="replace")[-2000:])
            return 1
        subprocess.run([sim, sim_file], check=True)
        win = entries(open(win_file, encoding="latin-1").read().splitlines())
        ours = entries(open(sim_file, encoding="latin-1").read().splitlines())
    failed = 0
    for key in sorted(set(win) | set(ours)):
        a, b = win.get(key), ours.get(key)
        if a == b:
            continue
        failed += 1
        if key[1] == "info" or a is None or b is None:
            print(f"{key}: Wine {a!r}, sim {b!r}")
            continue
        diffs = [f"+{i:02x} {x}/{y}" for i, (x, y) in enumerate(zip(a, b)) if x != y]
        print(f"cp {key[0]} {key[1]}: {len(diffs)} differ (Wine/sim): {' '.join(diffs[:4])}")
    print(f"{len(win)} lines compared, {failed} differ")
    return 1 if failed else 0

if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
