#!/usr/bin/env python3
"""Checks of usbstack.py that need no Wine: the registry form it writes from
tarvel-machine's resolved machine against what tarvel-sim shows of the same
file, and the refusals of what Wine cannot play.

    usbstack_test.py [TARVEL_SIM [TARVEL_MACHINE]]   (default: those of build/linux)
"""
import glob
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "fakeusb"))
sys.dont_write_bytecode = True
import usbstack  # noqa: E402

SIM = os.path.join(ROOT, "build", "linux", "tarvel-sim")
TOOL = usbstack.DEFAULT_MACHINE_TOOL
MACHINES = (glob.glob(os.path.join(ROOT, "examples", "*.json"))
            + glob.glob(os.path.join(HERE, "machines", "[!c]*.json"))
            + glob.glob(os.path.join(ROOT, "tests", "golden", "machines", "*.json")))
# Numbered defaults: driver keys count every listed port, connected or not,
# nested ones in file order; an extra node's instance ID counts every node
# before it; anonymous children follow every named node.
NUMBERING = {"usb": {"controllers": [
    {"root_hub": {"ports": 3, "node": {"children": 2}, "connections": {
        "1": {"status": 0},
        "2": {"vid": "0x0A0A", "node": {"children": 1},
              "hub": {"ports": 2, "connections": {"2": {"vid": "0x0B0B"}}}},
        "3": {"vid": "0x0C0C", "node": {"driver": "elsewhere", "children": 3}}},
        # Port 3's record finds this node by its driver key.
        "extra_nodes": [{"driver": "{36fc9e60-c465-11cf-8056-444553540000}\\0003",
                         "friendly_name": "Extra"}]}},
    {"root_hub": {"ports": 1, "connections": {"1": {"vid": "0x0D0D", "pid": "0x0001"}}}}]}}


def topology(machine):
    """What the harness makes of a machine (a dict or a file), refused or not."""
    if isinstance(machine, dict):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump(machine, f)
        try:
            return usbstack.Topology(usbstack.resolved_machine(f.name, TOOL)["usb"])
        finally:
            os.unlink(f.name)
    return usbstack.Topology(usbstack.resolved_machine(machine, TOOL)["usb"])


def resolve(machine):
    return topology(machine).playable()


def registry(t):
    """The registry form as written, read back: key -> {value name: value}."""
    keys = {}
    for key, lines in usbstack.parameters(t, 7):
        values = keys.setdefault(key, {})
        for line in lines:
            name, kind, data = re.match(r'"([^"]+)"=(dword:|hex\(1\):|hex:)(.*)', line).groups()
            if kind == "dword:":
                values[name] = int(data, 16)
            else:
                raw = bytes.fromhex(data.replace(",", ""))
                values[name] = raw if kind == "hex:" else raw.decode("utf-16-le").rstrip("\0")
    return keys


def run_sim(machine_path, args):
    env = dict(os.environ, TARVEL_MACHINE=machine_path, TARVEL_CMDLINE="tarvel " + args)
    out = subprocess.run([SIM], env=env, capture_output=True, timeout=120).stdout
    return out.decode("cp1252", "replace")


def device_blocks(out):
    """The device blocks of a listing, as {field: text}."""
    blocks = []
    for chunk in out.split("\r\n\r\n"):
        fields = dict(line.split(" : ", 1) for line in chunk.split("\r\n") if " : " in line)
        fields = {k.strip(): v for k, v in fields.items()}
        if "USB Port" in fields:
            blocks.append(fields)
    return blocks


def shown(text, width):
    """A text as the program prints it: in the ANSI code page, cut to its
    field."""
    return text.encode("cp1252", "replace")[:width - 1].decode("cp1252")


def answered(key):
    """A driver key as the program reads it: the hub answers a key longer
    than the program's area (64 wide characters) with no name at all."""
    return shown(key, 64) if len(key.encode("utf-16-le")) < 128 else ""


def shown_pattern(text, width):
    """What the program prints of a text in code page 1252, as a pattern: a
    character 1252 lacks takes its best fit, one byte that the code-page
    tests pin, so here it may be any."""
    units = []
    for ch in text:
        try:
            units.append(re.escape(ch.encode("cp1252").decode("cp1252")))
        except UnicodeEncodeError:
            units += ["."] * (len(ch.encode("utf-16-le")) // 2)
    return "".join(units[:width - 1])


def walked_ports(usb):
    """How many records the walk makes (at most 1024): the connected ports of
    every hub it reaches from the controllers, each hub once (names compare
    without case). A name over 255 units fits the program's answer or path
    area no more, so it opens no hub."""
    seen = set()

    def walk(h):
        name = h["name"]
        if not name or len(name.encode("utf-16-le")) > 2 * 255 or name.upper() in seen \
                or not (h["open"] and h["node_info"]):
            return 0
        seen.add(name.upper())
        ports = [p for p in h["connections"]
                 if p["number"] <= h["ports"] and p["query"] == "ok" and p["status"] == 1]
        return len(ports) + sum(walk(usb["hubs"][p["hub"] - 1]) for p in ports
                                if p["is_hub"] and p["hub"] and p["node_name"] == "ok")
    return min(1024, sum(walk(usb["hubs"][c["root_hub"] - 1])
                         for c in usb["controllers"] if c["open"] and c["root_hub"]))


def listed_nodes(usb):
    """How many nodes the node list holds (at most 1024): the children of
    the hub set's nodes whose status can be read."""
    nodes = {n["devinst"]: n for n in usb["nodes"]}
    parents = {h["node"] for h in usb["hubs"] if h["name"] in usb["hub_set_order"]
               and h["node"] and not isinstance(nodes[h["node"]]["status"], dict)}
    return min(1024, sum(n["parent"] in parents for n in usb["nodes"]))


def readable(text):
    """Whether a property fits the program's 2048-byte buffer."""
    return len((text + "\0").encode("utf-16-le")) <= 2048


class HarnessAgreesWithTheSimulator(unittest.TestCase):
    """What the harness writes for the driver must be the machine tarvel-sim
    plays: the ports its walk finds (-D:1: chain, IDs, status, driver key)
    at the same hub and port of the registry form, the node list (-D:1:
    DEVINST, instance ID, the parent hub's node) in the same numbering and
    parent links, and every listed device's properties in its node."""

    def check_machine(self, path, label):
        """A machine the harness refuses is never played; one it plays must
        agree. Texts are compared where the program writes code page 1252."""
        machine = usbstack.resolved_machine(path, TOOL)
        t = usbstack.Topology(machine["usb"])
        if t.problems:
            return False
        keys = registry(t)
        debug = run_sim(path, "-na -w:0 -D:1")
        self.assertEqual(self.check_ports(keys, debug, label), walked_ports(machine["usb"]), label)
        self.assertEqual(self.check_node_list(t, keys, debug, label), listed_nodes(machine["usb"]),
                         label)
        console = machine["console"]
        if console["ansi_cp"] == 1252 and console["stdout"] not in ("console", "nul"):
            self.check_listing(keys, run_sim(path, "-na -w:0"), label)
        return True

    def hub_at(self, keys, chain):
        """The registry's hub key on the port chain (all but its last port)."""
        parts = [int(p) for p in chain.split("-")]
        hub = keys[f"Controller{parts[0] - 1}"]["RootHub"]
        for port in parts[1:-1]:
            hub = struct.unpack_from("<I", keys[f"Hub{hub - 1}"][f"Port{port}"], 40)[0]
        return keys[f"Hub{hub - 1}"], parts[-1]

    def check_ports(self, keys, debug, label):
        found = re.findall(r"VendorID=(\w+) ProductID=(\w+) PortName=(\S+)\r\n"
                           r" DriverKeyName=(.*)\r\n ConnState=(\d+)", debug)
        for vid, pid, chain, driver_key, status in found:
            with self.subTest(machine=label, port=chain):
                hub, port = self.hub_at(keys, chain)
                fields = struct.unpack_from("<IIIHH", hub[f"Port{port}"])
                self.assertEqual(fields[2:], (int(status), int(vid, 16), int(pid, 16)))
                if struct.unpack_from("<I", hub[f"Port{port}"], 32)[0]:
                    self.assertTrue(driver_key.startswith("- ("), driver_key)
                else:
                    self.assertEqual(driver_key, answered(hub[f"DriverKey{port}"]))
        return len(found)

    def check_node_list(self, t, keys, debug, label):
        found = re.findall(r"Dev\[ *\d+\]= *(\d+) .* (\S+)\r\n.*\r\n"
                           r" +parentdevpath=(.*)\r\n", debug)
        paths = {h["interface_path"]: i for i, h in enumerate(t.hubs)}
        for devinst, instance_id, parent_path in found:
            with self.subTest(machine=label, devinst=devinst):
                node = keys[f"Node{t.index[int(devinst)]}"]
                self.assertTrue(shown(node["InstanceId"], 200).endswith(instance_id))
                parent = keys[f"Node{node['Parent'] - 1}"]
                if parent_path in paths:
                    self.assertEqual(parent["Hub"], paths[parent_path] + 1)
        return len(found)

    def assertShown(self, printed, text, width):
        self.assertRegex(printed, "^(?s:" + shown_pattern(text, width) + ")$")

    def check_listing(self, keys, out, label):
        nodes = {v["InstanceId"]: v for k, v in keys.items() if k.startswith("Node")}
        blocks = [b for b in device_blocks(out) if "DeviceID" in b]
        for b in blocks:
            with self.subTest(machine=label, port=b["USB Port"]):
                values = nodes[b["DeviceID"]]
                for field, stem, width in (("Location", "Location", 128),
                                           ("DriverKey", "Driver", 44)):
                    text = values.get("Tarvel" + stem)
                    if text is not None and readable(text):
                        self.assertShown(b[field], text, width)
                    elif text is not None:
                        self.assertEqual(b[field], "- (CR_BUFFER_SMALL)")
                friendly = values.get("TarvelFriendlyName", "")
                if friendly[:1] not in ("", "-") and readable(friendly):
                    self.assertShown(b["Name"], friendly, 128)
                elif "TarvelDeviceDesc" in values:
                    self.assertShown(b["Name"], values["TarvelDeviceDesc"], 128)

    def setUp(self):
        if not (os.path.exists(SIM) and os.path.exists(TOOL)):
            self.skipTest("no tarvel-sim or tarvel-machine")

    def test_machine_files(self):
        played = 0
        for path in MACHINES:
            with open(path, encoding="utf-8") as f:
                if "usb" in json.load(f):
                    played += self.check_machine(path, os.path.relpath(path, ROOT))
        self.assertGreater(played, 20)

    def test_numbered_defaults(self):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump(NUMBERING, f)
        try:
            self.assertTrue(self.check_machine(f.name, "numbering"))
        finally:
            os.unlink(f.name)


class FlatForm(unittest.TestCase):
    def keys(self, machine):
        return dict(usbstack.parameters(resolve(machine), 7))

    def test_a_node_without_parent_hangs_on_the_root_device(self):
        # The hub on port 1 has a node though its root hub has none: it is a
        # member of the hub set all the same, so it must exist.
        keys = self.keys({"usb": {"controllers": [{"root_hub": {"node": None, "connections": {
            "1": {"hub": {"connections": {"1": {"vid": 1}}}}}}}, {"root_hub": {}}]}})
        self.assertIn('"Nodes"=dword:00000005', keys[""])
        self.assertIn('"Node"=dword:00000000', keys["Hub0"])
        self.assertIn('"Node"=dword:00000002', keys["Hub1"])
        self.assertIn('"Node"=dword:00000005', keys["Hub2"])
        self.assertIn('"Parent"=dword:00000000', keys["Node1"])
        self.assertIn('"Parent"=dword:00000002', keys["Node2"])
        self.assertIn('"Parent"=dword:00000004', keys["Node4"])

    def test_a_hubs_anonymous_children_follow_every_named_node(self):
        # Numbers as tarvel-sim's node list shows them (-D:1): the leaf's three
        # anonymous children count, though only hubs' are made.
        r = resolve({"usb": {"controllers": [{"root_hub": {"node": {"children": 2}, "connections": {
            "1": {"node": {"children": 3}},
            "2": {"vid": 7, "node": {"children": 1}, "hub": {"connections": {"1": {"vid": 8}}}}}}}]}})
        children = {}
        for n in r.nodes:
            children.setdefault(n["parent"], []).append(n["instance_id"].rsplit("\\", 1)[1])
        self.assertEqual(children[1], ["5&1a2b3c4d&0&1", "5&1a2b3c4d&0&2", "X6", "X7"])
        self.assertEqual(children[3], ["5&1a2b3c4d&0&1", "X11"])

    def test_ports_above_the_hubs_count_are_not_written(self):
        keys = self.keys({"usb": {"controllers": [{"root_hub": {"ports": 2, "connections": {
            "2": {}, "3": {}}}}]}})
        self.assertTrue(any(v.startswith('"Port2"=') for v in keys["Hub0"]))
        self.assertFalse(any(v.startswith('"Port3"=') for v in keys["Hub0"]))

    def test_port_layout_matches_the_driver(self):
        p = resolve({"usb": {"controllers": [{"root_hub": {"connections": {"1": {
            "vid": "0x1234", "speed": 3, "driver_key": {"error": 1167}, "hub": {}}}}}]}}
                    ).hubs[0]["connections"][0]
        blob = usbstack.port_blob(p)
        self.assertEqual(len(blob), 44)
        self.assertEqual(blob[12:14], b"\x34\x12")                 # Vid
        self.assertEqual(blob[18:20], b"\x03\x01")                 # Speed, IsHub
        self.assertEqual(blob[24:32], b"\x07\0\0\0\x03\0\0\0")     # Protocols, Flags
        self.assertEqual(blob[32:36], (1167).to_bytes(4, "little"))
        self.assertEqual(blob[40:44], (2).to_bytes(4, "little"))   # Hub 1, plus one


class Refusals(unittest.TestCase):
    def test_what_a_driver_cannot_play(self):
        cases = [
            ({"controller_set": "fails"}, "usb.controller_set"),
            ({"controllers": [{"detail": False}]}, "controllers[0].detail"),
            ({"controllers": [{"root_hub": {"interface_path": "\\\\?\\" + "x" * 504}}]},
             "root_hub.interface_path"),
            ({"controllers": [{"root_hub": {"node": {"instance_id": {"cr": 13}}}}]}, "instance_id"),
            ({"controllers": [{"root_hub": {"connections": {"4": {
                "driver_key": {"error": 0x10000}}}}}]}, "connections.4.driver_key"),
            ({"controllers": [{"root_hub": {"connections": {"3": {"node": {
                "instance_id": "USB\\VID_1&PID_2\\" + "A" * 184}}}}}]}, "connections.3.node"),
            ({"controllers": [{"root_hub": {"connections": {
                "1": {"node": {"instance_id": "USB\\A\\1"}},
                "2": {"node": {"instance_id": "usb\\a\\1"}}}}}]}, "connections.2.node"),
        ]
        for usb, where in cases:
            with self.subTest(where=where):
                with self.assertRaisesRegex(usbstack.Unexpressible, re.escape(where)):
                    resolve({"usb": usb})

    def test_diagnostics_are_never_played(self):
        for args in (["-D:1"], ["-na", "/d:3"], ["-D:12"]):
            with self.assertRaisesRegex(usbstack.Unexpressible, "diagnostics", msg=args):
                usbstack.check_args(args)
        for args in (["-D:0"], ["-d:"], ["-D:-2"], ["-na", "D:1", "1-2"]):
            usbstack.check_args(args)

    def test_windows_versions(self):
        for version, pack, name in (([10, 0, 19045], 0, "win10"), ([6, 2, 9200], 0, "win10"),
                                    ([6, 1, 7601], 1, "win7"), ([5, 1, 2600], 1, "win7")):
            system = {"os_version": version, "service_pack": pack}
            self.assertEqual(usbstack.wine_version(system), name, system)
        with self.assertRaises(usbstack.Unexpressible):
            usbstack.wine_version({"os_version": [5, 1, 2600], "service_pack": 0})

    def test_what_a_program_run_can_be(self):
        console = {"stdout": "auto", "ansi_cp": 1252}
        self.assertEqual(usbstack.program_locale(console), "C.UTF-8")
        for change in ({"stdout": "console"}, {"ansi_cp": 1253}):
            with self.assertRaisesRegex(usbstack.Unexpressible, list(change)[0]):
                usbstack.program_locale(dict(console, **change))
        # Wine failing to start a program: exit 1 without a word of its own.
        start = usbstack.wine_start_failure
        self.assertTrue(start(1, b"", b"") and start(1, b"", b"wine: could not load\n"))
        for code, out, err in ((1, b"", b"capture: cannot write\n"), (1, b"x", b""), (0, b"", b"")):
            self.assertIsNone(start(code, out, err))


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        SIM = sys.argv.pop(1)
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        TOOL = sys.argv.pop(1)
    unittest.main()
