// The port inventory: one record per connected hub port, linked to the
// device node of the device on it.
#pragma once
#include "platform/Platform.h"
#include "runtime/CRTreplace.h"
#include "usb/CUsbDevTree.h"

namespace tarvel {

const int kMaxPorts = 1024;
// Every hub but a root hub hangs on a port that has a record, so a stack
// that fills this has long filled the port list.
const int kMaxWalkedHubs = 2 * kMaxPorts;

struct UsbPortRecord {
    TARVEL_HEAP_OBJECT
    char HubPath[260];
    char DriverKeyName[64];
    char PortName[152];
    char Name[96];
    WORD ConnState;
    WORD VendorID;
    WORD ProductID;
    int PortNumber;
    WORD bcdUSB;
    BOOL DeviceIsHub;
    BOOL HubIs2xCapable;
    DWORD PortMaxSpeed;
    DWORD DevMaxSpeed;
    DWORD ConnSpeed;
    DevNodeRecord* DevNode;
};

class CUsbDevInfo {
public:
    TARVEL_HEAP_OBJECT
    CUsbDevInfo();
    ~CUsbDevInfo();

    bool Enumerate();
    bool EnumerateRootHub(HANDLE hostController, const char* controllerNumber);
    void HubEnumerate(const char* hubPath, const char* chainPrefix);
    void ReleaseAll();

    // ids: up to five IDs ended by a null entry.
    int FindDevices(char* const* ids, UsbPortRecord** out, int capacity);
    bool MatchPort(const DevNodeRecord* node, const UsbPortRecord* port, char* const* ids) const;

    CUsbDevTree* DevTree;
    UsbPortRecord* Ports[kMaxPorts];
    int PortCount;

private:
    bool MayWalkHub(const char* hubPath, const char* chainPrefix) const;
    void AddPortRecord(HANDLE hub, const char* hubPath, int port, const char* chain,
                       const USB_NODE_CONNECTION_INFORMATION_EX& conn,
                       const USB_NODE_CONNECTION_INFORMATION_EX_V2* v2);
    // The path of the hub on port, into pathArea after its device prefix.
    static bool ReadDownstreamPath(HANDLE hub, int port, char* pathArea);
    void LinkPortsToNodes();

    // Paths of the hubs walked so far in this Enumerate, the hubs being
    // walked among them.
    char* WalkedHubs[kMaxWalkedHubs];
    int WalkedHubCount;
    void ForgetWalkedHubs();
};

}  // namespace tarvel
