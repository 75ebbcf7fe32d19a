#!/usr/bin/env python3
"""Runs a Windows program (tarvel64.exe or tarvel.exe, say) under wine64 on a
USB stack that a machine file describes: tarvelusb.sys plays the controllers,
hubs and devices, the stand-in cfgmgr32.dll answers the device-node queries
(fakeusb/README.md).

    usbstack.py [--wine W] [--stack DIR] [--stack32 DIR] PREFIX make
    usbstack.py [--wine W] [--machine-tool T] PREFIX load MACHINE.json
    usbstack.py [--wine W] PREFIX run EXE [ARG ...]
    usbstack.py [--wine W] PREFIX shutdown
    usbstack.py [--wine W] [--stack DIR] [--stack32 DIR] [--machine-tool T]
                PREFIX one MACHINE.json EXE [ARG ...]

`run` and `one` write the program's exact stdout and exit with its code.
The machine file is read by tarvel-machine (T, default that of build/linux),
the simulator's own parser, which fills in every default.
"""
import argparse
import functools
import json
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEFAULT_WINE = "/usr/lib/wine/wine64"
DEFAULT_STACK = os.path.join(ROOT, "build", "win64", "fakeusb")
DEFAULT_STACK32 = os.path.join(ROOT, "build", "win32", "fakeusb")  # its stand-in only
DEFAULT_MACHINE_TOOL = os.path.join(ROOT, "build", "linux", "tarvel-machine")

# The version the banner shows, and the exes' file version: its three parts
# and revision 0.
with open(os.path.join(ROOT, "VERSION")) as f:
    VERSION = f.read().split()[0]
EXE_VERSION = VERSION + ".0"
# Wine takes a program's ANSI and OEM code pages from its Unix locale; each
# of these gives the ANSI code page and the OEM one Windows pairs with it
# (1252 and 437 for C). scripts/setup.sh generates them.
LOCALES = {1252: "C.UTF-8", 932: "ja_JP.UTF-8", 936: "zh_CN.UTF-8", 1251: "ru_RU.UTF-8",
           1250: "cs_CZ.UTF-8"}
PARAMETERS_KEY = r"System\CurrentControlSet\Services\tarvelusb\Parameters"
REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")
HOLDERS = {}  # prefix -> the tarvelctl hold process this process started
HUB_GUID = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}"
# Node properties: machine key -> the value stem the stand-in reads.
PROPERTIES = {"friendly_name": "FriendlyName", "description": "DeviceDesc",
              "location": "Location", "driver": "Driver"}


class Unexpressible(Exception):
    """The machine uses something a driver under Wine cannot answer."""


# ---- the machine as the simulated machine plays it ----

def resolved_machine(path, tool=DEFAULT_MACHINE_TOOL):
    """The machine file resolved by the simulator's own parser (tarvel-machine
    resolve): every default filled in, hubs and nodes numbered, parents
    linked. The harness copies no default of the format."""
    done = subprocess.run([tool, "resolve", path], capture_output=True)
    if done.returncode != 0:
        raise RuntimeError(f"{os.path.basename(tool)} refused the machine: "
                           f"{done.stderr.decode(errors='replace').strip()}")
    return json.loads(done.stdout)


class Topology:
    """The resolved usb section as the driver gets it: the nodes Wine makes,
    numbered from 0 in DEVINST order, and the refusals of what a driver
    under Wine cannot answer."""

    def __init__(self, usb):
        self.controllers, self.hubs = usb["controllers"], usb["hubs"]
        self.problems = []
        # A node's anonymous children are seen only under a hub, where they
        # join its child list; only those are made.
        hub_nodes = {h["node"] for h in self.hubs if h["node"]}
        made = [n for n in usb["nodes"] if not n["anonymous"] or n["parent"] in hub_nodes]
        self.index = {n["devinst"]: i for i, n in enumerate(made)}
        self.nodes = [self.node(n) for n in made]
        for i, c in enumerate(self.controllers):
            self.nodes[self.index[c["node"]]]["controller"] = i
            # Never shown; zero-padded so that Wine, which orders the
            # interface set by path, keeps the controllers in file order.
            n = self.nodes[self.index[c["node"]]]
            n["instance_id"] = re.sub(r"\d+$", lambda m: "%03d" % int(m.group()), n["instance_id"])
            if not c["detail"]:
                self.refuse(c["at"] + ".detail", "every interface detail can be read")
        for i, h in enumerate(self.hubs):
            if h["node"]:
                self.nodes[self.index[h["node"]]]["hub"] = i
            if "\\" in h["name"] or "/" in h["name"]:
                self.refuse(h["at"] + ".name", "Wine reads a slash in \\\\.\\<name> as a path")
            if not h["interface_detail"]:
                self.refuse(h["at"] + ".interface_detail", "every interface detail can be read")
            for p in h["connections"]:
                if isinstance(p["driver_key"], dict) and p["driver_key"]["error"] > 0xFFFF:
                    # The driver carries the error as the NTSTATUS 0xC007xxxx.
                    self.refuse(p["at"] + ".driver_key",
                                "Wine passes on Win32 errors up to 0xFFFF only")
        for key in ("controller_set", "hub_set"):
            if usb[key] != "ok":
                self.refuse(f"usb.{key}", "a set that fails")
        seen = {}
        for n in self.nodes:
            key = n["instance_id"].upper()
            if key in seen:
                self.refuse(n["at"], f"instance ID {n['instance_id']} is also {seen[key]}'s")
            seen[key] = n["at"]
        self.check_hub_set(usb["hub_set_order"])

    def playable(self):
        if self.problems:
            raise Unexpressible("; ".join(self.problems))
        return self

    def refuse(self, path, why):
        self.problems.append(f"{path}: {why}")

    def node(self, n):
        entry = {"at": n["at"], "parent": self.index.get(n["parent"]), "controller": None,
                 "hub": None, "instance_id": n["instance_id"]}
        if isinstance(n["instance_id"], dict):
            self.refuse(n["at"] + ".instance_id", "a node under Wine always has an instance ID")
            entry["instance_id"] = "TARVEL\\UNREADABLE\\%d" % n["devinst"]
        if len(entry["instance_id"]) >= 200:
            self.refuse(n["at"] + ".instance_id", "Wine takes no device with an ID this long")
        values = {}
        if isinstance(n["status"], dict):
            values["TarvelStatusCr"] = ("dword", n["status"]["cr"])
        else:
            values["TarvelStatus"] = ("dword", n["status"])
            values["TarvelProblem"] = ("dword", n["problem"])
        for key, stem in PROPERTIES.items():
            v = n[key]
            if isinstance(v, dict) and "unterminated" in v:
                values["Tarvel" + stem] = ("unterminated", v["unterminated"])
            elif isinstance(v, dict):
                values["Tarvel" + stem + "Cr"] = ("dword", v["cr"])
            else:
                values["Tarvel" + stem] = ("sz", v)
        entry["values"] = values
        return entry

    def check_hub_set(self, order):
        """The hub set is written as the machine orders it (hub_set_entries).
        Wine's setupapi reads 259 characters of an interface path, all that
        Tarvel keeps; a path too long for its 512-byte detail area, which
        fails there on the machine, would not fail under Wine."""
        by_name = {h["name"]: h for h in self.hubs}
        self.hub_set = [by_name[name] for name in order]
        for h in self.hub_set:
            if len(h["interface_path"]) > 507:
                self.refuse(h["at"] + ".interface_path", "Wine passes on 259 characters of it")


def check_args(args):
    """-D:n with n above 0 shows the program's diagnostics, with hub handles
    and device instance handles of Wine's own (compare.py compares the node
    list of -D:1 with those masked)."""
    for arg in args:
        level = re.match(r"[-/]D:(\d*)", arg.upper())
        if level and int(level.group(1) or 0) > 0:
            raise Unexpressible(f"{arg}: the diagnostics show handles of Wine's own")


# ---- the flat registry form ----

def reg_hex(data):
    return ",".join("%02x" % b for b in data)


def reg_value(name, kind, value):
    """One value line in the format of Wine's own registry files. Texts go
    as hex(1), so that no character needs escaping."""
    if kind == "dword":
        return '"%s"=dword:%08x' % (name, value & 0xFFFFFFFF)
    if kind == "sz":
        return '"%s"=hex(1):%s' % (name, reg_hex((value + "\0").encode("utf-16-le")))
    if kind == "unterminated":  # a REG_SZ stored without its terminating zero
        return '"%s"=hex(1):%s' % (name, reg_hex(value.encode("utf-16-le")))
    return '"%s"=hex:%s' % (name, reg_hex(value))


def port_blob(p):
    v2 = p["v2"] if p["v2"] != "fails" else {"protocols": 0, "flags": 0}
    key = p["driver_key"]
    return struct.pack("<IIIHHHBBIIIIII", 1, p["query"] == "ok", p["status"], p["vid"], p["pid"],
                       p["bcd_usb"], p["speed"], int(p["is_hub"]), p["v2"] != "fails",
                       v2["protocols"], v2["flags"], key["error"] if isinstance(key, dict) else 0,
                       p["node_name"] == "ok", p["hub"] or 0)


def wine_version(system):
    """The Wine version name that puts the program on the same query path as
    the machine's os_version: the V2 query from 6.2 on, else the _EX query.
    Wine64 reports no Windows XP without a service pack, so the basic query
    of that one version cannot be reached."""
    major, minor = system["os_version"][:2]
    if (major, minor) == (5, 1) and system["service_pack"] == 0:
        raise Unexpressible("system.os_version: Windows XP without a service pack")
    return "win10" if (major << 8 | minor) >= 0x0602 else "win7"


def parameters(t, generation):
    """The flat topology: (subkey of Parameters, value lines) pairs. A node
    without a parent (a controller's, or one below a hub that has no node)
    becomes a child of the root device: a hub among them is still a member
    of the hub set, as on the simulated machine. Hub numbers in the resolved
    machine count from 1, as the registry's references do."""
    keys = [("", [reg_value("Generation", "dword", generation),
                  reg_value("Controllers", "dword", len(t.controllers)),
                  reg_value("Hubs", "dword", len(t.hubs)),
                  reg_value("Nodes", "dword", len(t.nodes))])]
    for i, c in enumerate(t.controllers):
        keys.append((f"Controller{i}", [
            reg_value("Open", "dword", int(c["open"])),
            reg_value("RootHub", "dword", c["root_hub"] or 0)]))
    for i, h in enumerate(t.hubs):
        caps = 2 if h["capabilities"] == "fails" else int(h["capabilities"])
        lines = [reg_value("Name", "sz", h["name"]), reg_value("Open", "dword", int(h["open"])),
                 reg_value("NodeInfo", "dword", int(h["node_info"])),
                 reg_value("Ports", "dword", h["ports"]), reg_value("Caps", "dword", caps),
                 reg_value("Node", "dword", t.index[h["node"]] + 1 if h["node"] else 0)]
        for p in h["connections"]:
            if p["number"] <= h["ports"]:
                key = p["driver_key"]
                lines.append(reg_value(f"Port{p['number']}", "binary", port_blob(p)))
                lines.append(reg_value(f"DriverKey{p['number']}", "sz",
                                       key if isinstance(key, str) else ""))
        keys.append((f"Hub{i}", lines))
    for i, n in enumerate(t.nodes):
        lines = [reg_value("InstanceId", "sz", n["instance_id"]),
                 reg_value("Parent", "dword", 0 if n["parent"] is None else n["parent"] + 1),
                 reg_value("Controller", "dword",
                           0 if n["controller"] is None else n["controller"] + 1),
                 reg_value("Hub", "dword", 0 if n["hub"] is None else n["hub"] + 1)]
        lines += [reg_value(name, kind, v) for name, (kind, v) in sorted(n["values"].items())]
        keys.append((f"Node{i}", lines))
    return keys


def hub_set_entries(t):
    """The hub interface set in the machine's order: Wine's setupapi lists
    the interface keys in the order of their names (made here to sort in
    that order, and before the keys Wine makes itself from instance IDs),
    with the member named by DeviceInstance and the path by SymbolicLink."""
    keys = []
    for i, h in enumerate(t.hub_set):
        key = r"System\CurrentControlSet\Control\DeviceClasses\%s\!tarvel#%06d" % (HUB_GUID, i)
        # Wine reads 259 UTF-16 units of it, or else takes a path of its own.
        path = h["interface_path"].encode("utf-16-le")[:518].decode("utf-16-le", "ignore")
        keys += [(key, [reg_value("DeviceInstance", "sz",
                                  t.nodes[t.index[h["node"]]]["instance_id"])]),
                 (key + "\\#", [reg_value("SymbolicLink", "sz", path)]),
                 (key + "\\#\\Control", [reg_value("Linked", "dword", 1)])]
    return keys


def registry_sections(keys):
    """Sections in the format of Wine's system.reg and user.reg, which the
    wineserver reads when a session starts; a key given twice is merged."""
    text = ""
    for path, lines in keys:
        text += "\n[%s] 0\n%s\n" % (path.replace("\\", "\\\\"), "\n".join(lines))
    return text


def program_locale(console):
    """The Unix locale in which Wine gives the programs the resolved
    machine's code pages. Their standard output is a file, so the machine's
    must be one too."""
    if console["stdout"] in ("console", "nul"):
        raise Unexpressible("console.stdout: under the harness standard output is a file")
    locale = LOCALES.get(console["ansi_cp"])
    if locale is None:
        raise Unexpressible(f"console.ansi_cp: no locale here gives code page {console['ansi_cp']}")
    installed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
    if locale.lower().replace("-", "") not in installed.lower().split():
        # Wine would quietly take code page 1252 instead.
        raise RuntimeError(f"the locale {locale} is not generated: run scripts/setup.sh")
    return locale


# ---- wine ----

@functools.lru_cache()
def i386_dlls():
    """Where scripts/setup.sh unpacks Wine's i386 PE DLLs (i386-windows/) for
    the installed wine64, found by the same rule."""
    version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "wine64"],
                             capture_output=True, text=True).stdout
    return "/opt/wine-i386/" + version.replace("~", "-")


def wine_env(prefix, overrides=""):
    # No Gecko/Mono installers and no desktop window on boot. Every command,
    # wineboot's included, needs WINEDLLPATH for the 32-bit side: without
    # it a prefix gets an empty syswow64, and a 32-bit program does nothing.
    env = dict(os.environ)
    env.setdefault("WINEDLLPATH", i386_dlls())
    env.update(WINEPREFIX=os.path.abspath(prefix), WINEDEBUG=env.get("TARVEL_WINEDEBUG", "-all"),
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" + overrides, DISPLAY="")
    return env


def is_win32(exe):
    with open(exe, "rb") as f:
        head = f.read(1024)
    return struct.unpack_from("<H", head, struct.unpack_from("<I", head, 0x3C)[0] + 4)[0] == 0x14C


def check_win32(wine, prefix, exe, env):
    """Without Wine's i386 DLLs a 32-bit program prints nothing and exits 0,
    which could pass for a run. So before the first 32-bit run in a prefix,
    `-?` must show the (Win32) banner and exit 2; else this says what is
    missing."""
    checked = os.path.join(prefix, "tarvel-win32-checked")
    if os.path.exists(checked) or not is_win32(exe):
        return
    code, out, _ = run_captured([wine, exe, "-?"], env, 60)
    if code == 2 and b" (Win32) " in out.split(b"\r\n")[0]:
        open(checked, "w").close()
        return
    dlls = env.get("WINEDLLPATH", "")
    if not os.path.exists(os.path.join(dlls, "i386-windows", "ntdll.dll")):
        why = f"WINEDLLPATH={dlls!r} holds no i386-windows/ntdll.dll: run scripts/setup.sh"
    elif not os.path.exists(os.path.join(prefix, "drive_c", "windows", "syswow64", "ntdll.dll")):
        why = ("the prefix's syswow64 is empty: it was made without WINEDLLPATH, or this "
               "kernel runs no 32-bit code (tests/wine/probe32.c)")
    else:
        why = "Wine's 32-bit side is there, so the program itself fails"
    raise RuntimeError(f"{exe} -? exited with {code} and wrote {out[:120]!r}: {why}")


def run_captured(command, env, timeout):
    """Runs a command to its end and returns (exit code, stdout, stderr).
    Output goes through files, not pipes: the first program of a session
    starts Wine's services, which inherit its handles and outlive it, and a
    pipe would not reach its end while they run."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(["timeout", str(timeout)] + command, env=env,
                              stdin=subprocess.DEVNULL, stdout=out, stderr=err).returncode
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def wine_call(wine, prefix, args, timeout=120):
    code, _, err = run_captured([wine] + args, wine_env(prefix), timeout)
    if code != 0:
        raise RuntimeError(f"{' '.join(args)} exited with {code}: "
                           f"{err.decode(errors='replace')[-2000:]}")


def wineserver(wine):
    return os.path.join(os.path.dirname(wine), "wineserver")


def start_session(wine, prefix):
    """Starts a program that keeps the session up until shutdown: without it
    the session, and the driver with it, would end a few seconds after each
    run, and the next run would find the stack half started again."""
    # Wine's services inherit its output: their diagnostics go to the log.
    with open(os.path.join(prefix, "tarvel-session.log"), "ab") as log:
        holder = subprocess.Popen([wine, r"C:\tarvel\tarvelctl.exe", "hold"],
                                  env=wine_env(prefix), stdin=subprocess.DEVNULL, stdout=log,
                                  stderr=log, start_new_session=True)
    HOLDERS[os.path.abspath(prefix)] = holder
    with open(os.path.join(prefix, "tarvel-holder.pid"), "w") as f:
        f.write(str(holder.pid))


def session_held(prefix):
    """Whether the holder of the last start_session still runs."""
    return holder_pid(prefix) is not None


def wait_until_ready(wine, prefix, timeout_ms=60000):
    with open(os.path.join(prefix, "tarvel-generation")) as f:
        generation = f.read()
    wine_call(wine, prefix, [r"C:\tarvel\tarvelctl.exe", "wait", generation, str(timeout_ms)],
              timeout=timeout_ms // 1000 + 60)


def harness_dir(prefix):
    return os.path.join(prefix, "drive_c", "tarvel")


def pristine_dir(prefix):
    return os.path.join(prefix, "tarvel-pristine")


def make_prefix(wine, prefix, stack=DEFAULT_STACK, stack32=DEFAULT_STACK32):
    """A fresh prefix with the driver installed for an empty machine and, where
    they were built, the stand-in cfgmgr32.dll of each width where Wine loads
    it. Its registry is kept aside as every machine's starting point."""
    shutdown(wine, prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    wine_call(wine, prefix, ["wineboot", "-i"], timeout=180)
    # wineboot leaves programs running that finish the prefix; the install
    # must not race them.
    wait_for_session_end(wine, prefix)
    windows = os.path.join(prefix, "drive_c", "windows")
    shutil.copy(os.path.join(stack, "tarvelusb.sys"), os.path.join(windows, "system32", "drivers"))
    for folder, system in ((stack, "system32"), (stack32, "syswow64")):
        if os.path.exists(os.path.join(folder, "cfgmgr32.dll")):
            shutil.copy(os.path.join(folder, "cfgmgr32.dll"), os.path.join(windows, system))
    os.makedirs(harness_dir(prefix), exist_ok=True)
    for name in ("tarvelusb.inf", "tarvelctl.exe"):
        shutil.copy(os.path.join(stack, name), harness_dir(prefix))
    # tarvelctl says why whenever it fails itself; a silent exit 1 is Wine's
    # failed start, and the install, never begun, is tried again.
    install = [wine, r"C:\tarvel\tarvelctl.exe", "install", r"C:\tarvel\tarvelusb.inf"]
    code, _, err = run_started(wine, prefix, install, wine_env(prefix), 120)
    if code != 0:
        raise RuntimeError(f"tarvelctl install exited with {code}: "
                           f"{err.decode(errors='replace')[-2000:]}")
    # The driver starts in the install's session, or at the latest in the next;
    # an empty machine has generation 0.
    with open(os.path.join(prefix, "tarvel-generation"), "w") as f:
        f.write("0")
    shutdown(wine, prefix)
    start_session(wine, prefix)
    wait_until_ready(wine, prefix, 30000)
    shutdown(wine, prefix)
    os.makedirs(pristine_dir(prefix))
    for name in REGISTRY_FILES:
        shutil.copy(os.path.join(prefix, name), pristine_dir(prefix))


def load_machine(wine, prefix, machine_json_path, timeout_ms=60000, reuse=False,
                 tool=DEFAULT_MACHINE_TOOL):
    """Ends the session, gives the driver the machine's usb section and
    starts a new session in which it presents exactly that; returns when
    every node has started. Wine keeps every device node it has seen and
    lists a stale one as a member of its interface class, so each machine
    starts from the registry the prefix had right after the install. With
    `reuse`, a machine loaded last by the same file is not loaded again."""
    with open(machine_json_path, "rb") as f:
        text = f.read()
    machine = resolved_machine(machine_json_path, tool)
    r = Topology(machine["usb"]).playable()
    version = wine_version(machine["system"])
    locale = program_locale(machine["console"])
    loaded = os.path.join(prefix, "tarvel-machine.json")
    if reuse and os.path.exists(loaded) and open(loaded, "rb").read() == text:
        return r
    if os.path.exists(loaded):
        os.unlink(loaded)
    generation = random.randint(1, 0x7FFFFFFF)
    shutdown(wine, prefix)
    for name in REGISTRY_FILES:
        shutil.copy(os.path.join(pristine_dir(prefix), name), prefix)
    with open(os.path.join(prefix, "system.reg"), "a", encoding="utf-8", newline="\n") as f:
        f.write(registry_sections((PARAMETERS_KEY + ("\\" + key if key else ""), lines)
                                  for key, lines in parameters(r, generation))
                + registry_sections(hub_set_entries(r)))
    with open(os.path.join(prefix, "user.reg"), "a", encoding="utf-8", newline="\n") as f:
        f.write(registry_sections([(r"Software\Wine", [reg_value("Version", "sz", version)])]))
    with open(os.path.join(prefix, "tarvel-generation"), "w") as f:
        f.write(str(generation))
    with open(locale_file(prefix), "w") as f:
        f.write(locale)
    start_session(wine, prefix)
    wait_until_ready(wine, prefix, timeout_ms)
    with open(loaded, "wb") as f:
        f.write(text)
    return r


def run_tarvel(wine, prefix, exe, args, timeout=60):
    """The program's exact stdout bytes and exit code."""
    code, out, _ = run_program(wine, prefix, exe, args, timeout)
    return out, code


def locale_file(prefix):
    return os.path.join(prefix, "tarvel-locale")


def run_program(wine, prefix, exe, args, timeout=60):
    """(exit code, stdout, stderr) of the program, in the loaded machine's
    locale. A session that has ended since the load (its holder is gone) is
    started again first; the new session reads the loaded machine from the
    registry."""
    env = wine_env(prefix, ";cfgmgr32=n,b")
    if os.path.exists(locale_file(prefix)):
        with open(locale_file(prefix)) as f:
            env["LC_ALL"] = f.read()

    def prepare():
        if not session_held(prefix):
            start_session(wine, prefix)
            wait_until_ready(wine, prefix)
        check_win32(wine, prefix, exe, env)

    return run_started(wine, prefix, [wine, exe] + list(args), env, timeout, prepare)


def run_started(wine, prefix, command, env, timeout, prepare=lambda: None, tries=3):
    """run_captured, but a program that Wine itself could not start runs
    again after the session has ended. Debian's Wine fails so when it reads
    the prefix's record of its server directory as empty, and deletes the
    record, so that the next program would start a second, empty session
    beside the one that plays the machine."""
    for _ in range(tries):
        prepare()
        code, out, err = run_captured(command, env, timeout)
        failure = wine_start_failure(code, out, err)
        if not failure:
            return code, out, err
        print(f"usbstack: {os.path.basename(command[1])}: {failure}; the session starts again",
              file=sys.stderr)
        shutdown(wine, prefix)
    raise RuntimeError(f"Wine did not start {command[1]} in {tries} sessions: {failure}")


def wine_start_failure(code, out, err):
    """Wine's loader's own failure, before the program ran: exit code 1,
    nothing on stdout, and on stderr nothing but Wine's lines "wine: ...",
    if any (Debian's Wine has failed so without a word, too). Every program
    the harness runs says why when it exits 1 itself. None otherwise."""
    if code != 1 or out:
        return None
    lines = err.decode(errors="replace").splitlines()
    wine_lines = [line for line in lines if line.startswith("wine: ")]
    if len(wine_lines) < len(lines):
        return None
    return wine_lines[0] if wine_lines else "exit code 1 and not a word"


def server_pids(prefix):
    """The wineservers of this prefix, wherever their directory is: each
    works in a directory named after the prefix's device and inode."""
    st = os.stat(prefix)
    name = f"server-{st.st_dev:x}-{st.st_ino:x}"
    pids = []
    for entry in os.listdir("/proc"):
        try:
            if entry.isdigit() and os.path.basename(os.readlink(f"/proc/{entry}/cwd")) == name:
                with open(f"/proc/{entry}/comm") as f:
                    if f.read().startswith("wineserver"):
                        pids.append(int(entry))
        except OSError:
            pass
    return pids


def holder_pid(prefix):
    """The pid of the running holder of this prefix's session, or None:
    asked of our own child directly (a dead one stays a zombie until
    polled), else by the pid it left for a later process."""
    holder = HOLDERS.get(os.path.abspath(prefix))
    if holder:
        return holder.pid if holder.poll() is None else None
    try:
        with open(os.path.join(prefix, "tarvel-holder.pid")) as f:
            pid = int(f.read())
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return pid if b"tarvelctl" in f.read() else None
    except (OSError, ValueError):
        return None


def wait_for_session_end(wine, prefix):
    subprocess.run(["timeout", "120", wineserver(wine), "-w"], env=wine_env(prefix),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def kill(pid):
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass  # it ended meanwhile


def shutdown(wine, prefix):
    """Ends the session of this prefix only; the wineserver saves the
    registry as it goes. A session that `wineserver -k` cannot reach (see
    run_started) ends when its holder is stopped."""
    if not os.path.isdir(prefix):
        return
    holder = holder_pid(prefix)
    subprocess.run(["timeout", "60", wineserver(wine), "-k"], env=wine_env(prefix),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for_session_end(wine, prefix)
    if holder and holder == holder_pid(prefix):
        kill(holder)
    deadline = time.monotonic() + 60
    while server_pids(prefix) and time.monotonic() < deadline:
        time.sleep(0.1)
    for pid in server_pids(prefix):
        kill(pid)
    child = HOLDERS.pop(os.path.abspath(prefix), None)
    if child:
        child.wait(timeout=60)
    try:
        os.unlink(os.path.join(prefix, "tarvel-holder.pid"))
    except OSError:
        pass


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--wine", default=DEFAULT_WINE)
    parser.add_argument("--stack", default=DEFAULT_STACK, help="where tarvelusb.sys and the rest are")
    parser.add_argument("--stack32", default=DEFAULT_STACK32, help="where the 32-bit stand-in is")
    parser.add_argument("--machine-tool", default=DEFAULT_MACHINE_TOOL,
                        help="tarvel-machine, which resolves the machine file")
    parser.add_argument("prefix")
    parser.add_argument("action", choices=["make", "load", "run", "shutdown", "one"])
    parser.add_argument("rest", nargs=argparse.REMAINDER)
    a = parser.parse_args(argv)
    try:
        if a.action == "make":
            make_prefix(a.wine, a.prefix, a.stack, a.stack32)
        elif a.action == "load":
            load_machine(a.wine, a.prefix, a.rest[0], tool=a.machine_tool)
        elif a.action == "shutdown":
            shutdown(a.wine, a.prefix)
        else:
            if a.action == "one":
                if not os.path.isdir(pristine_dir(a.prefix)):
                    make_prefix(a.wine, a.prefix, a.stack, a.stack32)
                load_machine(a.wine, a.prefix, a.rest.pop(0), tool=a.machine_tool)
            out, code = run_tarvel(a.wine, a.prefix, a.rest[0], a.rest[1:])
            sys.stdout.buffer.write(out)
            return code
    except (Unexpressible, RuntimeError) as e:
        print(f"usbstack: {e}", file=sys.stderr)
        return 125
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
