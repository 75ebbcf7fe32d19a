// The device information sets: members, interfaces, details and the size
// fields Windows checks, and the call trace of the USB services.
#include <cstring>
#include <vector>

#include "tests/unit/sim_usb_load.h"

using namespace tarvel;
using simusb::LoadUsb;

namespace {

const DWORD kFlags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;

// Hubs A (root, node 2) with B on port 1 (node 3), and C (root, node 5).
const char* kHubs = R"({"controllers": [
    {"root_hub": {"name": "A", "connections": {"1": {"hub": {"name": "B", "interface_detail": false}}}}},
    {"detail": false, "path": "\\\\?\\ctl1", "root_hub": {"name": "C", "interface_path": "\\\\?\\c-path"}}]})";

struct SimUsbSets : ::testing::Test {
    HDEVINFO set = INVALID_HANDLE_VALUE;
    void TearDown() override {
        if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
        sim::CaptureTrace(false);
    }
    void Open(const GUID& guid) {
        set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kFlags);
        ASSERT_NE(set, INVALID_HANDLE_VALUE);
    }
    // The detail path of interface i, or "fail <error>".
    std::string Detail(DWORD i, DEVINST* owner = nullptr) {
        SP_DEVICE_INTERFACE_DATA data;
        memset(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HUB, i, &data) &&
            !SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER, i,
                                         &data))
            return "no interface " + std::to_string(GetLastError());
        alignas(8) char buffer[512] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA device;
        memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buffer, nullptr, &device))
            return "fail " + std::to_string(GetLastError());
        if (owner) *owner = device.DevInst;
        return detail->DevicePath;
    }
};

TEST_F(SimUsbSets, SetsFollowWalkOrderOrTheGivenOrder) {
    LoadUsb(kHubs);
    Open(GUID_DEVINTERFACE_USB_HUB);
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    DEVINST nodes[3] = {};
    for (DWORD i = 0; i < 3; i++) {
        ASSERT_TRUE(SetupDiEnumDeviceInfo(set, i, &device));
        nodes[i] = device.DevInst;
    }
    EXPECT_EQ(std::vector<DEVINST>(nodes, nodes + 3), (std::vector<DEVINST>{2, 3, 5}));
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 3, &device));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    DEVINST owner = 0;
    EXPECT_EQ(Detail(0, &owner), "\\\\?\\A");
    EXPECT_EQ(owner, 2u);
    EXPECT_EQ(Detail(1), "fail " + std::to_string(ERROR_GEN_FAILURE));
    EXPECT_EQ(Detail(2), "\\\\?\\c-path");
    EXPECT_EQ(Detail(3), "no interface " + std::to_string(ERROR_NO_MORE_ITEMS));

    // One interface per controller.
    SetupDiDestroyDeviceInfoList(set);
    Open(GUID_DEVINTERFACE_USB_HOST_CONTROLLER);
    EXPECT_EQ(Detail(0, &owner),
              "\\\\?\\pci#ven_8086&dev_a36d#3&11583659&0&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}");
    EXPECT_EQ(owner, 1u);
    EXPECT_EQ(Detail(1), "fail " + std::to_string(ERROR_GEN_FAILURE));  // detail: false
    EXPECT_EQ(Detail(2), "no interface " + std::to_string(ERROR_NO_MORE_ITEMS));

    SetupDiDestroyDeviceInfoList(set);
    std::string usb = kHubs;
    usb.insert(usb.size() - 1, R"(, "hub_set_order": ["C", "A"])");
    LoadUsb(usb);
    Open(GUID_DEVINTERFACE_USB_HUB);
    EXPECT_EQ(Detail(0, &owner), "\\\\?\\c-path");
    EXPECT_EQ(owner, 5u);
    EXPECT_EQ(Detail(1), "\\\\?\\A");
    EXPECT_EQ(Detail(2), "no interface " + std::to_string(ERROR_NO_MORE_ITEMS));
}

TEST_F(SimUsbSets, SizeFieldsAndBufferSizeAreChecked) {
    LoadUsb(kHubs);
    Open(GUID_DEVINTERFACE_USB_HUB);
    SP_DEVICE_INTERFACE_DATA data;
    memset(&data, 0, sizeof data);
    data.cbSize = 28;  // the 32-bit size is wrong here
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HUB, 0, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_HUB, 0, &data));

    alignas(8) char buffer[64];
    memset(buffer, 'x', sizeof buffer);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
    detail->cbSize = 5;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, 64, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);

    // "\\?\A" needs 4 + 5 + 1 bytes.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, 9, &required, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 10u);
    EXPECT_EQ(buffer[4], 'x');
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, 10, &required, nullptr));
    EXPECT_STREQ(detail->DevicePath, "\\\\?\\A");

    SP_DEVINFO_DATA device;
    device.cbSize = 28;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, 64, nullptr, &device));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &device));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
}

TEST_F(SimUsbSets, FailingSetsAndTheTrace) {
    LoadUsb(R"({"hub_set": "fails", "controllers": [{"open": false}]})");
    sim::CaptureTrace(true);
    EXPECT_EQ(SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HUB, nullptr, nullptr, kFlags),
              INVALID_HANDLE_VALUE);
    Open(GUID_DEVINTERFACE_USB_HOST_CONTROLLER);
    const char* path0 =
        "\\\\?\\pci#ven_8086&dev_a36d#3&11583659&0&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";
    EXPECT_EQ(simusb::Open(path0), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), 0u);
    SetupDiDestroyDeviceInfoList(set);
    set = INVALID_HANDLE_VALUE;
    EXPECT_EQ(sim::CapturedTrace(),
              "SetupDiGetClassDevsA hub -> fail\n"
              "SetupDiGetClassDevsA hostcontroller -> ok\n"
              "CreateFileA " + std::string(path0) + " -> fail\n"
              "SetupDiDestroyDeviceInfoList hostcontroller\n");
}

}  // namespace
