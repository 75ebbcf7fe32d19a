// Reading the usb section: refusals name the key path, and the defaults
// (names, driver keys, node texts, DEVINST numbering) follow walk order.
#include "tests/unit/sim_usb_load.h"

using namespace tarvel;
using simusb::LoadUsb;
using simusb::UsbError;

namespace {

std::string IdOf(DEVINST node) {
    char id[200] = "";
    CONFIGRET cr = CM_Get_Device_IDA(node, id, sizeof id, 0);
    return cr == CR_SUCCESS ? id : "cr " + std::to_string(cr);
}

std::string Property(DEVINST node, ULONG property) {
    char16_t value[1024];
    ULONG length = sizeof value;
    CONFIGRET cr = CM_Get_DevNode_Registry_PropertyW(node, property, nullptr, value, &length, 0);
    return cr == CR_SUCCESS ? simusb::Narrow(value, 1024) : "cr " + std::to_string(cr);
}

TEST(SimUsbParse, RefusalsNameTheKeyPath) {
    EXPECT_EQ(UsbError(R"({"controllers": [{"root_hub": {"connections": {"3": {"speed": 256}}}}]})")
                  .rfind("usb.controllers[0].root_hub.connections.3.speed:", 0), 0u);
    EXPECT_EQ(UsbError(R"({"controllers": [{}, {"colour": 1}]})").rfind("usb.controllers[1].colour:", 0), 0u);
    EXPECT_EQ(UsbError(R"({"controller_set": "maybe"})").rfind("usb.controller_set:", 0), 0u);
    EXPECT_EQ(UsbError(R"({"controllers": [{"root_hub": {"connections": {"0": {}}}}]})")
                  .rfind("usb.controllers[0].root_hub.connections.0:", 0), 0u);
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"connections": {"256": {}}}}]})"), "");
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"connections": {"01": {}}}}]})"), "");
    EXPECT_EQ(UsbError(R"({"controllers": [{"root_hub": {"node": {"status": {"cr": 0}}}}]})")
                  .rfind("usb.controllers[0].root_hub.node.status.cr:", 0), 0u);
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"ports": "12"}}]})"), "");
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"ports": -1}}]})"), "");
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"connections": {"1": {"vid": 1.5}}}}]})"), "");
    EXPECT_EQ(UsbError(R"({"controllers": [{"root_hub": {"connections": {"1": {"vid": "0x0781",
        "pid": "0xFFFF", "status": "0xFFFFFFFF"}}}}]})"), "");
}

TEST(SimUsbParse, HubNamesAreUniqueAndTheHubSetNamesKnownHubs) {
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"name": "A"}}, {"root_hub": {"name": "A"}}]})"), "");
    EXPECT_EQ(UsbError(R"({"controllers": [{"root_hub": {"name": "A"}}], "hub_set_order": ["B"]})")
                  .rfind("usb.hub_set_order[0]:", 0), 0u);
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"name": "A"}}], "hub_set_order": ["A", "A"]})"), "");
    // A downstream hub without a node is no member of the hub set.
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"name": "A", "connections": {"1":
        {"node": null, "hub": {"name": "B"}}}}}], "hub_set_order": ["B"]})"), "");
    // Its node is the port's: giving it on the hub is refused.
    EXPECT_NE(UsbError(R"({"controllers": [{"root_hub": {"connections": {"1":
        {"hub": {"node": {}}}}}}]})"), "");
    // A listed port above the hub's port count is accepted.
    EXPECT_EQ(UsbError(R"({"controllers": [{"root_hub": {"ports": 2, "connections": {"3": {}}}}]})"), "");
}

// Controller 0: root hub (walk 1) with ports 2 (a hub, walk 2, with port 1)
// and 10; controller 1: root hub (walk 3) with one extra node.
const char* kTree = R"({"controllers": [
    {"root_hub": {"ports": 12, "connections": {
        "10": {"vid": "0x046D", "pid": "0xC077", "node": {"children": 2}},
        "2": {"vid": "0x05E3", "pid": "0x0610", "hub": {"connections": {"1": {"status": 2}}}}}}},
    {"root_hub": {"extra_nodes": [{}]}}]})";

TEST(SimUsbParse, NodesAreNumberedInWalkOrderWithTheirDefaults) {
    LoadUsb(kTree);
    EXPECT_EQ(IdOf(1), "PCI\\VEN_8086&DEV_A36D&SUBSYS_00000000&REV_10\\3&11583659&0&0");
    EXPECT_EQ(IdOf(2), "USB\\ROOT_HUB30\\4&2A0C1F5&0&1");
    EXPECT_EQ(IdOf(3), "USB\\VID_05E3&PID_0610\\5&1a2b3c4d&0&2");
    EXPECT_EQ(IdOf(4), "USB\\VID_1234&PID_5678\\5&1a2b3c4d&0&1");
    EXPECT_EQ(IdOf(5), "USB\\VID_046D&PID_C077\\5&1a2b3c4d&0&10");
    EXPECT_EQ(IdOf(7), "USB\\ROOT_HUB30\\4&2A0C1F5&0&3");
    EXPECT_EQ(IdOf(8), "USB\\VID_0000&PID_0000\\X8");
    EXPECT_EQ(IdOf(9), "USB\\VID_0000&PID_0000\\X9");  // anonymous children of node 5
    EXPECT_EQ(IdOf(10), "USB\\VID_0000&PID_0000\\X10");
    EXPECT_EQ(IdOf(11), "cr " + std::to_string(CR_NO_SUCH_DEVNODE));

    EXPECT_EQ(Property(3, CM_DRP_LOCATION_INFORMATION), "Port_#0002.Hub_#0001");
    EXPECT_EQ(Property(4, CM_DRP_LOCATION_INFORMATION), "Port_#0001.Hub_#0002");
    EXPECT_EQ(Property(5, CM_DRP_FRIENDLYNAME), "cr 37");
    // Driver keys count listed ports in walk order: 2, 2-1, then 10.
    EXPECT_EQ(Property(3, CM_DRP_DRIVER), "{36fc9e60-c465-11cf-8056-444553540000}\\0000");
    EXPECT_EQ(Property(4, CM_DRP_DRIVER), "{36fc9e60-c465-11cf-8056-444553540000}\\0001");
    EXPECT_EQ(Property(5, CM_DRP_DRIVER), "{36fc9e60-c465-11cf-8056-444553540000}\\0002");
}

TEST(SimUsbParse, ChildAndSiblingFollowTheTree) {
    LoadUsb(kTree);
    // Controller -> root hub -> its ports; the hub's own ports come below
    // it, not beside it.
    struct Step {
        bool child;
        DEVINST from, to;
    } steps[] = {{true, 1, 2}, {true, 2, 3}, {false, 3, 5}, {false, 5, 0}, {true, 3, 4},
                 {true, 5, 9}, {false, 9, 10}, {false, 10, 0}, {true, 4, 0}, {true, 7, 8},
                 {true, 99, 0}};
    for (const Step& s : steps) {
        DEVINST n = 0;
        CONFIGRET cr = s.child ? CM_Get_Child(&n, s.from, 0) : CM_Get_Sibling(&n, s.from, 0);
        EXPECT_EQ(cr, s.to ? CR_SUCCESS : CR_NO_SUCH_DEVNODE) << s.from;
        if (s.to) EXPECT_EQ(n, s.to) << s.from;
    }
    DEVINST n = 0;
    EXPECT_EQ(CM_Get_Child(&n, 0, 0), CR_INVALID_DEVNODE);
}

TEST(SimUsbParse, DefaultHubNamesCarryWalkNumberAndIds) {
    LoadUsb(kTree);
    HANDLE h = simusb::Open(
        "\\\\.\\USB#VID_05E3&PID_0610#6&2b8c9a1&0&2#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(simusb::Open("\\\\.\\USB#ROOT_HUB30#4&2a0c1f5&0&9"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    LoadUsb(R"({"controllers": [{"root_hub": {"name": ""}}]})");
    EXPECT_EQ(simusb::Open("\\\\.\\"), INVALID_HANDLE_VALUE);
}

}  // namespace
