// The level-1 diagnostics, through tarvel-sim.
#include <gtest/gtest.h>

#include "usb_Machines.h"

using namespace usbe2e;

TEST(UsbE2eLimits, DiagnosticsAtLevelOne) {
    std::string m = Machine(R"({"root_hub": {"name": "ROOT1", "ports": 2, "connections": {
        "2": {"vid": "0x0781", "pid": "0x5581", "driver_key": "{k}\\0001",
              "node": {"instance_id": "USB\\VID_0781\\1", "description": "Disk",
                       "location": "Port_#0002.Hub_#0001", "driver": "{k}\\0001"}}},
        "interface_path": "\\\\?\\root1"}})",
                            "[6, 1, 7601]");
    SimRun run = RunSim(m, "tarvel -na -D:1");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Crlf(" -----------------\n"
                            " USB device found\n"
                            " VendorID=0781 ProductID=5581 PortName=1-2\n"
                            " DriverKeyName={k}\\0001\n"
                            " ConnState=1\n"
                            " PortNumber=2\n"
                            " --------\n\n"
                            " Dev[ 0]=   3   Port_#0002.Hub_#0001          USB\\VID_0781\\1\n"
                            "          driverkey='{k}\\0001'  desc='Disk'\n"
                            "          parentdevpath=\\\\?\\root1\n"
                            "Name         : Disk\n"
                            "DeviceID     : USB\\VID_0781\\1\n"
                            "Location     : Port_#0002.Hub_#0001\n"
                            "DriverKey    : {k}\\0001\n"
                            "DevMaxSpeed  : High-Speed\n"
                            "ConnSpeed    : High-Speed\n"
                            "USB Port     : 1-2\n"
                            "\n"));
}

TEST(UsbE2eLimits, V2DiagnosticsAtLevelOne) {
    std::string m = Machine(R"({"root_hub": {"ports": 1, "connections": {
        "1": {"v2": {"protocols": 3, "flags": 0}}}}})");
    SimRun run = RunSim(m, "tarvel -na -D:1");
    EXPECT_NE(run.out.find(" IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2(0x"),
              std::string::npos);
    EXPECT_NE(run.out.find(", 1)\r\n  res=1 spr=0x03\r\n"), std::string::npos) << run.out;
}
