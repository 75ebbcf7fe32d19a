// The listing of every attached device through tarvel-sim.
#include <gtest/gtest.h>

#include "usb_Machines.h"

using namespace usbe2e;

namespace {

const char kMouse[] = R"("1": {"vid": "0x046D", "pid": "0xC077", "speed": 1,
    "driver_key": "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\0003",
    "node": {"instance_id": "HID\\VID_046D&PID_C077\\7&1", "friendly_name": "Optical Mouse",
             "description": "USB Input Device", "location": "Port_#0001.Hub_#0001",
             "driver": "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\0003"}})";

}  // namespace

TEST(UsbE2eInventory, LinkedAndUnlinkedDeviceBlocks) {
    SimRun run = RunSim(OneRootHub(std::string(kMouse) + R"(,
                                      "2": {"driver_key": "{k}\\0001", "node": null},
                                      "3": {"driver_key": {"error": 31}, "node": null})"),
                        "tarvel -na");
    EXPECT_EQ(run.exitCode, 0);
    const std::string unlinkedSpeeds = "PortMaxSpeed : High-Speed\n"
                                       "DevMaxSpeed  : High-Speed\n"
                                       "ConnSpeed    : High-Speed\n";
    EXPECT_EQ(run.out, Crlf("Name         : Optical Mouse\n"
                            "DeviceID     : HID\\VID_046D&PID_C077\\7&1\n"
                            "Location     : Port_#0001.Hub_#0001\n"
                            "DriverKey    : {745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\0003\n"
                            "PortMaxSpeed : High-Speed\n"
                            "DevMaxSpeed  : Full-Speed\n"
                            "ConnSpeed    : Full-Speed\n"
                            "USB Port     : 1-1\n"
                            "\n"
                            "Name         : \n"
                            "DriverKey    : {k}\\0001\n" + unlinkedSpeeds +
                            "USB Port     : 1-2\n"
                            "\n"
                            "Name         : \n"
                            "DriverKey    : - (ERROR_GEN_FAILURE)\n" + unlinkedSpeeds +
                            "USB Port     : 1-3\n"
                            "\n"));
}

TEST(UsbE2eInventory, WalkOrderAndWhatIsSkipped) {
    // The second controller cannot be opened but keeps its number; one
    // whose detail cannot be read gets none. Ports whose query fails or
    // whose status is not "connected" give no record, and a hub that
    // cannot be named keeps its record but is not opened. Only the 2.0 hub
    // on 1-3 is asked for its capabilities, through the hub it hangs on.
    std::string m = Machine(R"(
        {"root_hub": {"name": "ROOT1", "ports": 8, "connections": {
            "1": {},
            "2": {"query": "fails"},
            "3": {"bcd_usb": "0x0200", "hub": {"ports": 4, "connections": {"2": {}}}},
            "4": {"status": 2, "hub": {"name": "BROKEN"}},
            "5": {"bcd_usb": "0x0110", "hub": {"name": "EMPTY", "ports": 0}},
            "6": {"bcd_usb": "0x0300", "hub": {"name": "WIDE", "ports": 255, "connections": {"255": {}}}},
            "7": {"node_name": "fails", "bcd_usb": "0x0110", "hub": {"name": "NAMELESS", "connections": {"1": {}}}},
            "8": {"vid": "0x2222", "bcd_usb": "0x0200"}}}},
        {"open": false, "root_hub": {"connections": {"1": {}}}},
        {"detail": false, "root_hub": {"connections": {"1": {}}}},
        {"root_hub": {"connections": {"2": {}}}})");
    SimRun run = RunSim(m, "tarvel -na");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Values(run.out, "USB Port"), "1-1|1-3|1-3-2|1-5|1-6|1-6-255|1-7|1-8|3-2|");
    EXPECT_EQ(Count(run.trace, "GET_HUB_CAPABILITIES"), 1);
    EXPECT_EQ(Count(run.trace, "DeviceIoControl \\\\.\\ROOT1 GET_HUB_CAPABILITIES"), 1);
    EXPECT_EQ(Count(run.trace, "BROKEN"), 0);
    EXPECT_EQ(Count(run.trace, "CreateFileA \\\\.\\NAMELESS"), 0);
    EXPECT_EQ(Count(run.trace, "\\\\.\\EMPTY GET_NODE_CONNECTION"), 0);
    EXPECT_EQ(Count(run.trace, "CloseHandle \\\\.\\EMPTY"), 1);
    EXPECT_EQ(Count(run.trace, "\\\\.\\WIDE GET_NODE_CONNECTION_INFORMATION_EX "), 255);
    EXPECT_EQ(Count(run.trace, "\\\\.\\WIDE GET_NODE_CONNECTION_INFORMATION_EX 1 "), 1);
    EXPECT_EQ(Count(run.trace, "\\\\.\\WIDE GET_NODE_CONNECTION_INFORMATION_EX 255 "), 1);
    EXPECT_EQ(Count(run.trace, "\\\\.\\WIDE GET_NODE_CONNECTION_INFORMATION_EX 256 "), 0);
}

TEST(UsbE2eInventory, DisplayNameFallbackAndFailureTexts) {
    std::string m = Machine(R"({"root_hub": {"ports": 5, "connections": {
        "1": {"node": {"friendly_name": "", "description": "Desc One"}},
        "2": {"node": {"friendly_name": "-dash", "description": "Desc Two"}},
        "3": {"node": {"description": "Desc Three"}},
        "4": {"node": {"friendly_name": "Friendly", "description": "Desc Four"}},
        "5": {"driver_key": "{k}\\0001", "node": {"instance_id": "USB\\X\\1",
              "location": "Port_#0005.Hub_#0001", "description": {"cr": 19}, "driver": {"cr": 37}}}}}})");
    SimRun run = RunSim(m, "tarvel -na");
    EXPECT_EQ(Values(run.out, "Name"), "Desc One|Desc Two|Desc Three|Friendly|- (CR_FAILURE)|");
    // Port 5 is linked by hub and port, since the node's key could not be read.
    std::string keys = Values(run.out, "DriverKey");
    EXPECT_EQ(keys.substr(keys.rfind("|", keys.size() - 2) + 1), "- (CR_NO_SUCH_VALUE)|");
}

TEST(UsbE2eInventory, KeyOf44CharactersLinksOnlyByHubAndPort) {
    const std::string key = "{36fc9e60-c465-11cf-8056-444553540000}\\00001";  // 44
    ASSERT_EQ(key.size(), 44u);
    std::string jsonKey = "{36fc9e60-c465-11cf-8056-444553540000}\\\\00001";
    std::string m = OneRootHub(R"("1": {"driver_key": ")" + jsonKey + R"(", "node": {
            "instance_id": "USB\\A", "location": "Port_#0001.Hub_#0001", "driver": ")" +
                               jsonKey + R"("}},
        "2": {"driver_key": ")" + jsonKey + R"(", "node": {
            "instance_id": "USB\\B", "location": "Port_#0009.Hub_#0001", "driver": ")" +
                               jsonKey + R"("}})");
    SimRun run = RunSim(m, "tarvel -na");
    EXPECT_EQ(Values(run.out, "DeviceID"), "USB\\A|");
    EXPECT_EQ(Values(run.out, "DriverKey"), key.substr(0, 43) + "|" + key + "|");
}

TEST(UsbE2eInventory, SpeedLinesWithoutV2) {
    std::string m = OneRootHub(R"("1": {"speed": 3}, "2": {"speed": 0}, "3": {"speed": 7})", 4,
                               "[6, 1, 7601]");
    SimRun run = RunSim(m, "tarvel -na");
    EXPECT_EQ(Count(run.out, "PortMaxSpeed"), 0);
    EXPECT_EQ(Count(run.trace, "_V2"), 0);
    EXPECT_EQ(Values(run.out, "ConnSpeed"), "SuperSpeed|Low-Speed|?|");
    EXPECT_EQ(Values(run.out, "DevMaxSpeed"), "SuperSpeed|Low-Speed|?|");
}

TEST(UsbE2eInventory, SpeedLinesWithV2) {
    std::string m = OneRootHub(R"(
        "1": {"speed": 3, "v2": {"protocols": 7, "flags": 15}},
        "2": {"speed": 2, "v2": {"protocols": 7, "flags": 0}},
        "3": {"speed": 1, "v2": {"protocols": 1, "flags": 0}},
        "4": {"speed": 4, "v2": "fails"})",
                               4, "[6, 2, 9200]");
    SimRun run = RunSim(m, "tarvel -na");
    // Port 4's failed V2 query leaves its port speed unknown: no line.
    EXPECT_EQ(Values(run.out, "PortMaxSpeed"), "SuperSpeed or higher|SuperSpeed or higher|Full-Speed|");
    const std::string devices = "SuperSpeedPlus or higher|High-Speed|Full-Speed|SuperSpeedPlus or higher|";
    EXPECT_EQ(Values(run.out, "DevMaxSpeed"), devices);
    EXPECT_EQ(Values(run.out, "ConnSpeed"), devices);
}

TEST(UsbE2eInventory, QueryChoiceByVersion) {
    struct Case {
        const char* os;
        int sp, basic, ex, v2;
    } cases[] = {{"[5, 1, 2600]", 0, 4, 0, 0}, {"[5, 1, 2600]", 1, 0, 4, 0},
                 {"[5, 2, 3790]", 0, 0, 4, 0}, {"[6, 1, 7601]", 0, 0, 4, 0},
                 {"[6, 2, 9200]", 0, 0, 4, 1}, {"[10, 0, 19045]", 0, 0, 4, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.os) + " SP" + std::to_string(c.sp));
        std::string m = Machine(R"({"root_hub": {"connections": {"1": {}}}})",
                                std::string(c.os) + ", \"service_pack\": " + std::to_string(c.sp));
        SimRun run = RunSim(m, "tarvel -na");
        EXPECT_EQ(Count(run.trace, "GET_NODE_CONNECTION_INFORMATION "), c.basic);
        EXPECT_EQ(Count(run.trace, "GET_NODE_CONNECTION_INFORMATION_EX "), c.ex);
        EXPECT_EQ(Count(run.trace, "GET_NODE_CONNECTION_INFORMATION_EX_V2 "), c.v2);
    }
}

// The whole conversation of one walk: every query once per port, in order,
// the capability query for the 2.0 hub on the hub being walked, the hub
// below walked while its parent stays open, every handle closed.
TEST(UsbE2eInventory, OneWalkAsksEachQueryOncePerPortInOrder) {
    SimRun run = RunSim(Machine(R"({"path": "\\\\?\\HC1", "root_hub": {"name": "ROOT1",
        "ports": 3, "connections": {
            "1": {},
            "2": {"bcd_usb": "0x0200", "hub": {"name": "HUB2", "ports": 1, "connections": {"1": {}}}},
            "3": {"status": 0}}}})"),
                        "tarvel -na");
    const std::string hub = "DeviceIoControl \\\\.\\";
    const std::string walk =
        "SetupDiGetClassDevsA hostcontroller -> ok\n"
        "CreateFileA \\\\?\\HC1 -> ok\n"
        "DeviceIoControl \\\\?\\HC1 GET_ROOT_HUB_NAME -> 1\n"
        "CreateFileA \\\\.\\ROOT1 -> ok\n" +
        hub + "ROOT1 GET_NODE_INFORMATION -> 1\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_INFORMATION_EX 1 -> 1\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_INFORMATION_EX_V2 1 -> 1\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_DRIVERKEY_NAME 1 -> 1\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_INFORMATION_EX 2 -> 1\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_INFORMATION_EX_V2 2 -> 1\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_DRIVERKEY_NAME 2 -> 1\n" +
        hub + "ROOT1 GET_HUB_CAPABILITIES -> 1\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_NAME 2 -> 1\n"
        "CreateFileA \\\\.\\HUB2 -> ok\n" +
        hub + "HUB2 GET_NODE_INFORMATION -> 1\n" +
        hub + "HUB2 GET_NODE_CONNECTION_INFORMATION_EX 1 -> 1\n" +
        hub + "HUB2 GET_NODE_CONNECTION_INFORMATION_EX_V2 1 -> 1\n" +
        hub + "HUB2 GET_NODE_CONNECTION_DRIVERKEY_NAME 1 -> 1\n"
        "CloseHandle \\\\.\\HUB2\n" +
        hub + "ROOT1 GET_NODE_CONNECTION_INFORMATION_EX 3 -> 1\n"
        "CloseHandle \\\\.\\ROOT1\n"
        "CloseHandle \\\\?\\HC1\n"
        "SetupDiDestroyDeviceInfoList hostcontroller\n"
        "SetupDiGetClassDevsA hub -> ok\n"
        "SetupDiDestroyDeviceInfoList hub\n";
    size_t from = run.trace.find("SetupDiGetClassDevsA hostcontroller");
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(run.trace.substr(from, walk.size()), walk);
    EXPECT_EQ(run.exitCode, 0);
}
