// The USB hub driver's answers and I/O control codes as usbioctl.h lays
// them out, for the simulated machine; the Windows builds take the driver
// kit's own header. Layouts.cpp beside this file holds both to the same
// bytes.
#pragma once

#include "platform/sim/WinTypes.h"

namespace tarvel {

// Packed to 1 byte, as the hub driver answers.
#pragma pack(push, 1)
struct USB_DEVICE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    USHORT idVendor;
    USHORT idProduct;
    USHORT bcdDevice;
    UCHAR iManufacturer;
    UCHAR iProduct;
    UCHAR iSerialNumber;
    UCHAR bNumConfigurations;
};
struct USB_ROOT_HUB_NAME {
    ULONG ActualLength;
    WCHAR RootHubName[1];
};
struct USB_HUB_DESCRIPTOR {
    UCHAR bDescriptorLength;
    UCHAR bDescriptorType;
    UCHAR bNumberOfPorts;
    USHORT wHubCharacteristics;
    UCHAR bPowerOnToPowerGood;
    UCHAR bHubControlCurrent;
    UCHAR bRemoveAndPowerMask[64];
};
struct USB_HUB_INFORMATION {
    USB_HUB_DESCRIPTOR HubDescriptor;
    BOOLEAN HubIsBusPowered;
};
struct USB_MI_PARENT_INFORMATION {
    ULONG NumberOfInterfaces;
};
enum USB_HUB_NODE { UsbHub, UsbMIParent };
struct USB_NODE_INFORMATION {
    USB_HUB_NODE NodeType;
    union {
        USB_HUB_INFORMATION HubInformation;
        USB_MI_PARENT_INFORMATION MiParentInformation;
    } u;
};
enum USB_CONNECTION_STATUS {
    NoDeviceConnected,
    DeviceConnected,
    DeviceFailedEnumeration,
    DeviceGeneralFailure,
    DeviceCausedOvercurrent,
    DeviceNotEnoughPower,
    DeviceNotEnoughBandwidth,
    DeviceHubNestedTooDeeply,
    DeviceInLegacyHub,
    DeviceEnumerating,
    DeviceReset
};
struct USB_NODE_CONNECTION_INFORMATION {
    ULONG ConnectionIndex;
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    UCHAR CurrentConfigurationValue;
    BOOLEAN LowSpeed;
    BOOLEAN DeviceIsHub;
    USHORT DeviceAddress;
    ULONG NumberOfOpenPipes;
    USB_CONNECTION_STATUS ConnectionStatus;
};
struct USB_NODE_CONNECTION_INFORMATION_EX {
    ULONG ConnectionIndex;
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    UCHAR CurrentConfigurationValue;
    UCHAR Speed;
    BOOLEAN DeviceIsHub;
    USHORT DeviceAddress;
    ULONG NumberOfOpenPipes;
    USB_CONNECTION_STATUS ConnectionStatus;
};
union USB_PROTOCOLS {
    ULONG ul;
    struct {
        ULONG Usb110 : 1;
        ULONG Usb200 : 1;
        ULONG Usb300 : 1;
        ULONG ReservedMBZ : 29;
    };
};
union USB_NODE_CONNECTION_INFORMATION_EX_V2_FLAGS {
    ULONG ul;
    struct {
        ULONG DeviceIsOperatingAtSuperSpeedOrHigher : 1;
        ULONG DeviceIsSuperSpeedCapableOrHigher : 1;
        ULONG DeviceIsOperatingAtSuperSpeedPlusOrHigher : 1;
        ULONG DeviceIsSuperSpeedPlusCapableOrHigher : 1;
        ULONG ReservedMBZ : 28;
    };
};
struct USB_NODE_CONNECTION_INFORMATION_EX_V2 {
    ULONG ConnectionIndex;
    ULONG Length;
    USB_PROTOCOLS SupportedUsbProtocols;
    USB_NODE_CONNECTION_INFORMATION_EX_V2_FLAGS Flags;
};
struct USB_NODE_CONNECTION_DRIVERKEY_NAME {
    ULONG ConnectionIndex;
    ULONG ActualLength;
    WCHAR DriverKeyName[1];
};
struct USB_NODE_CONNECTION_NAME {
    ULONG ConnectionIndex;
    ULONG ActualLength;
    WCHAR NodeName[1];
};
struct USB_HUB_CAPABILITIES {
    ULONG HubIs2xCapable : 1;
    ULONG Unused : 31;  // keeps the whole ULONG, as on Windows
};
#pragma pack(pop)

#define IOCTL_USB_GET_NODE_INFORMATION 0x220408
#define IOCTL_USB_GET_ROOT_HUB_NAME 0x220408
#define IOCTL_USB_GET_NODE_CONNECTION_INFORMATION 0x22040C
#define IOCTL_USB_GET_NODE_CONNECTION_NAME 0x220414
#define IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME 0x220420
#define IOCTL_USB_GET_HUB_CAPABILITIES 0x22043C
#define IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX 0x220448
#define IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2 0x22045C

}  // namespace tarvel
