// The program reads and writes these structures byte for byte as Windows
// and the USB hub driver lay them out; a header that packs one differently
// must stop the build rather than garble a listing. Both backends compile
// this file: the simulated machine must hand over the same bytes.
#include "platform/Platform.h"

namespace tarvel {

const bool kIs64 = sizeof(void*) == 8;

// The hub's answers are packed to single bytes.
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION) == 35, "connection info");
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX) == 35, "connection info ex");
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2) == 16, "connection info v2");
static_assert(sizeof(USB_NODE_INFORMATION) == 76, "node info");
static_assert(offsetof(USB_NODE_INFORMATION, u.HubInformation.HubDescriptor.bNumberOfPorts) == 6,
              "ports");
static_assert(sizeof(USB_HUB_CAPABILITIES) == 4, "hub capabilities");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, DeviceDescriptor.idVendor) == 12, "idVendor");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, LowSpeed) == 23, "LowSpeed");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, DeviceIsHub) == 24, "DeviceIsHub");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, ConnectionStatus) == 31, "status");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, DeviceDescriptor.idVendor) == 12, "idVendor ex");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, Speed) == 23, "Speed");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, DeviceIsHub) == 24, "DeviceIsHub ex");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, ConnectionStatus) == 31, "status ex");
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX_V2, Flags) == 12, "v2 flags");

// Name answers: a fixed part, then the UTF-16 name.
static_assert(offsetof(USB_ROOT_HUB_NAME, RootHubName) == 4, "root hub name");
static_assert(offsetof(USB_NODE_CONNECTION_NAME, NodeName) == 8, "connection name");
static_assert(offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName) == 8, "driver key name");

// setupapi packs to 1 byte in 32-bit builds and to 8 in 64-bit builds (the
// simulated machine follows the 64-bit packing); cbSize must carry exactly
// these values or the calls fail.
static_assert(sizeof(SP_DEVINFO_DATA) == (kIs64 ? 32 : 28), "devinfo data");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (kIs64 ? 32 : 28), "interface data");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (kIs64 ? 8 : 5), "detail fixed part");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4, "device path");

// Console input, versions and code pages.
static_assert(sizeof(KEY_EVENT_RECORD) == 16, "key event");
static_assert(sizeof(INPUT_RECORD) == 20, "input record");
static_assert(offsetof(INPUT_RECORD, Event) == 4, "input event");
static_assert(sizeof(RTL_OSVERSIONINFOEXW) == 284, "rtl version");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "version ex");
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "fixed file info");
static_assert(sizeof(CPINFOEXA) == 284, "code page info");
static_assert(offsetof(CPINFOEXA, CodePageName) == 24, "code page name");
static_assert(sizeof(WCHAR) == 2, "UTF-16 units");

}  // namespace tarvel
