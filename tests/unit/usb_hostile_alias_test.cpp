// Hub stacks that name one hub on several ports: device paths compare
// without case, so "hub3" and "HUB3" open the same hub. Walking it again
// for every port that names it would repeat its devices under new chains
// and, level upon level, double the walk until it never ends.
#include <string>

#include "usb_SimMachine.h"

using usbtest::Walk;

namespace {

// Levels of hubs: port 1 of each holds the next level, port 2 a hub whose
// name is the next level's in upper case.
std::string Doubling(int level, int levels) {
    std::string hub = R"({"name": "hub)" + std::to_string(level) + R"(", "ports": 2)";
    if (level == levels) return hub + "}";
    std::string next = std::to_string(level + 1);
    return hub + R"(, "connections": {"1": {"hub": )" + Doubling(level + 1, levels) +
           R"(}, "2": {"hub": {"name": "HUB)" + next + R"(", "ports": 0}}}})";
}

std::string Machine(const std::string& rootHub) {
    return R"({"clock": "virtual", "usb": {"controllers": [{"root_hub": )" + rootHub + "}]}}";
}

}  // namespace

TEST(HostileWalk, HubNamedByTwoPortsIsWalkedOnce) {
    Walk w(Machine(R"({"name": "R", "ports": 3, "connections": {
        "1": {"hub": {"name": "A", "ports": 2, "connections": {"1": {}, "2": {}}}},
        "2": {"hub": {"name": "a", "ports": 0}},
        "3": {}}})"));
    EXPECT_EQ(w.Count("CreateFileA \\\\.\\A "), 1) << w.trace;
    EXPECT_EQ(w.Count("CreateFileA \\\\.\\a "), 0) << w.trace;
    ASSERT_EQ(w.info->PortCount, 5);
    const char* chains[] = {"1-1", "1-1-1", "1-1-2", "1-2", "1-3"};
    for (int i = 0; i < 5; i++) EXPECT_STREQ(w.Port(i).PortName, chains[i]);
    EXPECT_EQ(w.Count("CreateFileA"), w.Count("CloseHandle"));
}

TEST(HostileWalk, AliasedHubsLevelUponLevelStayLinear) {
    // Walked anew for each alias this would be 2^9 - 2 records.
    Walk w(Machine(Doubling(0, 8)));
    EXPECT_EQ(w.info->PortCount, 16);
    for (int level = 1; level <= 8; level++)
        EXPECT_EQ(w.Count("CreateFileA \\\\.\\hub" + std::to_string(level) + " "), 1)
            << "level " << level;
}

TEST(HostileWalk, ConnectionStatusOutsideTheKnownValuesIsNoDevice) {
    // The status is an enumeration in the driver kit, but any number may
    // come back; only DeviceConnected makes a record.
    Walk w(Machine(R"({"name": "R", "ports": 4, "connections": {
        "1": {"status": 38}, "2": {"status": "0xFFFFFFFF", "hub": {"name": "H"}},
        "3": {"status": 257}, "4": {}}})"));
    ASSERT_EQ(w.info->PortCount, 1);
    EXPECT_STREQ(w.Port(0).PortName, "1-4");
    EXPECT_EQ(w.Count("CreateFileA \\\\.\\H"), 0);
}
