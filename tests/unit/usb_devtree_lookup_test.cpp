// Lookups of the device-node list over hand-made records.
#include <gtest/gtest.h>

#include "usb/CUsbDevTree.h"

using namespace tarvel;

TEST(UsbStartsWithI, PrefixesCompareWithoutCase) {
    const char* text = "Port_#0012.Hub_#0001";
    EXPECT_TRUE(StartsWithI(text, "PORT_#0012"));
    EXPECT_TRUE(StartsWithI("Port", "port"));
    for (const char* prefix : {"Port_#0001", "", "Port_#0012.Hub_#0001x"})
        EXPECT_FALSE(StartsWithI(text, prefix)) << prefix;
    EXPECT_FALSE(StartsWithI("", "P"));
    EXPECT_FALSE(StartsWithI(NULL, "P"));
    EXPECT_FALSE(StartsWithI("xPort_#0001", "Port_#0001"));  // found later is no prefix
}

namespace {

struct TreeFixture : ::testing::Test {
    void SetUp() override { SetHeapHandle(GetProcessHeap()); }

    DevNodeRecord* Add(const char* hubPath, const char* location, const char* key) {
        DevNodeRecord* rec = new DevNodeRecord;
        lstrcpyA(rec->HubInterfacePath, hubPath);
        lstrcpyA(rec->LocationInfo, location);
        lstrcpyA(rec->DriverKey, key);
        tree.Nodes[tree.Count++] = rec;
        return rec;
    }

    CUsbDevTree tree;
};

const char kHub[] = "\\\\?\\USB#ROOT_HUB30#4&2a0c1f5&0&1#{f18a0e88}";
const char kOpenedHub[] = "\\\\.\\usb#root_hub30#4&2A0C1F5&0&1#{F18A0E88}";

}  // namespace

TEST_F(TreeFixture, DriverKeyIsExactAndFailureTextsFindNothing) {
    DevNodeRecord* first = Add(kHub, "Port_#0001.Hub_#0001", "{36fc9e60}\\0001");
    Add(kHub, "Port_#0002.Hub_#0001", "{36fc9e60}\\0001");
    DevNodeRecord* failed = Add(kHub, "Port_#0003.Hub_#0001", "- (CR_NO_SUCH_VALUE)");
    EXPECT_EQ(tree.FindByDriverKey("{36fc9e60}\\0001"), first);
    EXPECT_EQ(tree.FindByDriverKey("{36FC9E60}\\0001"), nullptr);
    EXPECT_EQ(tree.FindByDriverKey("- (CR_NO_SUCH_VALUE)"), nullptr);
    EXPECT_EQ(tree.FindByDriverKey(NULL), nullptr);
    EXPECT_NE(failed, nullptr);
}

TEST_F(TreeFixture, HubPortIgnoresPrefixAndCase) {
    Add(kHub, "Port_#0010.Hub_#0001", "a");
    DevNodeRecord* three = Add(kHub, "PORT_#0003.HUB_#0001", "b");
    Add("\\\\?\\other", "Port_#0001.Hub_#0002", "c");
    EXPECT_EQ(tree.FindByHubPort(kOpenedHub, 3), three);
    // Port 1 must not take the node of port 10.
    EXPECT_EQ(tree.FindByHubPort(kOpenedHub, 1), nullptr);
    EXPECT_EQ(tree.FindByHubPort("\\\\.\\other2", 1), nullptr);
}

TEST_F(TreeFixture, ShortPathsCompareAsEmptyAndFailedLocationsAreNeverFound) {
    DevNodeRecord* unreadable = Add("", "Port_#0001.Hub_#0001", "a");
    Add(kHub, "- (CR_NO_SUCH_VALUE)", "b");
    EXPECT_EQ(tree.FindByHubPort(kOpenedHub, 1), nullptr);
    // Paths of four characters or fewer are empty after the prefix.
    EXPECT_EQ(tree.FindByHubPort("\\\\.\\", 1), unreadable);
}
