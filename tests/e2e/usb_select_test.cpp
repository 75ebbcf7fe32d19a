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

std::string PortLines(const SimRun& run) { return Lines(run.out, "USB Port"); }

}  // namespace

TEST(UsbE2eSelect, PortChainIsExact) {
    SimRun run = RunSim(SelectMachine(), "tarvel -na 1-3");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(PortLines(run), "USB Port     : 1-3\n");

    SimRun star = RunSim(SelectMachine(), "tarvel -na 1-3*");
    EXPECT_EQ(star.exitCode, 4);
    EXPECT_EQ(star.out, Crlf("\nNo matching USB device found\n\n"));
}

TEST(UsbE2eSelect, HeaderCountsTheMatches) {
    SimRun one = RunSim(SelectMachine(), "tarvel 1-3-2");
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_NE(one.out.find(Crlf("\nMatching USB device:\n\n")), std::string::npos);

    SimRun two = RunSim(SelectMachine(), "tarvel PORT_#000?.HUB_#0001");
    EXPECT_NE(two.out.find(Crlf("\nMatching USB devices:\n\n")), std::string::npos);
    EXPECT_EQ(PortLines(two), "USB Port     : 1-1\nUSB Port     : 1-3\n");
    // The keyboard among them reports a problem.
    EXPECT_EQ(two.exitCode, 3);
}

TEST(UsbE2eSelect, WildcardsFoldCase) {
    SimRun key = RunSim(SelectMachine(), "tarvel -na [eec5ad98-8080]\\0003");
    EXPECT_EQ(PortLines(key), "USB Port     : 1-3-2\n");
    EXPECT_EQ(key.exitCode, 0);

    SimRun id = RunSim(SelectMachine(), "tarvel -na usbstor\\disk*");
    EXPECT_EQ(PortLines(id), "USB Port     : 1-3-2\n");
}

TEST(UsbE2eSelect, TwoIdsMayMatchDifferentTexts) {
    SimRun run = RunSim(SelectMachine(), "tarvel -na Port_#0002* 1-3-2");
    EXPECT_EQ(PortLines(run), "USB Port     : 1-3-2\n");
    EXPECT_EQ(run.exitCode, 0);

    SimRun none = RunSim(SelectMachine(), "tarvel -na Port_#0002* 1-1");
    EXPECT_EQ(none.exitCode, 4);
}

TEST(UsbE2eSelect, FriendlyNamesAreNotMatched) {
    SimRun run = RunSim(SelectMachine(), "tarvel -na \"SanDisk Ultra\"");
    EXPECT_EQ(run.exitCode, 4);
    SimRun keyboard = RunSim(SelectMachine(), "tarvel -na Keyboard");
    EXPECT_EQ(keyboard.exitCode, 4);
}

TEST(UsbE2eSelect, StatusThreeForProblemOrMissingNode) {
    SimRun problem = RunSim(SelectMachine(), "tarvel -na 1-1");
    EXPECT_EQ(problem.exitCode, 3);
    EXPECT_EQ(PortLines(problem), "USB Port     : 1-1\n");

    SimRun unlinked = RunSim(SelectMachine(), "tarvel -na {NONE}*");
    EXPECT_EQ(unlinked.exitCode, 3);
    EXPECT_EQ(Lines(unlinked.out, "Name"), "Name         : \n");
}

TEST(UsbE2eSelect, EveryPortMatchesInInventoryOrder) {
    SimRun run = RunSim(SelectMachine(), "tarvel -na *");
    EXPECT_EQ(PortLines(run), "USB Port     : 1-1\nUSB Port     : 1-3\n"
                              "USB Port     : 1-3-2\nUSB Port     : 1-4\n");
    EXPECT_EQ(Count(run.out, "Max Number"), 0);
}
