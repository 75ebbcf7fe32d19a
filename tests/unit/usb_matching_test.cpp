// Pattern matching and the edges of ID selection over hand-made records.
#include <gtest/gtest.h>

#include "app/DeviceBlock.h"
#include "usb/CUsbDevInfo.h"

using namespace tarvel;

TEST(UsbWildcard, Cases) {
    struct Case {
        const char* text;
        const char* pattern;
        bool match;
    } cases[] = {
        {"ABC DEF", "ABC", false},
        {"ABC DEF", "ABC*", true},
        {"AXBX", "*X", true},
        {"anything", "**", true},
        {"abc", "A?C", true},
        {"AB", "ABC", false},
        {"ABC", "AB", false},
        {"USB\\VID_1234&PID_5678\\5&1", "USB\\VID_1234*", true},
        {"abcabd", "*ABD", true},
        {"ab", "a*b*", true},
        {"ab", "a*c", false},
        // Empty text matches nothing.
        {"", "*", false},
        {"", "", false},
        // Case folds by bit 0x20 only: an upper-cased ID may spell a
        // driver key's braces '[' ']'; a blank differs from the end of the
        // pattern only in that bit.
        {"{36fc9e60-c465}\\0001", "[36FC9E60-C465]\\0001", true},
        {"a|b", "A\\B", true},
        {"@", "`", true},
        {"AB ", "AB", false},
        {"AB", "AC", false},
        // Only the latest star is retried.
        {"xaybzc", "*a*b*c", true},
        {"mississippi", "m*iss*ppi", true},
        {"mississippi", "m*iss*ppx", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.text, c.pattern) != 0, c.match) << c.text << " ~ " << c.pattern;
    EXPECT_FALSE(WildcardMatch(NULL, "*"));
}

TEST(UsbFindDevices, FullOutputStopsTheSearchAndEmptyIdsSelectNothing) {
    SetHeapHandle(GetProcessHeap());
    CUsbDevInfo info;
    for (const char* chain : {"1-1", "1-2", "1-3"}) {
        UsbPortRecord* rec = new UsbPortRecord;
        lstrcpyA(rec->PortName, chain);
        lstrcpyA(rec->DriverKeyName, "{K}\\0001");
        info.Ports[info.PortCount++] = rec;
    }
    char key[] = "{K}*", empty[] = "";
    char* ids[] = {key, NULL};
    char* emptyId[] = {empty, NULL};
    char* none[] = {NULL};
    UsbPortRecord* out[2];
    EXPECT_EQ(info.FindDevices(ids, out, 2), 2);
    EXPECT_EQ(info.FindDevices(emptyId, out, 2), 0);
    EXPECT_EQ(info.FindDevices(none, out, 2), 0);
}
