#!/usr/bin/env python3
"""Runs the cases of machines/cases.json on tarvel-sim and on tarvel64.exe
or tarvel.exe under wine64 on the fake USB stack (usbstack.py), and compares
stdout byte for byte and the exit code. The one difference allowed is the
banner's platform text of tarvel64.exe: (x64), where the simulated 32-bit
program says (Win32).

    compare.py cases
    compare.py [--wine W] [--stack DIR] [--stack32 DIR] PREFIX make
    compare.py [--wine W] PREFIX shutdown
    compare.py [--wine W] PREFIX exe EXE
    compare.py --sim SIM [--wine W] [--machine-tool T] --exe EXE PREFIX run [CASE ...]
    compare.py --sim SIM [--wine W] --exe EXE --capture CAPTURE PREFIX run [CASE ...]
    compare.py --sim SIM [--wine W] --exe EXE --empty-record PREFIX run CASE
    compare.py --sim SIM sim [CASE ...]

`run` loads each case's machine (unless the prefix has it loaded already,
so that the other exe runs on the same load) and runs all its command lines
on both sides; `sim` runs the simulated side alone; without names, every
case.
With `--capture`, the simulated side plays not the case's machine but the
one that CAPTURE (tarvel-capture.exe or tarvel-capture64.exe) writes on the
loaded stack: what the capture leaves out or gets wrong shows as a
difference from EXE's output. A failing case keeps the captured file in
captured/ beside PREFIX and names it.
With `--empty-record`, Wine fails to start the first run, which must then
recover in a new session.
Every machine under examples/ that the table leaves out is listed once as
a case of its own. `exe` runs another test program in the prefix and passes
on its exit code.
"""
import argparse
import difflib
import json
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "fakeusb"))
import usbstack  # noqa: E402

CASES_FILE = os.path.join(HERE, "machines", "cases.json")
BANNER_START = b"Tarvel V"
NODE_LINE = re.compile(rb" Dev\[| {10}(driverkey|parentdevpath)=")


def load_cases():
    """The table, and a plain listing of every example machine it leaves out,
    so that a new example is compared from the day it is added."""
    with open(CASES_FILE, encoding="utf-8") as f:
        cases = json.load(f)
    cases.pop("_", None)
    named = {case["machine"] for case in cases.values()}
    for name in sorted(os.listdir(os.path.join(ROOT, "examples"))):
        machine = "examples/" + name
        if name.endswith(".json") and machine not in named:
            cases["example-" + name[:-5]] = {"machine": machine, "runs": [{"args": [], "exit": 0}]}
    return cases


def machine_file(case, directory):
    """The case's machine with its system and console overrides, as a file
    both sides read."""
    with open(os.path.join(ROOT, case["machine"]), encoding="utf-8") as f:
        machine = json.load(f)
    # The exes carry VERSION; a machine that says nothing has version 1.0.0.0.
    machine.setdefault("system", {}).setdefault("exe_version", usbstack.EXE_VERSION)
    for section in ("system", "console"):
        machine.setdefault(section, {}).update(case.get(section, {}))
    path = os.path.join(directory, "machine.json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(machine, f, ensure_ascii=False)
    return path


def command_line(args):
    # Quoted as Wine quotes the arguments it passes on, so that both sides
    # see the same command line.
    quoted = ['"%s"' % a if not a or " " in a or "\t" in a else a for a in args]
    return " ".join(["tarvel"] + quoted)


def run_sim(sim, machine, args, stderr=None):
    """stdout and exit code; the first line of stderr is added to the list
    `stderr` when one is given (the simulator names a key it refuses there)."""
    env = dict(os.environ, TARVEL_MACHINE=machine, TARVEL_CMDLINE=command_line(args))
    env.pop("TARVEL_TRACE", None)
    result = subprocess.run([sim], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=60)
    if stderr is not None and result.stderr:
        stderr.append(result.stderr.decode(errors="replace").splitlines()[0])
    return result.stdout, result.returncode


def as_simulated(out):
    """tarvel64.exe's output with the banner's platform text of the
    simulated 32-bit program."""
    if not out.startswith(BANNER_START):
        return out
    first, sep, rest = out.partition(b"\r\n")
    return first.replace(b" (x64) ", b" (Win32) ", 1) + sep + rest


def show_diff(expected, got, exe, sim="tarvel-sim", limit=None):
    lines = list(difflib.unified_diff(
        [repr(line)[2:-1] for line in expected.splitlines(keepends=True)],
        [repr(line)[2:-1] for line in got.splitlines(keepends=True)],
        sim, f"{exe} under wine64", lineterm="", n=2))
    if limit is not None and len(lines) > limit:
        lines = lines[:limit] + [f"... {len(lines) - limit} more diff lines"]
    return "\n".join("    " + line for line in lines)


def first_difference(expected, got):
    """The number of the first line that differs, and that line on each side
    (None past a side's end)."""
    a, b = expected.splitlines(keepends=True), got.splitlines(keepends=True)
    for i in range(max(len(a), len(b))):
        line_a = a[i] if i < len(a) else None
        line_b = b[i] if i < len(b) else None
        if line_a != line_b:
            return i + 1, line_a, line_b
    return None


def check(label, expected_exit, sim_result, wine_result, exe, sim="tarvel-sim", limit=None):
    """Failure messages for one command line; empty when both sides agree."""
    (sim_out, sim_code), (wine_out, wine_code) = sim_result, wine_result
    errors = []
    if sim_code != expected_exit:
        errors.append(f"{sim} exited with {sim_code}, the case expects {expected_exit}")
    if wine_code != sim_code:
        errors.append(f"{exe} exited with {wine_code}, {sim} with {sim_code}")
    if wine_out != sim_out:
        number, line_sim, line_exe = first_difference(sim_out, wine_out)
        errors.append(f"stdout differs, first in line {number}: {sim} {line_sim!r}, "
                      f"{exe} {line_exe!r}\n" + show_diff(sim_out, wine_out, exe, sim, limit))
    return [f"{label}: {e}" for e in errors]


def load_case_machine(a, name, case, directory):
    """The case's machine, loaded in the stack unless it is there already."""
    machine = machine_file(case, directory)
    started = time.monotonic()
    usbstack.load_machine(a.wine, a.prefix, machine,
                          timeout_ms=case.get("load_seconds", 60) * 1000, reuse=True,
                          tool=a.machine_tool)
    print(f"{name}: machine loaded in {time.monotonic() - started:.1f} s")
    if a.empty_record:
        empty_server_record(a.prefix)
    return machine


def empty_server_record(prefix):
    """Leaves the record of the session's server directory empty: the state
    in which Debian's Wine fails to start a program."""
    path = os.path.join(prefix, "wineserver")
    if not os.path.exists(path):
        print("SKIPPED: this Wine keeps no record of its server directory in the prefix")
        sys.exit(77)
    os.chmod(path, 0o600)
    open(path, "w").close()
    os.chmod(path, 0o400)


def node_list(result):
    """The node list of -D:1 (each node's three lines), with the device
    instance handles masked: Wine's are its own."""
    out, code = result
    lines = [re.sub(rb"^( Dev\[ *\d+\]=) *\d+", rb"\1#", line) for line in
             out.splitlines(keepends=True) if NODE_LINE.match(line)]
    return b"".join(lines), code


def run_case(a, name, case):
    """Every command line of the case, then the node list of -D:1, whose
    order decides which node a port gets."""
    failures = []
    with tempfile.TemporaryDirectory() as directory:
        machine = load_case_machine(a, name, case, directory)
        exe, win32 = os.path.basename(a.exe), usbstack.is_win32(a.exe)
        for run in case["runs"] + [{"args": ["-D:1", "-na"], "nodes": True}]:
            label = f"{name} {command_line(run['args'])}"
            sim_result = run_sim(a.sim, machine, run["args"])
            code, out, err = usbstack.run_program(a.wine, a.prefix, a.exe, run["args"])
            wine_result = (out if win32 else as_simulated(out), code)
            if run.get("nodes"):
                sim_result, wine_result = node_list(sim_result), node_list(wine_result)
            errors = check(label, run.get("exit", sim_result[1]), sim_result, wine_result, exe)
            if errors and err:
                errors.append(f"{label}: {exe} said: {err.decode(errors='replace')[-600:]}")
            print("\n".join(errors) if errors else f"{label}: same bytes, exit {sim_result[1]}")
            failures += errors
    return failures


def captured_dir(prefix):
    return os.path.join(os.path.dirname(os.path.abspath(prefix)), "captured")


def capture_case(a, name, case):
    """EXE on the stack for every command line, then CAPTURE once, then
    tarvel-sim on the captured machine for every command line."""
    failures = []
    with tempfile.TemporaryDirectory() as directory:
        machine = load_case_machine(a, name, case, directory)
        exe, win32 = os.path.basename(a.exe), usbstack.is_win32(a.exe)
        # The exe first: before the first 32-bit run in a prefix, it is the
        # one that shows whether Wine's 32-bit side works.
        outputs = []
        for run in case["runs"]:
            out, code = usbstack.run_tarvel(a.wine, a.prefix, a.exe, run["args"])
            outputs.append((out if win32 else as_simulated(out), code))
        capture = os.path.basename(a.capture)
        started = time.monotonic()
        code, text, err = usbstack.run_program(a.wine, a.prefix, a.capture, [])
        print(f"{name}: {capture} ran in {time.monotonic() - started:.1f} s, "
              f"{len(text)} bytes, exit {code}")
        if code != 0:
            print(err.decode(errors="replace")[-2000:])
        kept = os.path.join(captured_dir(a.prefix),
                            f"{name}.{os.path.splitext(capture)[0]}.json")
        os.makedirs(os.path.dirname(kept), exist_ok=True)
        with open(kept, "wb") as f:
            f.write(text)
        if code != 0:
            failures.append(f"{name}: {capture} exited with {code}")
        sim = "tarvel-sim on the captured machine"
        for run, result in zip(case["runs"], outputs):
            label = f"{name} {command_line(run['args'])}"
            stderr = []
            sim_result = run_sim(a.sim, kept, run["args"], stderr)
            errors = check(label, run["exit"], sim_result, result, exe, sim, limit=40)
            if errors and stderr:
                errors.append(f"{label}: tarvel-sim said: {stderr[0]}")
            print("\n".join(errors) if errors else f"{label}: same bytes, exit {sim_result[1]}")
            failures += errors
    if failures:
        print(f"{name}: the captured machine is kept in {kept}")
    else:
        os.unlink(kept)
    return failures


def sim_case(a, name, case):
    failures = []
    with tempfile.TemporaryDirectory() as directory:
        machine = machine_file(case, directory)
        for run in case["runs"]:
            out, code = run_sim(a.sim, machine, run["args"])
            if code != run["exit"]:
                failures.append(f"{name} {command_line(run['args'])}: exit {code}, "
                                f"expected {run['exit']}")
    return failures


def main(argv):
    # Wine's own programs run in the C locale; the programs under test run
    # in the one that gives the loaded machine's code pages (usbstack).
    os.environ["LC_ALL"] = "C.UTF-8"
    if argv == ["cases"]:
        print(";".join(load_cases()), end="")
        return 0
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--wine", default=usbstack.DEFAULT_WINE)
    parser.add_argument("--stack", default=usbstack.DEFAULT_STACK)
    parser.add_argument("--stack32", default=usbstack.DEFAULT_STACK32)
    parser.add_argument("--sim")
    parser.add_argument("--machine-tool", default=usbstack.DEFAULT_MACHINE_TOOL)
    parser.add_argument("--exe")
    parser.add_argument("--capture", help="compare EXE with tarvel-sim on what this exe captures")
    parser.add_argument("--empty-record", action="store_true",
                        help="empty the record of the server directory once the machine is loaded")
    parser.add_argument("words", nargs="+", metavar="ARG", help="[PREFIX] ACTION [NAME ...], as above")
    a = parser.parse_args(argv)
    actions = ("make", "shutdown", "exe", "run", "sim")
    # Only `sim` goes without a prefix.
    a.prefix = None if a.words[0] == "sim" else a.words.pop(0)
    if not a.words or a.words[0] not in actions:
        parser.error(f"ACTION is one of {', '.join(actions)}")
    a.action, a.names = a.words[0], a.words[1:]
    if a.action == "make":
        usbstack.make_prefix(a.wine, a.prefix, a.stack, a.stack32)
        return 0
    if a.action == "shutdown":
        usbstack.shutdown(a.wine, a.prefix)
        return 0
    if a.action == "exe":
        out, code = usbstack.run_tarvel(a.wine, a.prefix, a.names[0], a.names[1:])
        sys.stdout.buffer.write(out)
        return code
    cases = load_cases()
    failures = []
    for name in a.names or list(cases):
        try:
            for run in cases[name]["runs"]:
                usbstack.check_args(run["args"])
            play = sim_case if a.action == "sim" else capture_case if a.capture else run_case
            failures += play(a, name, cases[name])
        except (usbstack.Unexpressible, RuntimeError) as e:
            print(f"{name}: {e}")
            failures.append(name)
    for failure in failures if a.action == "sim" else []:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
