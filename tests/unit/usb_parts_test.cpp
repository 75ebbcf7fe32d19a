// Parts of the port inventory over hand-made inputs: the name answers'
// arithmetic and conversion, pattern matching, the node lookups, and the
// bounds of the record tables.
#include <string.h>

#include <new>
#include <sstream>

#include "unit.h"
#include "usb/Matching.h"
#include "usb/UsbText.h"

using namespace tarvel;
using unit::SimTest;

TEST(UsbText, NameUnitsAreWhatLiesInsideTheArea) {
    struct Case {
        ULONG actual;
        DWORD area, fixed;
        int units;
    } cases[] = {{18, 520, 8, 5},  {200, 136, 8, 64}, {137, 136, 8, 64}, {135, 136, 8, 63},
                 {1206, 524, 4, 260}, {9, 136, 8, 0},  {8, 136, 8, 0},    {4, 136, 8, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(NameUnits(c.actual, c.area, c.fixed), c.units) << c.actual << " of " << c.area;
}

// Up to the terminator or the count, cut to the field, always terminated,
// and not a byte outside the field.
TEST_F(SimTest, WideTextIsCutToItsCountAndItsField) {
    const auto data = unit::Data("wide_texts.json");
    for (const auto& c : data["cases"]) {
        std::u16string wide;
        std::istringstream units(c["units"].get<std::string>());
        for (unsigned unit; units >> std::hex >> unit;) wide += (char16_t)unit;
        std::string text, hex = c["bytes"];
        for (size_t i = 0; i < hex.size(); i += 2) text += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
        int size = c["size"];
        std::string field(size + 2, '#');
        EXPECT_EQ(WideToText(c.value("cp", 0), (const WCHAR*)wide.c_str(), c["count"], &field[1], size),
                  (int)text.size()) << c;
        std::string filled = size ? text + '\0' + std::string(size - text.size() - 1, '#') : "";
        EXPECT_EQ(field, "#" + filled + "#") << c;
    }
    // 1024 units at most.
    std::u16string wide(1100, u'w');
    char field[2000];
    EXPECT_EQ(WideToText(CP_ACP, (const WCHAR*)wide.c_str(), 1100, field, sizeof field), 1024);
}

TEST(UsbMatch, Wildcards) {
    for (const auto& c : unit::Data("wildcards.json")) {
        std::string text = c[0], pattern = c[1];
        EXPECT_EQ(WildcardMatch(text.c_str(), pattern.c_str()), c[2].get<bool>()) << c;
    }
    EXPECT_FALSE(WildcardMatch(NULL, "*"));
}

namespace {

const char kHub[] = "\\\\?\\USB#ROOT_HUB30#4&2a0c1f5&0&1#{f18a0e88}";
const char kOpenedHub[] = "\\\\.\\usb#root_hub30#4&2A0C1F5&0&1#{F18A0E88}";

struct UsbTree : SimTest {
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

}  // namespace

// Driver keys compare exactly; failure texts and empty keys name no node;
// hub paths compare without their prefix and case, locations by their port
// prefix without case.
TEST_F(UsbTree, NodeLookups) {
    DevNodeRecord* first = Add(kHub, "Port_#0010.Hub_#0001", "{36fc9e60}\\0001");
    Add(kHub, "USB.PORT_#0003", "x");  // found later: no prefix
    Add(kHub, "Port_#000", "e");       // shorter than a port's prefix
    Add(kHub, "Port_#0002.Hub_#0001", "{36fc9e60}\\0001");
    DevNodeRecord* three = Add(kHub, "PORT_#0003.HUB_#0001", "- (CR_NO_SUCH_VALUE)");
    DevNodeRecord* unreadable = Add("", "Port_#0001.Hub_#0001", "c");
    Add(kHub, "- (CR_NO_SUCH_VALUE)", "d");
    Add(kHub, "Port_#0004.Hub_#0001", "");  // an empty driver value
    EXPECT_EQ(tree.FindByDriverKey("{36fc9e60}\\0001"), first);
    for (const char* key : {"{36FC9E60}\\0001", "- (CR_NO_SUCH_VALUE)", "", (const char*)NULL})
        EXPECT_EQ(tree.FindByDriverKey(key), nullptr) << (key ? key : "NULL");
    EXPECT_EQ(tree.FindByHubPort(kOpenedHub, 3), three);
    EXPECT_EQ(tree.FindByHubPort(kOpenedHub, 1), nullptr);  // not the node of port 10
    EXPECT_EQ(tree.FindByHubPort("\\\\.\\other", 3), nullptr);
    EXPECT_EQ(tree.FindByHubPort("\\\\.\\", 1), unreadable);  // four characters: empty
}

// Clearing a table writes nothing past it. In this 64-bit build four bytes
// of padding follow each table's count: a store one entry too far lands there.
TEST_F(SimTest, ClearingTheTablesStaysInsideThem) {
    static_assert(sizeof(void*) == 8, "the padding after the counts");
    const std::string untouched(4, 0x5A);
    auto after = [](const int& count) { return std::string((const char*)(&count + 1), 4); };
    alignas(CUsbDevTree) static unsigned char treeArea[sizeof(CUsbDevTree)];
    memset(treeArea, 0x5A, sizeof treeArea);
    CUsbDevTree* tree = ::new (treeArea) CUsbDevTree;
    EXPECT_EQ(after(tree->Count), untouched) << "constructor";
    tree->Build();
    EXPECT_EQ(after(tree->Count), untouched) << "Build";
    tree->~CUsbDevTree();
    unit::Load(R"({"clock": "virtual", "usb": {"controllers": [{"root_hub": {"connections": {"1": {}}}}]}})");
    InitializeCriticalSection(&ResultTextLock);  // the walk names its results
    alignas(CUsbDevInfo) static unsigned char infoArea[sizeof(CUsbDevInfo)];
    memset(infoArea, 0x5A, sizeof infoArea);
    CUsbDevInfo* info = ::new (infoArea) CUsbDevInfo;
    EXPECT_EQ(after(info->PortCount), untouched) << "constructor";
    info->Enumerate();
    EXPECT_EQ(after(info->PortCount), untouched) << "Enumerate";
    info->ReleaseAll();
    EXPECT_EQ(after(info->PortCount), untouched) << "ReleaseAll";
    EXPECT_EQ(info->PortCount, 0) << "a released inventory is empty";
    info->~CUsbDevInfo();
    DeleteCriticalSection(&ResultTextLock);
}
