#!/usr/bin/env python3
"""Checks of usbstack.py that need no Wine: the machine resolver against
tarvel-sim, which fills the same defaults, and the flat form the driver reads.

    usbstack_test.py [TARVEL_SIM]   (default build/linux/tarvel-sim)
"""
import glob
import json
import os
import re
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

# Defaults that depend on numbering: driver keys count every listed port,
# connected or not, nested ones in file order; an extra node's instance ID
# counts every node before it, controllers' and hubs' included.
NUMBERING = {"usb": {"controllers": [
    {"root_hub": {"ports": 3, "connections": {
        "1": {"status": 0},
        "2": {"vid": "0x0A0A", "hub": {"ports": 2, "connections": {"2": {"vid": "0x0B0B"}}}},
        "3": {"vid": "0x0C0C", "node": {"driver": "elsewhere"}}},
        # Port 3's record finds this node by its driver key.
        "extra_nodes": [{"driver": "{36fc9e60-c465-11cf-8056-444553540000}\\0003",
                         "friendly_name": "Extra"}]}},
    {"root_hub": {"ports": 1, "connections": {"1": {"vid": "0x0D0D", "pid": "0x0001"}}}}]}}


def device_blocks(out):
    """The device blocks of a listing, as {field: text}."""
    blocks = []
    for chunk in out.decode("cp1252").split("\r\n\r\n"):
        fields = dict(line.split(" : ", 1) for line in chunk.split("\r\n") if " : " in line)
        fields = {k.strip(): v for k, v in fields.items()}
        if "USB Port" in fields:
            blocks.append(fields)
    return blocks


def shown(text, width):
    """A property as the program prints it: in the ANSI code page, cut to
    its field."""
    return text.encode("cp1252", "replace")[:width - 1].decode("cp1252")


def readable(text):
    """Whether a property fits the program's 2048-byte buffer."""
    return len((text + "\0").encode("utf-16-le")) <= 2048


def resolve(machine):
    return usbstack.Resolver().resolve(machine.get("usb", {}))


class ResolverAgreesWithTheSimulator(unittest.TestCase):
    """Every node tarvel-sim shows must come out of the resolver with the
    same instance ID, location, driver key and display name."""

    def check_machine(self, machine, label):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump(machine, f)
        try:
            env = dict(os.environ, TARVEL_MACHINE=f.name, TARVEL_CMDLINE="tarvel -na -w:0")
            out = subprocess.run([SIM], env=env, capture_output=True, timeout=60).stdout
        finally:
            os.unlink(f.name)
        nodes = {n["instance_id"]: n["values"] for n in resolve(machine).nodes}
        blocks = [b for b in device_blocks(out) if "DeviceID" in b]
        self.assertTrue(blocks, label)
        for b in blocks:
            with self.subTest(machine=label, port=b["USB Port"]):
                values = nodes[b["DeviceID"]]
                for field, stem, width in (("Location", "Location", 128),
                                           ("DriverKey", "Driver", 44)):
                    if "Tarvel" + stem in values:
                        self.assertEqual(b[field], shown(values["Tarvel" + stem][1], width))
                friendly = values.get("TarvelFriendlyName", ("", ""))[1]
                if friendly[:1] not in ("", "-") and readable(friendly):
                    self.assertEqual(b["Name"], shown(friendly, 128))
                elif "TarvelDeviceDesc" in values:
                    self.assertEqual(b["Name"], shown(values["TarvelDeviceDesc"][1], 128))

    @unittest.skipUnless(os.path.exists(SIM), "no tarvel-sim")
    def test_machine_files(self):
        files = glob.glob(os.path.join(ROOT, "examples", "*.json"))
        files += glob.glob(os.path.join(HERE, "machines", "*.json"))
        for path in files:
            with open(path, encoding="utf-8") as f:
                machine = json.load(f)
            if "usb" in machine:
                self.check_machine(machine, os.path.basename(path))

    @unittest.skipUnless(os.path.exists(SIM), "no tarvel-sim")
    def test_numbered_defaults(self):
        self.check_machine(NUMBERING, "numbering")


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
                    ).hubs[0]["ports_listed"][1]
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
            ({"hub_set_order": []}, "usb.hub_set_order"),
            ({"controllers": [{"detail": False}]}, "controllers[0].detail"),
            ({"controllers": [{"root_hub": {"interface_path": "\\\\?\\x", "connections": {
                "1": {"driver_key": "{36fc9e60-c465-11cf-8056-444553540000}\\0000"},
                "2": {"driver_key": {"error": 31}}}}}]}, "root_hub.connections.2"),
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
        # A hub interface path Wine cannot make is accepted while no port has
        # to be found by it; the node list of -D:n prints it all the same.
        resolve({"usb": {"controllers": [{"root_hub": {"interface_path": "\\\\?\\x",
                                                       "connections": {"1": {}}}}]}})
        for args in (["-D:1"], ["-na", "/d:3"], ["-D:12"]):
            with self.assertRaisesRegex(usbstack.Unexpressible, "diagnostics", msg=args):
                usbstack.check_args(args)
        for args in (["-D:0"], ["-d:"], ["-D:-2"], ["-na", "D:1", "1-2"]):
            usbstack.check_args(args)

    def test_hub_order_matters_only_where_it_decides(self):
        # Wine lists USB\A... before USB\B..., the walk the other way round.
        def machine(key_a, key_b):
            return {"usb": {"controllers": [{"root_hub": {
                "node": {"instance_id": "USB\\B\\1"},
                "connections": {"1": {"vid": 1, "driver_key": key_b}}}},
                {"root_hub": {
                "node": {"instance_id": "USB\\A\\1"},
                "connections": {"1": {"vid": 2, "driver_key": key_a}}}}]}}
        resolve(machine("{k}\\0001", "{k}\\0002"))
        with self.assertRaisesRegex(usbstack.Unexpressible, "also below"):
            resolve(machine("{k}\\0001", "{k}\\0001"))

    def test_windows_versions(self):
        for system, name in (({}, "win10"), ({"os_version": [6, 2, 9200]}, "win10"),
                             ({"os_version": [6, 1, 7601]}, "win7"),
                             ({"os_version": [5, 1, 2600], "service_pack": 1}, "win7")):
            self.assertEqual(usbstack.wine_version(system), name, system)
        with self.assertRaises(usbstack.Unexpressible):
            usbstack.wine_version({"os_version": [5, 1, 2600]})


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        SIM = sys.argv.pop(1)
    unittest.main()
