#include "usb/CUsbDevTree.h"

#include "usb/NodeProperty.h"

namespace tarvel {

namespace {

const DWORD kHubDetailSize = 512;
const ULONG kDeviceIdSize = 200;

// Interface paths begin with \\?\, the paths the walk opens with \\.\;
// both are compared from their fifth character on.
const char* PathTail(const char* path) {
    if (path == NULL || lstrlenA(path) <= 4) return "";
    return path + 4;
}

bool StartsWithI(const char* text, const char* prefix) {
    if (text == NULL || prefix == NULL || text[0] == 0 || prefix[0] == 0) return false;
    if (lstrlenA(prefix) > lstrlenA(text)) return false;
    return StrStrIA(text, prefix) == text;
}

// The fields of one child node of a hub; queries that fail leave them
// empty or 0.
void FillNodeRecord(DevNodeRecord* rec, DEVINST child, DEVINST hub, const char* hubPath) {
    rec->DevInst = child;
    rec->ParentDevInst = hub;
    lstrcpynA(rec->HubInterfacePath, hubPath, sizeof(rec->HubInterfacePath));

    CM_Get_Device_IDA(child, rec->DeviceId, sizeof(rec->DeviceId), 0);
    rec->DeviceId[sizeof(rec->DeviceId) - 1] = 0;
    DEVINST first = 0;
    if (CM_Get_Child(&first, child, 0) == CR_SUCCESS) rec->ChildDevInst = first;
    ULONG status = 0, problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, child, 0) == CR_SUCCESS) {
        rec->Status = status;
        rec->Problem = problem;
    }

    ReadNodeProperty(child, CM_DRP_FRIENDLYNAME, rec->FriendlyName, sizeof(rec->FriendlyName));
    ReadNodeProperty(child, CM_DRP_DEVICEDESC, rec->DeviceDesc, sizeof(rec->DeviceDesc));
    ReadNodeProperty(child, CM_DRP_LOCATION_INFORMATION, rec->LocationInfo,
                     sizeof(rec->LocationInfo));
    ReadNodeProperty(child, CM_DRP_DRIVER, rec->DriverKey, sizeof(rec->DriverKey));

    bool friendly = rec->FriendlyName[0] != 0 && rec->FriendlyName[0] != '-';
    rec->DisplayName = friendly ? rec->FriendlyName : rec->DeviceDesc;
}

}  // namespace

CUsbDevTree::CUsbDevTree() : Count(0) {
    for (int i = 0; i < kMaxDevNodes; i++) Nodes[i] = NULL;
}

CUsbDevTree::~CUsbDevTree() { Clear(); }

void CUsbDevTree::Clear() {
    for (int i = 0; i < Count; i++) delete Nodes[i];
    for (int i = 0; i < kMaxDevNodes; i++) Nodes[i] = NULL;
    Count = 0;
}

// Reads the hub interface path of member index of the set; the member's
// device data then describes the device owning the interface.
static void ReadHubInterface(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* member, char* path,
                             int pathSize) {
    union {
        SP_DEVICE_INTERFACE_DETAIL_DATA_A detail;
        BYTE area[kHubDetailSize];
    } buffer;
    buffer.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    buffer.detail.DevicePath[0] = 0;
    SP_DEVICE_INTERFACE_DATA iface;
    MemFill(&iface, 0, sizeof(iface));
    iface.cbSize = sizeof(iface);
    SetupDiEnumDeviceInterfaces(set, NULL, &GUID_DEVINTERFACE_USB_HUB, index, &iface);
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &iface, &buffer.detail, kHubDetailSize, &required,
                                     member);
    buffer.area[kHubDetailSize - 1] = 0;
    lstrcpynA(path, buffer.detail.DevicePath, pathSize);
}

void CUsbDevTree::Build() {
    Clear();
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HUB, NULL, NULL,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return;

    bool full = false;
    SP_DEVINFO_DATA member;
    MemFill(&member, 0, sizeof(member));
    member.cbSize = sizeof(member);
    for (DWORD i = 0; !full && SetupDiEnumDeviceInfo(set, i, &member); i++) {
        char id[kDeviceIdSize];
        ULONG status = 0, problem = 0;
        if (CM_Get_Device_IDA(member.DevInst, id, kDeviceIdSize, 0) != CR_SUCCESS) continue;
        if (CM_Get_DevNode_Status(&status, &problem, member.DevInst, 0) != CR_SUCCESS) continue;

        char hubPath[sizeof(DevNodeRecord::HubInterfacePath)];
        ReadHubInterface(set, i, &member, hubPath, sizeof(hubPath));
        DEVINST hub = member.DevInst;
        DEVINST child = 0;
        if (CM_Get_Child(&child, hub, 0) != CR_SUCCESS) continue;

        for (;;) {
            DevNodeRecord* rec = new DevNodeRecord;
            Nodes[Count++] = rec;
            FillNodeRecord(rec, child, hub, hubPath);
            if (Count == kMaxDevNodes) {
                printf("Max number of USB devs (%i) reached\n", Count);
                full = true;
                break;
            }
            DEVINST next = 0;
            if (CM_Get_Sibling(&next, child, 0) != CR_SUCCESS) break;
            child = next;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    ListAndLinkParents();
}

void CUsbDevTree::ListAndLinkParents() {
    DbgPrintf(1, "--------\n");
    for (int i = 0; i < Count; i++) {
        DevNodeRecord* rec = Nodes[i];
        DbgPrintf(1, "Dev[%2u]=%4u   %s %8s %s", i, rec->DevInst, rec->LocationInfo,
                  rec->PortChain, rec->DeviceId);
        DbgPrintf(1, "         driverkey='%s'  desc='%s'", rec->DriverKey, rec->DeviceDesc);
        DbgPrintf(1, "         parentdevpath=%s", rec->HubInterfacePath);
        for (int j = 0; j < Count; j++) {
            if (Nodes[j]->DevInst == rec->ParentDevInst) {
                rec->Parent = Nodes[j];
                break;
            }
        }
    }
}

DevNodeRecord* CUsbDevTree::FindByDriverKey(const char* key) const {
    // Failure texts begin with '-' and name no node. Nor does an empty key:
    // the hub answers one for a key longer than the walk's area, and a node
    // whose driver value is empty is not thereby the port's.
    if (key == NULL || key[0] == 0 || key[0] == '-') return NULL;
    for (int i = 0; i < Count; i++)
        if (lstrcmpA(Nodes[i]->DriverKey, key) == 0) return Nodes[i];
    return NULL;
}

DevNodeRecord* CUsbDevTree::FindByHubPort(const char* hubPath, int portNumber) const {
    char prefix[32];
    wsprintfA(prefix, "Port_#%04i", portNumber);
    const char* tail = PathTail(hubPath);
    for (int i = 0; i < Count; i++) {
        DevNodeRecord* rec = Nodes[i];
        if (lstrcmpiA(PathTail(rec->HubInterfacePath), tail) != 0) continue;
        if (StartsWithI(rec->LocationInfo, prefix)) return rec;
    }
    return NULL;
}

}  // namespace tarvel
