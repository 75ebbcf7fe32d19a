// Reads the topology from the service's Parameters key, in the flat form
// that fakeusb/README.md describes, and the registry helpers the rest
// of the driver shares.
#include "Driver.h"

TV_TOPOLOGY Topology;

ULONG WideLength(const WCHAR* text) {
    ULONG n = 0;
    while (text[n]) n++;
    return n;
}

WCHAR* Append(WCHAR* out, const WCHAR* text) {
    while (*text) *out++ = *text++;
    *out = 0;
    return out;
}

WCHAR* AppendNumber(WCHAR* out, ULONG value) {
    WCHAR digits[12];
    int n = 0;
    do {
        digits[n++] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value);
    while (n) *out++ = digits[--n];
    *out = 0;
    return out;
}

// Opens base\path (base itself for an empty path), or path alone when
// base is null.
NTSTATUS OpenKey(PCWSTR path, const UNICODE_STRING* base, HANDLE* key, BOOLEAN create) {
    WCHAR full[1024];
    WCHAR* end = full;
    full[0] = 0;
    if (base) {
        if (base->Length / 2 + WideLength(path) + 2 >= 1024) return STATUS_NAME_TOO_LONG;
        RtlCopyMemory(full, base->Buffer, base->Length);
        end = full + base->Length / 2;
        if (*path) *end++ = L'\\';
    } else if (WideLength(path) + 1 >= 1024) {
        return STATUS_NAME_TOO_LONG;
    }
    Append(end, path);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, full);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    if (!create) return ZwOpenKey(key, KEY_ALL_ACCESS, &attributes);
    ULONG disposition;
    return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE,
                       &disposition);
}

NTSTATUS SetText(HANDLE key, PCWSTR name, ULONG type, const WCHAR* text, ULONG bytes) {
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    return ZwSetValueKey(key, &valueName, 0, type, (PVOID)text, bytes);
}

NTSTATUS SetDword(HANDLE key, PCWSTR name, ULONG value) {
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    return ZwSetValueKey(key, &valueName, 0, REG_DWORD, &value, sizeof value);
}

// The value's data in pool memory (free with ExFreePool), or null.
static KEY_VALUE_PARTIAL_INFORMATION* QueryValue(HANDLE key, PCWSTR name) {
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    ULONG size = 0;
    NTSTATUS status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, NULL, 0, &size);
    if (status != STATUS_BUFFER_TOO_SMALL && status != STATUS_BUFFER_OVERFLOW) return NULL;
    KEY_VALUE_PARTIAL_INFORMATION* info = ExAllocatePoolWithTag(PagedPool, size + 2, TV_TAG);
    if (!info) return NULL;
    status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info, size, &size);
    if (!NT_SUCCESS(status)) {
        ExFreePool(info);
        return NULL;
    }
    return info;
}

static ULONG ReadDword(HANDLE key, PCWSTR name, ULONG fallback) {
    KEY_VALUE_PARTIAL_INFORMATION* info = QueryValue(key, name);
    ULONG value = fallback;
    if (info && info->Type == REG_DWORD && info->DataLength == sizeof value)
        RtlCopyMemory(&value, info->Data, sizeof value);
    if (info) ExFreePool(info);
    return value;
}

// An absent text reads as empty, which is also what a name query answers then.
static void ReadText(HANDLE key, PCWSTR name, TV_TEXT* text) {
    KEY_VALUE_PARTIAL_INFORMATION* info = QueryValue(key, name);
    ULONG chars = info && info->Type == REG_SZ ? info->DataLength / 2 : 0;
    text->Text = ExAllocatePoolWithTag(PagedPool, (chars + 1) * 2, TV_TAG);
    if (!text->Text) chars = 0;
    if (chars) RtlCopyMemory(text->Text, info->Data, chars * 2);
    while (chars && text->Text[chars - 1] == 0) chars--;  // the stored terminator
    if (text->Text) text->Text[chars] = 0;
    text->Chars = chars;
    if (info) ExFreePool(info);
}

static void* ZeroedArray(ULONG count, ULONG size) {
    if (!count) return NULL;
    void* p = ExAllocatePoolWithTag(PagedPool, count * size, TV_TAG);
    if (p) RtlZeroMemory(p, count * size);
    return p;
}

static HANDLE OpenItem(PCWSTR kind, ULONG index) {
    WCHAR name[32];
    AppendNumber(Append(name, kind), index);
    HANDLE key = NULL;
    if (!NT_SUCCESS(OpenKey(name, &ParametersPath, &key, FALSE))) return NULL;
    return key;
}

static void LoadPorts(HANDLE key, TV_HUB* hub) {
    hub->PortList = ZeroedArray(hub->Ports, sizeof(TV_PORT));
    hub->DriverKeys = ZeroedArray(hub->Ports, sizeof(TV_TEXT));
    if (!hub->PortList || !hub->DriverKeys) {
        hub->Ports = 0;
        return;
    }
    for (ULONG p = 1; p <= hub->Ports; p++) {
        WCHAR name[32];
        AppendNumber(Append(name, L"Port"), p);
        KEY_VALUE_PARTIAL_INFORMATION* info = QueryValue(key, name);
        if (info && info->Type == REG_BINARY && info->DataLength == sizeof(TV_PORT))
            RtlCopyMemory(&hub->PortList[p - 1], info->Data, sizeof(TV_PORT));
        if (info) ExFreePool(info);
        AppendNumber(Append(name, L"DriverKey"), p);
        ReadText(key, name, &hub->DriverKeys[p - 1]);
    }
}

static void LoadHub(ULONG index) {
    TV_HUB* hub = &Topology.Hubs[index];
    HANDLE key = OpenItem(L"Hub", index);
    if (!key) return;  // left all zero: a hub that cannot be opened
    ReadText(key, L"Name", &hub->Name);
    hub->Open = ReadDword(key, L"Open", 1);
    hub->NodeInfo = ReadDword(key, L"NodeInfo", 1);
    hub->Ports = ReadDword(key, L"Ports", 0);
    if (hub->Ports > 255) hub->Ports = 255;
    hub->Caps = ReadDword(key, L"Caps", 1);
    hub->Node = ReadDword(key, L"Node", 0);
    if (hub->Node > Topology.NodeCount) hub->Node = 0;
    LoadPorts(key, hub);
    ZwClose(key);
}

static void LoadNode(ULONG index) {
    TV_NODE* node = &Topology.Nodes[index];
    HANDLE key = OpenItem(L"Node", index);
    if (!key) return;
    ReadText(key, L"InstanceId", &node->InstanceId);
    node->Parent = ReadDword(key, L"Parent", 0);
    node->Controller = ReadDword(key, L"Controller", 0);
    node->Hub = ReadDword(key, L"Hub", 0);
    // A child must come after its parent, or it would never be created.
    if (node->Parent > index) node->Parent = 0;
    if (node->Controller > Topology.ControllerCount) node->Controller = 0;
    if (node->Hub > Topology.HubCount) node->Hub = 0;
    ZwClose(key);
}

NTSTATUS LoadTopology(void) {
    HANDLE key;
    RtlZeroMemory(&Topology, sizeof Topology);
    if (!NT_SUCCESS(OpenKey(L"", &ParametersPath, &key, TRUE))) return STATUS_SUCCESS;
    Topology.Generation = ReadDword(key, L"Generation", 0);
    // Ready and Started speak of this load only.
    static const WCHAR* const progress[] = {L"Ready", L"Started"};
    for (int i = 0; i < 2; i++) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, progress[i]);
        ZwDeleteValueKey(key, &name);
    }
    Topology.ControllerCount = ReadDword(key, L"Controllers", 0);
    Topology.HubCount = ReadDword(key, L"Hubs", 0);
    Topology.NodeCount = ReadDword(key, L"Nodes", 0);
    ZwClose(key);
    Topology.Controllers = ZeroedArray(Topology.ControllerCount, sizeof(TV_CONTROLLER));
    Topology.Hubs = ZeroedArray(Topology.HubCount, sizeof(TV_HUB));
    Topology.Nodes = ZeroedArray(Topology.NodeCount, sizeof(TV_NODE));
    if ((Topology.ControllerCount && !Topology.Controllers) ||
        (Topology.HubCount && !Topology.Hubs) || (Topology.NodeCount && !Topology.Nodes)) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    for (ULONG i = 0; i < Topology.ControllerCount; i++) {
        HANDLE c = OpenItem(L"Controller", i);
        if (!c) continue;
        Topology.Controllers[i].Open = ReadDword(c, L"Open", 1);
        Topology.Controllers[i].RootHub = ReadDword(c, L"RootHub", 0);
        if (Topology.Controllers[i].RootHub > Topology.HubCount) Topology.Controllers[i].RootHub = 0;
        ZwClose(c);
    }
    for (ULONG i = 0; i < Topology.NodeCount; i++) LoadNode(i);
    for (ULONG i = 0; i < Topology.HubCount; i++) LoadHub(i);
    return STATUS_SUCCESS;
}
