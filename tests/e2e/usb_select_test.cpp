// Selecting devices by ID through tarvel-sim, and the exit codes.
#include <gtest/gtest.h>

#include "usb_Machines.h"

using namespace usbe2e;

namespace {

// Hub on 1-3 with a device on 1-3-2; a keyboard on 1-1 whose node reports
// a problem; a device on 1-4 without a node.
std::string SelectMachine() {
    return Machine(R"({"root_hub": {"name": "ROOT1", "ports": 4, "connections": {
        "1": {"driver_key": "{4d36e96b-e325}\\0001",
              "node": {"instance_id": "USB\\VID_04F2&PID_0112\\6&1", "friendly_name": "Keyboard",
                       "location": "Port_#0001.Hub_#0001", "problem": 28,
                       "driver": "{4d36e96b-e325}\\0001"}},
        "3": {"driver_key": "{36fc9e60-c465}\\0002",
              "node": {"instance_id": "USB\\VID_05E3&PID_0608\\5&2", "location": "Port_#0003.Hub_#0001",
                       "driver": "{36fc9e60-c465}\\0002"},
              "hub": {"name": "HUB2", "ports": 4, "connections": {
                  "2": {"driver_key": "{eec5ad98-8080}\\0003",
                        "node": {"instance_id": "USBSTOR\\DISK&VEN_SANDISK\\1",
                                 "friendly_name": "SanDisk Ultra",
                                 "location": "Port_#0002.Hub_#0002",
                                 "driver": "{eec5ad98-8080}\\0003"}}}}},
        "4": {"driver_key": "{none}\\0004", "node": null}}}})");
}

}  // namespace

TEST(UsbE2eSelect, WhatEachSelectionTakesAndItsExitCode) {
    struct Case {
        const char* ids;
        const char* chains;
        int code;
    } cases[] = {
        {"1-3", "1-3|", 0},
        {"1-3*", "", 4},  // a port chain must be equal exactly
        {"[eec5ad98-8080]\\0003", "1-3-2|", 0},  // '[' ']' fold to braces
        {"usbstor\\disk*", "1-3-2|", 0},
        {"Port_#0002* 1-3-2", "1-3-2|", 0},  // two IDs by different texts
        {"Port_#0002* 1-1", "", 4},
        {"\"SanDisk Ultra\"", "", 4},  // friendly names are not compared
        {"Keyboard", "", 4},
        {"1-1", "1-1|", 3},      // node reports a problem
        {"{NONE}*", "1-4|", 3},  // no node
        {"**", "1-1|1-3|1-3-2|1-4|", 3},  // in inventory order
    };
    for (const Case& c : cases) {
        SimRun run = RunSim(SelectMachine(), std::string("tarvel -na ") + c.ids);
        EXPECT_EQ(Values(run.out, "USB Port"), c.chains) << c.ids;
        EXPECT_EQ(run.exitCode, c.code) << c.ids;
        EXPECT_EQ(Count(run.out, "Max Number"), 0) << c.ids;
        if (!*c.chains) EXPECT_EQ(run.out, Crlf("\nNo matching USB device found\n\n")) << c.ids;
    }
}

TEST(UsbE2eSelect, HeaderCountsTheMatches) {
    SimRun one = RunSim(SelectMachine(), "tarvel 1-3-2");
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_NE(one.out.find(Crlf("\nMatching USB device:\n\n")), std::string::npos);

    SimRun two = RunSim(SelectMachine(), "tarvel PORT_#000?.HUB_#0001");
    EXPECT_NE(two.out.find(Crlf("\nMatching USB devices:\n\n")), std::string::npos);
    EXPECT_EQ(Values(two.out, "USB Port"), "1-1|1-3|");
    EXPECT_EQ(two.exitCode, 3);  // the keyboard among them reports a problem
}
