// The simulated machine hands the program the same bytes a real hub driver
// and setupapi would; these layouts must match the Windows builds, which
// pin the same sizes and offsets against the real SDK headers.
#include "platform/Platform.h"

#include <gtest/gtest.h>

namespace tarvel {

static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION) == 35, "connection info");
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX) == 35, "connection info ex");
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2) == 16, "connection info v2");
static_assert(sizeof(USB_NODE_INFORMATION) == 76, "node info");
static_assert(offsetof(USB_NODE_INFORMATION, u.HubInformation.HubDescriptor.bNumberOfPorts) == 6, "ports");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, DeviceDescriptor.idVendor) == 12, "idVendor");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, LowSpeed) == 23, "LowSpeed");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, DeviceIsHub) == 24, "DeviceIsHub");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, ConnectionStatus) == 31, "status");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, DeviceDescriptor.idVendor) == 12, "idVendor ex");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, Speed) == 23, "Speed");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, DeviceIsHub) == 24, "DeviceIsHub ex");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, ConnectionStatus) == 31, "status ex");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX_V2, Flags) == 12, "v2 flags");

static_assert(offsetof(USB_ROOT_HUB_NAME, RootHubName) == 4, "root hub name");
static_assert(offsetof(USB_NODE_CONNECTION_NAME, NodeName) == 8, "connection name");
static_assert(offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName) == 8, "driver key name");

static_assert(sizeof(KEY_EVENT_RECORD) == 16, "key event");
static_assert(sizeof(INPUT_RECORD) == 20, "input record");
static_assert(offsetof(INPUT_RECORD, Event) == 4, "input event");
static_assert(sizeof(RTL_OSVERSIONINFOEXW) == 284, "rtl version");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "version ex");
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "fixed file info");
static_assert(sizeof(CPINFOEXA) == 284, "code page info");
static_assert(offsetof(CPINFOEXA, CodePageName) == 24, "code page name");
static_assert(sizeof(WCHAR) == 2, "UTF-16 units");

// The simulator follows the 64-bit packing of setupapi.
static_assert(sizeof(void*) != 8 || sizeof(SP_DEVINFO_DATA) == 32, "devinfo data");
static_assert(sizeof(void*) != 8 || sizeof(SP_DEVICE_INTERFACE_DATA) == 32, "interface data");
static_assert(sizeof(void*) != 8 || sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8, "detail fixed part");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4, "device path");

}  // namespace tarvel

// A one-bit field in a ULONG: Windows compilers give the structure the
// ULONG's four bytes even under 1-byte packing, GCC's own layout only one.
// Checked at run time so that a mismatch fails this test, not the build.
TEST(SimLayout, HubCapabilitiesFillTheirUlong) {
    EXPECT_EQ(sizeof(tarvel::USB_HUB_CAPABILITIES), 4u);
}
