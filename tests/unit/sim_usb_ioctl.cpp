// The hub driver's I/O controls as the simulated machine answers them:
// the DDK layouts, name answers with ActualLength, and the failure rules.
#include <cstring>

#include "tests/unit/sim_usb_load.h"

using namespace tarvel;
using simusb::Ioctl;
using simusb::LoadUsb;
using simusb::Narrow;
using simusb::Open;

namespace {

const char* kRootHub = "\\\\.\\USB#ROOT_HUB30#4&2a0c1f5&0&1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

const char* kMachine = R"({"controllers": [{"root_hub": {"ports": 6, "connections": {
    "1": {"vid": "0x0781", "pid": "0x5581", "bcd_usb": "0x0300", "speed": 3},
    "2": {"speed": 0, "driver_key": {"error": 1167}},
    "3": {"query": "fails", "v2": "fails", "node_name": "fails"},
    "4": {"speed": 2, "hub": {"name": "DOWN", "ports": 2}},
    "9": {"speed": 1}}}}]})";

struct SimUsbHub : ::testing::Test {
    HANDLE hub = INVALID_HANDLE_VALUE;
    void SetUp() override {
        LoadUsb(kMachine);
        hub = Open(kRootHub);
        ASSERT_NE(hub, INVALID_HANDLE_VALUE);
    }
    void TearDown() override { CloseHandle(hub); }

    bool Connection(ULONG port, USB_NODE_CONNECTION_INFORMATION_EX& info,
                    DWORD code = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX) {
        memset(&info, 0, sizeof info);
        info.ConnectionIndex = port;
        return Ioctl(hub, code, &info, 35);
    }
};

TEST_F(SimUsbHub, ConnectionAnswersFillTheFixedPart) {
    USB_NODE_CONNECTION_INFORMATION_EX info;
    DWORD bytes = 0;
    info.ConnectionIndex = 1;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, 35, &bytes));
    EXPECT_EQ(bytes, 35u);
    EXPECT_EQ(+info.DeviceDescriptor.idVendor, 0x0781);
    EXPECT_EQ(int(info.ConnectionStatus), DeviceConnected);
    // Not listed: nothing connected there.
    ASSERT_TRUE(Connection(5, info));
    EXPECT_EQ(int(info.ConnectionStatus), NoDeviceConnected);
    EXPECT_EQ(+info.DeviceDescriptor.idVendor, 0);
}

TEST_F(SimUsbHub, BasicQueryCarriesALowSpeedFlagInPlaceOfTheSpeed) {
    USB_NODE_CONNECTION_INFORMATION_EX info;
    ASSERT_TRUE(Connection(2, info, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION));
    EXPECT_EQ(info.Speed, 1);  // speed 0: low speed
    ASSERT_TRUE(Connection(1, info, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION));
    EXPECT_EQ(info.Speed, 0);
    ASSERT_TRUE(Connection(2, info));
    EXPECT_EQ(info.Speed, 0);
}

TEST_F(SimUsbHub, FailedQueriesLeaveTheAreaUnchanged) {
    unsigned char area[136];
    memset(area, 0xA5, sizeof area);
    ULONG port = 3;
    memcpy(area, &port, 4);
    unsigned char before[136];
    memcpy(before, area, sizeof area);
    DWORD bytes = 0;
    EXPECT_FALSE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, area, 35, &bytes));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_FALSE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, area, 35));
    EXPECT_FALSE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, area, 16));
    EXPECT_FALSE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, area, 136));
    EXPECT_EQ(memcmp(area, before, sizeof area), 0);
    EXPECT_EQ(bytes, 0u);

    port = 2;
    memcpy(area, &port, 4);
    memcpy(before, area, sizeof area);
    EXPECT_FALSE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, area, 136));
    EXPECT_EQ(GetLastError(), 1167u);
    EXPECT_EQ(memcmp(area, before, sizeof area), 0);
}

TEST_F(SimUsbHub, AreaSmallerThanTheFixedPartFailsWith122) {
    unsigned char area[64] = {1};
    for (auto c : {std::make_pair(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, 34),
                   {IOCTL_USB_GET_NODE_INFORMATION, 75},
                   {IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, 7},
                   {IOCTL_USB_GET_HUB_CAPABILITIES, 3}}) {
        EXPECT_FALSE(Ioctl(hub, c.first, area, c.second)) << c.second;
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER) << c.second;
    }
}

TEST_F(SimUsbHub, DriverKeyNamesAnswerTheWholeSizeAndTruncateWithoutTerminator) {
    const std::string key = "{36fc9e60-c465-11cf-8056-444553540000}\\0000";
    unsigned char area[136];
    memset(area, 0, sizeof area);
    auto* name = reinterpret_cast<USB_NODE_CONNECTION_DRIVERKEY_NAME*>(area);
    name->ConnectionIndex = 1;
    DWORD bytes = 0;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, area, 136, &bytes));
    EXPECT_EQ(+name->ActualLength, 8 + 2 * (key.size() + 1));
    EXPECT_EQ(Narrow(name->DriverKeyName, 64), key);
    EXPECT_EQ(bytes, +name->ActualLength);

    // Room for 10 characters: the name is cut there, unterminated.
    memset(area, 0x77, sizeof area);
    name->ConnectionIndex = 1;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, area, 28));
    EXPECT_EQ(+name->ActualLength, 8 + 2 * (key.size() + 1));
    EXPECT_EQ(Narrow(name->DriverKeyName, 10), key.substr(0, 10));
    EXPECT_EQ(area[28], 0x77);

    // Only the fixed part: success with the size needed.
    name->ConnectionIndex = 1;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, area, 8));
    EXPECT_EQ(+name->ActualLength, 8 + 2 * (key.size() + 1));
}

TEST_F(SimUsbHub, ConnectionNameIsTheHubNameOrEmpty) {
    unsigned char area[520];
    auto* name = reinterpret_cast<USB_NODE_CONNECTION_NAME*>(area);
    memset(area, 0x55, sizeof area);
    name->ConnectionIndex = 4;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, area, 520));
    EXPECT_EQ(Narrow(name->NodeName, 256), "DOWN");
    EXPECT_EQ(+name->ActualLength, 8u + 10u);
    EXPECT_EQ(+name->NodeName[4], 0);

    name->ConnectionIndex = 1;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, area, 520));
    EXPECT_EQ(+name->ActualLength, 10u);
    EXPECT_EQ(+name->NodeName[0], 0);
}

TEST_F(SimUsbHub, V2ChecksLengthAndOverwritesProtocolsAndFlags) {
    USB_NODE_CONNECTION_INFORMATION_EX_V2 v2;
    memset(&v2, 0, sizeof v2);
    v2.ConnectionIndex = 1;
    v2.Length = 16;
    v2.SupportedUsbProtocols.ul = 4;
    v2.Flags.ul = 0xF0;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &v2, 16));
    EXPECT_EQ(+v2.SupportedUsbProtocols.ul, 7u);  // speed 3 defaults
    EXPECT_EQ(+v2.Flags.ul, 3u);

    v2.ConnectionIndex = 2;
    ASSERT_TRUE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &v2, 16));
    EXPECT_EQ(+v2.SupportedUsbProtocols.ul, 3u);
    EXPECT_EQ(+v2.Flags.ul, 0u);

    v2.Length = 12;
    EXPECT_FALSE(Ioctl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &v2, 16));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(SimUsbIoctl, RootHubNameOnlyOnTheControllerAndBeyondTheArea) {
    std::string longName(600, 'N');
    LoadUsb(R"({"controllers": [{"root_hub": {"name": ")" + longName + R"("}}, {}]})");
    HANDLE hc = Open(
        "\\\\?\\pci#ven_8086&dev_a36d#3&11583659&0&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}");
    ASSERT_NE(hc, INVALID_HANDLE_VALUE);
    unsigned char area[524];
    memset(area, 0, sizeof area);
    auto* name = reinterpret_cast<USB_ROOT_HUB_NAME*>(area);
    ASSERT_TRUE(Ioctl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 524));
    EXPECT_EQ(+name->ActualLength, 4u + 2u * 601u);
    EXPECT_EQ(+name->RootHubName[259], u'N');  // the last character that fits: no terminator
    EXPECT_FALSE(Ioctl(hc, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, area, 35));
    EXPECT_FALSE(Ioctl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 3));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    CloseHandle(hc);
    EXPECT_NE(Open(("\\\\.\\" + longName).c_str()), INVALID_HANDLE_VALUE);

    // The second controller has no root hub.
    hc = Open("\\\\?\\PCI#VEN_8086&DEV_A36D#3&11583659&0&1#{3ABF6F2D-71C4-462A-8A92-1E6861E6AF27}");
    ASSERT_NE(hc, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Ioctl(hc, IOCTL_USB_GET_ROOT_HUB_NAME, area, 524));
    CloseHandle(hc);
}

}  // namespace
