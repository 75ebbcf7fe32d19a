// Properties and paths longer than the program's areas, hubs nested without
// end, hubs aliased level upon level (more, overlong hub names among them, in
// data/walks.json): the walk must stay inside its fields and terminate.
#include <string.h>

#include "unit.h"

using unit::Walk;

namespace {

std::string Machine(const std::string& rootHub) {
    return R"({"clock": "virtual", "usb": {"controllers": [{"root_hub": )" + rootHub + "}]}}";
}

// A chain of hubs, each on port 10 of the one above, depth levels deep;
// every hub has 255 ports and a device on the last.
std::string NestedHubs(int depth) {
    std::string hub = R"({"ports": 255, "connections": {"10": {}, "255": {}}})";
    for (int i = depth; i > 0; i--)
        hub = R"({"ports": 255, "connections": {"255": {}, "10": {"hub": )" + hub + "}}}";
    return hub;
}

// Levels of hubs: port 1 of each holds the next level, port 2 a hub whose
// name is the next level's in upper case.
std::string Doubling(int level, int levels) {
    std::string hub = R"({"name": "hub)" + std::to_string(level) + R"(", "ports": 2)";
    if (level == levels) return hub + "}";
    std::string next = std::to_string(level + 1);
    return hub + R"(, "connections": {"1": {"hub": )" + Doubling(level + 1, levels) +
           R"(}, "2": {"hub": {"name": "HUB)" + next + R"(", "ports": 0}}}})";
}

}  // namespace

TEST(UsbHostile, ChainsThatWouldNotFitAreNotDescended) {
    Walk w(Machine(NestedHubs(90)));
    // Hubs are walked while the chains of their ports fit 151 characters:
    // 49 of them, down to the chain prefix of 145 characters. The next, at
    // 148, would give its port 255 a chain of 152.
    ASSERT_EQ(w.info->PortCount, 2 * 49);
    for (int i = 0; i < 49; i++) {
        EXPECT_EQ((int)strlen(w.Port(i).PortName), 4 + 3 * i) << "port 10 of hub " << i;
        EXPECT_EQ((int)strlen(w.Port(49 + i).PortName), 149 - 3 * i) << "port 255 of hub " << 48 - i;
    }
}

TEST(UsbHostile, AliasedHubsLevelUponLevelStayLinear) {
    // Walked anew for each alias this would be 2^9 - 2 records.
    Walk w(Machine(Doubling(0, 8)));
    EXPECT_EQ(w.info->PortCount, 16);
    for (int level = 1; level <= 8; level++)
        EXPECT_EQ(unit::Count(w.trace, "CreateFileA \\\\.\\hub" + std::to_string(level) + " "), 1)
            << "level " << level;
}

TEST(UsbHostile, LongPropertiesAndPathsAreCut) {
    std::string longName(1023, 'F');
    std::string tooLong(1024, 'F');
    std::string path = "\\\\\\\\?\\\\" + std::string(400, 'p');
    Walk w(Machine(R"({"name": "R", "ports": 2, "interface_path": ")" + path + R"(",
        "connections": {
        "1": {"driver_key": ")" + std::string(50, 'd') + R"(",
              "node": {"friendly_name": ")" + longName + R"(", "driver": ")" +
                   std::string(50, 'd') + R"("}},
        "2": {"node": {"friendly_name": ")" + tooLong + R"("}}}})"));
    ASSERT_NE(w.info->DevTree, nullptr);
    ASSERT_EQ(w.info->DevTree->Count, 2);
    tarvel::DevNodeRecord* first = w.info->DevTree->Nodes[0];
    EXPECT_EQ(std::string(first->FriendlyName), std::string(127, 'F'));
    EXPECT_EQ(std::string(first->DriverKey), std::string(43, 'd'));
    EXPECT_EQ(strlen(first->HubInterfacePath), 259u);
    tarvel::DevNodeRecord* second = w.info->DevTree->Nodes[1];
    EXPECT_STREQ(second->FriendlyName, "- (CR_BUFFER_SMALL)");
    EXPECT_EQ(second->DisplayName, second->DeviceDesc);
    // A 43-character key no longer equals the hub's: that port stays unlinked.
    ASSERT_EQ(w.info->PortCount, 2);
    EXPECT_EQ(w.Port(0).DevNode, nullptr);
}
