// The port walk and the linking, in-process on simulated machines.
#include <string>

#include "usb_SimMachine.h"

using usbtest::Walk;

namespace {

std::string Machine(const std::string& rootHub, const std::string& extra = "") {
    return R"({"clock": "virtual", "usb": {"controllers": [{"root_hub": )" + rootHub + "}]" +
           extra + "}}";
}

const char kHubBelowRoot[] = R"({"name": "ROOT1", "ports": 4, "connections": {
    "1": {"vid": "0x046D", "pid": "0xC077", "speed": 1},
    "3": {"bcd_usb": "0x0200", "hub": {"name": "HUB2", "ports": 4,
          "connections": {"2": {"vid": "0x0781", "pid": "0x5581"}}}}}})";

}  // namespace

TEST(UsbWalk, RecordsLinkByDriverKeyAndOnlyTheWalkAllocates) {
    Walk w(Machine(kHubBelowRoot));
    ASSERT_TRUE(w.found);
    ASSERT_EQ(w.info->PortCount, 3);
    EXPECT_STREQ(w.Port(2).PortName, "1-3-2");
    EXPECT_TRUE(w.Port(1).DeviceIsHub);
    EXPECT_FALSE(w.Port(2).DeviceIsHub);
    EXPECT_STREQ(w.Port(1).HubPath, "\\\\.\\ROOT1");
    EXPECT_STREQ(w.Port(2).HubPath, "\\\\.\\HUB2");
    EXPECT_EQ(w.Port(2).VendorID, 0x0781);
    EXPECT_EQ(w.Port(2).ProductID, 0x5581);
    EXPECT_EQ(w.Port(2).PortNumber, 2);
    EXPECT_TRUE(w.Port(1).HubIs2xCapable);
    EXPECT_FALSE(w.Port(0).HubIs2xCapable);
    ASSERT_NE(w.info->DevTree, nullptr);
    for (int i = 0; i < 3; i++) {
        tarvel::DevNodeRecord* node = w.Port(i).DevNode;
        ASSERT_NE(node, nullptr) << i;
        EXPECT_STREQ(node->DriverKey, w.Port(i).DriverKeyName);
        EXPECT_STREQ(node->PortChain, w.Port(i).PortName);
    }
    // The node of the device below the hub has the hub's node as parent.
    EXPECT_EQ(w.Port(2).DevNode->Parent, w.Port(1).DevNode);
    EXPECT_EQ(w.Port(1).DevNode->Parent, nullptr);
    // Records and the node list are all the walk keeps on the heap.
    int nodes = w.info->DevTree->Count;
    EXPECT_EQ(nodes, 3);
    EXPECT_EQ(w.allocated, 3 * (int)sizeof(tarvel::UsbPortRecord) +
                               (int)sizeof(tarvel::CUsbDevTree) +
                               nodes * (int)sizeof(tarvel::DevNodeRecord));
}

TEST(UsbWalk, UnreadableKeysLinkByHubAndPortWithoutChain) {
    Walk w(Machine(R"({"name": "ROOT1", "ports": 2, "connections": {
        "2": {"driver_key": {"error": 31}, "node": {"location": "Port_#0002.Hub_#0001",
              "driver": "{other}\\0007"}}}})"));
    ASSERT_EQ(w.info->PortCount, 1);
    EXPECT_STREQ(w.Port(0).DriverKeyName, "- (ERROR_GEN_FAILURE)");
    ASSERT_NE(w.Port(0).DevNode, nullptr);
    EXPECT_STREQ(w.Port(0).DevNode->DriverKey, "{other}\\0007");
    EXPECT_STREQ(w.Port(0).DevNode->PortChain, "");
}

// The basic answer flags low speed instead of naming a speed: a flagged
// device is low speed, any other full speed, never the flag's raw value.
TEST(UsbWalk, BasicQueryTurnsTheLowSpeedFlagIntoASpeed) {
    Walk w(Machine(R"({"name": "R", "ports": 2, "connections": {
        "1": {"speed": 0}, "2": {"speed": 2}}})"), 0x0501, 0);
    ASSERT_EQ(w.info->PortCount, 2);
    EXPECT_EQ(w.Port(0).ConnSpeed, 0u);
    EXPECT_EQ(w.Port(0).DevMaxSpeed, 0u);
    EXPECT_EQ(w.Port(1).ConnSpeed, 1u);
    EXPECT_EQ(w.Port(1).DevMaxSpeed, 1u);
}

TEST(UsbWalk, NoControllersGiveNoListAndFalse) {
    Walk none(R"({"clock": "virtual", "usb": {"controllers": []}})");
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.info->PortCount, 0);
    EXPECT_NE(none.info->DevTree, nullptr);

    Walk fails(R"({"clock": "virtual", "usb": {"controller_set": "fails"}})");
    EXPECT_FALSE(fails.found);
    EXPECT_EQ(fails.info->DevTree, nullptr);
}
