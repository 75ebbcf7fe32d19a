// Pattern matching and ID selection over hand-made records.
#include <gtest/gtest.h>

#include "app/DeviceBlock.h"
#include "usb/CUsbDevInfo.h"

using namespace tarvel;

TEST(UsbWildcard, StarsAndQuestionMarks) {
    EXPECT_FALSE(WildcardMatch("ABC DEF", "ABC"));
    EXPECT_TRUE(WildcardMatch("ABC DEF", "ABC*"));
    EXPECT_TRUE(WildcardMatch("AXBX", "*X"));
    EXPECT_TRUE(WildcardMatch("anything", "**"));
    EXPECT_TRUE(WildcardMatch("abc", "A?C"));
    EXPECT_FALSE(WildcardMatch("AB", "ABC"));
    EXPECT_FALSE(WildcardMatch("ABC", "AB"));
    EXPECT_TRUE(WildcardMatch("USB\\VID_1234&PID_5678\\5&1", "USB\\VID_1234*"));
    EXPECT_TRUE(WildcardMatch("Port_#0003.Hub_#0001", "PORT_#0003*"));
    EXPECT_TRUE(WildcardMatch("abcabd", "*ABD"));
    EXPECT_TRUE(WildcardMatch("a", "*"));
    EXPECT_TRUE(WildcardMatch("ab", "a*b*"));
    EXPECT_FALSE(WildcardMatch("ab", "a*c"));
}

TEST(UsbWildcard, EmptyOrNullTextMatchesNothing) {
    EXPECT_FALSE(WildcardMatch("", "*"));
    EXPECT_FALSE(WildcardMatch(NULL, "*"));
    EXPECT_FALSE(WildcardMatch("", ""));
}

TEST(UsbWildcard, CaseFoldsByBit0x20Only) {
    // Driver keys carry braces; an upper-cased ID may spell them '[' ']'.
    EXPECT_TRUE(WildcardMatch("{36fc9e60-c465}\\0001", "[36FC9E60-C465]\\0001"));
    EXPECT_TRUE(WildcardMatch("a|b", "A\\B"));
    EXPECT_TRUE(WildcardMatch("@", "`"));
    // A blank differs from the end of the pattern only in bit 0x20.
    EXPECT_FALSE(WildcardMatch("AB ", "AB"));
    EXPECT_FALSE(WildcardMatch("AB", "AC"));
}

TEST(UsbWildcard, OnlyTheLatestStarIsRetried) {
    EXPECT_TRUE(WildcardMatch("xaybzc", "*a*b*c"));
    EXPECT_TRUE(WildcardMatch("mississippi", "m*iss*ppi"));
    EXPECT_FALSE(WildcardMatch("mississippi", "m*iss*ppx"));
}

namespace {

struct MatchFixture : ::testing::Test {
    void SetUp() override { SetHeapHandle(GetProcessHeap()); }

    UsbPortRecord* AddPort(const char* chain, const char* driverKey) {
        UsbPortRecord* rec = new UsbPortRecord;
        lstrcpyA(rec->PortName, chain);
        lstrcpyA(rec->DriverKeyName, driverKey);
        info.Ports[info.PortCount++] = rec;
        return rec;
    }
    DevNodeRecord* Link(UsbPortRecord* port, const char* id, const char* location) {
        DevNodeRecord* node = new DevNodeRecord;
        lstrcpyA(node->DeviceId, id);
        lstrcpyA(node->LocationInfo, location);
        lstrcpyA(node->FriendlyName, "Mouse");
        node->DisplayName = node->FriendlyName;
        nodes[nodeCount++] = node;
        port->DevNode = node;
        return node;
    }
    void TearDown() override {
        for (int i = 0; i < nodeCount; i++) delete nodes[i];
    }

    CUsbDevInfo info;
    DevNodeRecord* nodes[8] = {};
    int nodeCount = 0;
};

}  // namespace

TEST_F(MatchFixture, EveryIdMustBeSatisfiedByOneOfFourTexts) {
    UsbPortRecord* a = AddPort("1-1", "{K}\\0001");
    Link(a, "USB\\VID_1111&PID_2222\\1", "Port_#0001.Hub_#0001");
    UsbPortRecord* b = AddPort("1-2", "{K}\\0002");
    Link(b, "USB\\VID_1111&PID_3333\\2", "Port_#0002.Hub_#0001");
    AddPort("1-3", "{K}\\0003");  // unlinked: only key and chain count

    char loc[] = "PORT_#0002*";
    char chain[] = "1-2";
    char* both[] = {loc, chain, NULL};
    UsbPortRecord* out[4];
    ASSERT_EQ(info.FindDevices(both, out, 4), 1);
    EXPECT_EQ(out[0], b);

    char vid[] = "USB\\VID_1111*";
    char* byId[] = {vid, NULL};
    ASSERT_EQ(info.FindDevices(byId, out, 4), 2);
    EXPECT_EQ(out[0], a);
    EXPECT_EQ(out[1], b);

    char other[] = "1-1";
    char* conflicting[] = {loc, other, NULL};
    EXPECT_EQ(info.FindDevices(conflicting, out, 4), 0);

    char name[] = "MOUSE";
    char* byName[] = {name, NULL};
    EXPECT_EQ(info.FindDevices(byName, out, 4), 0);

    char key[] = "{k}\\000?";
    char* byKey[] = {key, NULL};
    EXPECT_EQ(info.FindDevices(byKey, out, 4), 3);
}

TEST_F(MatchFixture, FullOutputStopsTheSearch) {
    AddPort("1-1", "{K}\\0001");
    AddPort("1-2", "{K}\\0002");
    AddPort("1-3", "{K}\\0003");
    char key[] = "{K}*";
    char* ids[] = {key, NULL};
    UsbPortRecord* out[2];
    EXPECT_EQ(info.FindDevices(ids, out, 2), 2);
}

TEST_F(MatchFixture, EmptyIdListSelectsNothing) {
    AddPort("1-1", "{K}\\0001");
    char empty[] = "";
    char* ids[] = {empty, NULL};
    char* none[] = {NULL};
    UsbPortRecord* out[2];
    EXPECT_EQ(info.FindDevices(ids, out, 2), 0);
    EXPECT_EQ(info.FindDevices(none, out, 2), 0);
}

TEST(UsbSpeedName, CodesBeyondTheTableAreUnknown) {
    EXPECT_STREQ(GetSpeedName(0), "Low-Speed");
    EXPECT_STREQ(GetSpeedName(3), "SuperSpeed");
    EXPECT_STREQ(GetSpeedName(4), "SuperSpeedPlus or higher");
    EXPECT_STREQ(GetSpeedName(5), "?");
    EXPECT_STREQ(GetSpeedName(0xFFFFFFFFu), "?");
}
