// The hub driver's answers as the walk relies on them, which the fake driver
// under Wine copies: the fixed parts, the name answers with ActualLength,
// whole or empty, the input the V2 query insists on, and the forms of failure.
#include <string.h>

#include <map>

#include "unit.h"

using namespace tarvel;

namespace {

const std::map<std::string, DWORD> kCodes = {
    {"NODE_INFORMATION", IOCTL_USB_GET_NODE_INFORMATION},
    {"CONNECTION_INFORMATION", IOCTL_USB_GET_NODE_CONNECTION_INFORMATION},
    {"CONNECTION_INFORMATION_EX", IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX},
    {"CONNECTION_INFORMATION_EX_V2", IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2},
    {"CONNECTION_NAME", IOCTL_USB_GET_NODE_CONNECTION_NAME},
    {"CONNECTION_DRIVERKEY_NAME", IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME},
    {"HUB_CAPABILITIES", IOCTL_USB_GET_HUB_CAPABILITIES}};

HANDLE Open(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// Up to the terminator, at most max characters.
std::string Narrow(const char16_t* wide, size_t max) {
    std::string out;
    for (size_t i = 0; i < max && wide[i]; i++) out += char(wide[i]);
    return out;
}

}  // namespace

// Each query of data/hub_answers.json, its area serving as input and output
// as the walk sends it: a failure leaves the area as it was; an answer
// writes nothing past the area.
TEST(SimUsbHub, Answers) {
    nlohmann::json data = unit::Data("hub_answers.json");
    unit::Load(data["machine"].dump());
    HANDLE hub = Open("\\\\.\\USB#ROOT_HUB30#4&2a0c1f5&0&1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    ASSERT_NE(hub, INVALID_HANDLE_VALUE);
    for (const auto& q : data["queries"]) {
        SCOPED_TRACE(q.dump());
        alignas(8) unsigned char area[600], before[600];
        memset(area, 0xA5, sizeof area);
        // V2 reads its Length and the protocols asked for; 0xA5... asks for Usb300.
        ULONG port = q["port"], v2Length = q.value("length", 16);
        memcpy(area, &port, 4);
        memcpy(area + 4, &v2Length, 4);
        if (q.contains("asked")) {
            ULONG asked = q["asked"], flags = 0;
            memcpy(area + 8, &asked, 4);
            memcpy(area + 12, &flags, 4);
        }
        memcpy(before, area, sizeof area);
        DWORD size = q["size"], bytes = 0xDEAD;
        bool ok = DeviceIoControl(hub, kCodes.at(q["code"]), area, size, area, size, &bytes, nullptr);
        EXPECT_EQ(ok, !q.contains("error"));
        if (!ok) {
            EXPECT_EQ(GetLastError(), q["error"].get<DWORD>());
            EXPECT_EQ(bytes, 0u);
            EXPECT_EQ(memcmp(area, before, sizeof area), 0);
            continue;
        }
        ASSERT_LE(bytes, size);
        EXPECT_EQ(memcmp(area + bytes, before + bytes, sizeof area - bytes), 0);
        const auto& conn = *reinterpret_cast<USB_NODE_CONNECTION_INFORMATION_EX*>(area);
        const auto& name = *reinterpret_cast<USB_NODE_CONNECTION_NAME*>(area);
        const auto& v2 = *reinterpret_cast<USB_NODE_CONNECTION_INFORMATION_EX_V2*>(area);
        if (q.contains("bytes")) EXPECT_EQ(bytes, q["bytes"].get<DWORD>());
        if (q.contains("vid_status_speed"))  // of the connection answer's fixed part
            EXPECT_EQ(q["vid_status_speed"], nlohmann::json({conn.DeviceDescriptor.idVendor,
                                                              int(conn.ConnectionStatus), conn.Speed}));
        if (q.contains("actual_length")) EXPECT_EQ(name.ActualLength, q["actual_length"].get<ULONG>());
        if (q.contains("name")) EXPECT_EQ(Narrow(name.NodeName, (size - 8) / 2), q["name"]);
        if (q.contains("protocols")) EXPECT_EQ(v2.SupportedUsbProtocols.ul, q["protocols"].get<ULONG>());
        if (q.contains("flags")) EXPECT_EQ(v2.Flags.ul, q["flags"].get<ULONG>());
    }
    CloseHandle(hub);
}

TEST(SimUsbIoctl, RootHubNameOnlyOnTheControllerAndWholeOrNotAtAll) {
    unit::Load(R"({"clock": "virtual", "usb": {"controllers": [{"root_hub": {"name": ")" +
               std::string(600, 'N') + R"("}}, {}]}})");
    HANDLE hc = Open("\\\\?\\pci#ven_8086&dev_a36d#3&11583659&0&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}");
    ASSERT_NE(hc, INVALID_HANDLE_VALUE);
    alignas(8) unsigned char area[1300];
    memset(area, 0xA5, sizeof area);
    DWORD bytes = 0;
    auto& name = *reinterpret_cast<USB_ROOT_HUB_NAME*>(area);
    // Too small for the name: the declared six bytes alone, the rest as it was.
    ASSERT_TRUE(DeviceIoControl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 524, area, 524, &bytes, nullptr));
    EXPECT_EQ(bytes, 6u);
    EXPECT_EQ(+name.ActualLength, 4u + 2u * 601u);
    EXPECT_EQ(+name.RootHubName[0], 0);
    EXPECT_EQ(area[6], 0xA5);
    ASSERT_TRUE(DeviceIoControl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 6, area, 6, &bytes, nullptr));
    EXPECT_EQ(bytes, 6u);
    ASSERT_TRUE(DeviceIoControl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 1206, area, 1206, &bytes, nullptr));
    EXPECT_EQ(bytes, 1206u);
    EXPECT_EQ(+name.RootHubName[599], u'N');
    EXPECT_EQ(+name.RootHubName[600], 0);
    EXPECT_FALSE(DeviceIoControl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 5, area, 5, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    CloseHandle(hc);
    // The second controller has no root hub.
    hc = Open("\\\\?\\PCI#VEN_8086&DEV_A36D#3&11583659&0&1#{3ABF6F2D-71C4-462A-8A92-1E6861E6AF27}");
    ASSERT_NE(hc, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeviceIoControl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 524, area, 524, &bytes, nullptr));
    CloseHandle(hc);
}
