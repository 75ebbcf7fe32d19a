// The two interface sets: host controllers (walked in their order) and
// hubs (whose members' children make the program's node list).
#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

const DWORD kDigcf = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
const DWORD kMaxDetail = 65536;

struct Detail {
    bool Ok;
    Text Path;
    char* Raw;
    DEVINST Owner;
};

// The interface's path, asked for its size first so that a path of any
// length is read whole, zero bytes included.
Detail ReadDetail(Machine& m, HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data) {
    Detail d = {false, FailedText(0), nullptr, 0};
    SP_DEVINFO_DATA owner;
    MemFill(&owner, 0, sizeof owner);
    owner.cbSize = sizeof owner;
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, NULL, 0, &required, &owner);
    const DWORD fixed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    // The size asked for holds the whole path, zero bytes and all; without
    // a believable size, the path ends at its first zero byte.
    bool sized = required > fixed && required <= kMaxDetail;
    DWORD size = sized ? required : 4096;
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        size = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(HeapNew(size + 1));
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, NULL, &owner)) {
        int length = lstrlenA(detail->DevicePath);
        if (sized && int(required - fixed - 1) > length) length = int(required - fixed - 1);
        d.Ok = true;
        d.Path = AnsiText(m, detail->DevicePath, length);
        d.Raw = static_cast<char*>(Take(length + 1));
        MemMove(d.Raw, detail->DevicePath, length);
        d.Owner = owner.DevInst;
    }
    HeapDelete(detail);
    return d;
}

}  // namespace

void ReadHubSet(Machine& m) {
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HUB, NULL, NULL, kDigcf);
    m.HubSetOk = set != INVALID_HANDLE_VALUE;
    if (!m.HubSetOk) return;
    for (DWORD i = 0;; i++) {
        SP_DEVINFO_DATA device;
        MemFill(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(set, i, &device)) break;
        Member& member = m.Members.Add();
        member.Inst = device.DevInst;
        member.Owner = device.DevInst;
        member.Hub = -1;
        SP_DEVICE_INTERFACE_DATA data;
        MemFill(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        if (SetupDiEnumDeviceInterfaces(set, NULL, &GUID_DEVINTERFACE_USB_HUB, i, &data)) {
            Detail d = ReadDetail(m, set, data);
            member.Detail = d.Ok;
            member.Path = d.Path;
            member.RawPath = d.Raw;
            if (d.Ok) member.Owner = d.Owner;
        }
        if (member.Owner != member.Inst)
            Note(m, "Hub set member %u owns the interface of another node; the file gives "
                    "the member that node.", i);
        ReadNode(m, member.Inst);
        ReadChildren(m, ReadNode(m, member.Owner));
    }
    SetupDiDestroyDeviceInfoList(set);
}

void ReadControllers(Machine& m) {
    HDEVINFO set =
        SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, NULL, NULL, kDigcf);
    m.ControllerSetOk = set != INVALID_HANDLE_VALUE;
    if (!m.ControllerSetOk) return;
    for (DWORD i = 0;; i++) {
        SP_DEVICE_INTERFACE_DATA data;
        MemFill(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, NULL, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER, i,
                                         &data))
            break;
        Controller& c = m.Controllers.Add();
        c.RootHub = -1;
        SP_DEVINFO_DATA device;
        MemFill(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (SetupDiEnumDeviceInfo(set, i, &device)) c.Inst = device.DevInst;
        Detail d = ReadDetail(m, set, data);
        c.Detail = d.Ok;
        c.Path = d.Ok ? d.Path : Text{"", 0, true, 0};
        if (d.Ok && d.Owner) c.Inst = d.Owner;
        if (!d.Ok) continue;
        HANDLE h = CreateFileA(d.Raw, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
        c.Open = h != INVALID_HANDLE_VALUE;
        if (!c.Open) continue;
        char* path = nullptr;
        Text name = ReadRootHubName(h, &path);
        CloseHandle(h);
        if (name.Ok) c.RootHub = WalkHub(m, name, path, -1);
    }
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace tarvel::capture
