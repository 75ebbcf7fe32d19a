#!/usr/bin/env python3
"""Runs tarvel64.exe or tarvel.exe under wine64 and compares its exact stdout
bytes and exit code. Wine's prefix has no USB host controller, so every
listing ends in "No USB devices found".

usage: wine_run.py cases
       wine_run.py WINE PREFIX setup
       wine_run.py WINE PREFIX shutdown
       wine_run.py WINE PREFIX run EXE CASE
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "fakeusb"))
sys.dont_write_bytecode = True
import usbstack  # noqa: E402

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "golden", "out")
SIX_IDS = ["1-1", "1-2", "1-3", "USB\\VID_*", "{36FC9E60-C465-11CF-8056-444553540000}\\0001", "1-*"]

# name: (arguments, expected stdout as the golden transcript of that name
# (None: nothing), expected exit code[, dlls wine must not load])
CASES = {
    "list": ([], "nodev", 0),
    "help": (["-?"], "usage", 2),
    # "-l" looks like an option of old but is not one; "-w" needs its colon.
    "bad_options": (["-na", "-l"], "usage", 2),
    "no_colon": (["-w"], "usage", 2),
    # Lower-case options only work when user32's CharUpperA is bound.
    "no_about": (["/na"], "nodev-na", 0),
    # StrToIntA comes from shlwapi; a short pause, then the normal end.
    "wait": (["-w:50", "-na"], "nodev-na", 0),
    "ids_without_devices": (["1-2", "usb\\vid_0*"], "nodev", 0),
    "too_many_ids": (SIX_IDS, "too-many", 2),
    "too_many_ids_before_bad_option": (SIX_IDS + ["-x"], "too-many", 2),
    # A one-character argument is no ID, so these are only five.
    "single_characters_ignored": (SIX_IDS[:5] + ["*", "x"], "nodev", 0),
    # Wine quotes an argument with blanks; it must stay one ID of five.
    "quoted_id_stays_one": (SIX_IDS[:4] + ["My USB Stick & Co"], "nodev", 0),
    # Services that cannot be bound fail like calls: no devices, no crash.
    "without_setupapi": ([], "nodev", 0, "setupapi,cfgmgr32"),
    # Without user32 nothing formats and "/na" stays lower case, so it is
    # an unknown option: usage path, silent.
    "without_user32": (["/na"], None, 2, "user32"),
}


def show(data):
    return repr(data)[2:-1]


def app_overrides(exe, disabled):
    """The registry key of Wine's DLL overrides for this exe's file name
    alone, and the arguments of `reg` that set each DLL to disabled. The
    whole command's WINEDLLOVERRIDES would also reach Wine's launcher,
    which starts a 32-bit exe and itself needs user32."""
    key = "HKCU\\Software\\Wine\\AppDefaults\\" + os.path.basename(exe) + "\\DllOverrides"
    return key, [["reg", "add", key, "/v", dll, "/d", "", "/f"] for dll in disabled.split(",")]


def loads_in_exe(err, exe):
    """The modules loaded on the exe's own thread, from Wine's +loaddll
    trace: every line of that thread after the line that loads the exe."""
    lines = err.decode(errors="replace").splitlines()
    name = "\\" + os.path.basename(exe).lower() + '"'
    starts = [line.split(":", 1)[0] for line in lines
              if ":loaddll:" in line and "Loaded L" in line and name in line.lower()]
    if not starts:
        return None
    return [line.lower() for line in lines
            if line.startswith(starts[0] + ":") and ":loaddll:" in line and "Loaded L" in line]


def run(wine, prefix, exe, case):
    args, golden, expected_exit, *disabled = CASES[case]
    expected = b""
    if golden:
        with open(os.path.join(GOLDEN, golden + ".txt"), "rb") as f:
            expected = f.read()
    # The transcripts are of the simulated 32-bit program of version 1.0.0.
    platform = b" (Win32) " if usbstack.is_win32(exe) else b" (x64) "
    expected = expected.replace(b"Tarvel V1.0.0 (Win32) ",
                                b"Tarvel V" + usbstack.VERSION.encode() + platform, 1)
    env = usbstack.wine_env(prefix)
    usbstack.check_win32(wine, prefix, exe, env)
    errors = []
    if disabled:
        key, adds = app_overrides(exe, disabled[0])
        for add in adds:
            usbstack.wine_call(wine, prefix, add)
        env["WINEDEBUG"] = "-all,+loaddll"
    try:
        code, out, err = usbstack.run_started(wine, prefix, [wine, exe] + args, env, 60)
    finally:
        if disabled:
            usbstack.wine_call(wine, prefix, ["reg", "delete", key, "/f"])
    if disabled:
        # The case proves something only if the exe itself ran without them.
        loads = loads_in_exe(err, exe)
        if loads is None:
            errors.append(f"{os.path.basename(exe)} never started")
        for dll in disabled[0].split(",") if loads else []:
            if any("\\" + dll + '.dll"' in line for line in loads):
                errors.append(f"{dll}.dll was loaded although disabled")
    if code != expected_exit:
        errors.append(f"exit code {code}, expected {expected_exit}")
    if out.replace(b"\r\n", b"").count(b"\n"):
        errors.append("a line ends in a bare LF")
    if out != expected:
        errors.append(f"stdout\n  got:      {show(out)}\n  expected: {show(expected)}")
    for error in errors:
        print(f"{case}: {error}")
    if errors and err:
        print("stderr:", err.decode(errors="replace")[-2000:])
    return 1 if errors else 0


def main(argv):
    if argv[1:] == ["cases"]:
        print(";".join(CASES), end="")
        return 0
    wine, prefix, action = argv[1:4]
    if action == "setup":
        usbstack.shutdown(wine, prefix)
        shutil.rmtree(prefix, ignore_errors=True)
        usbstack.wine_call(wine, prefix, ["wineboot", "-i"], timeout=180)
    elif action == "shutdown":
        usbstack.shutdown(wine, prefix)
    else:
        return run(wine, prefix, argv[4], argv[5])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
