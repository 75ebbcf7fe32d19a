// Plug and Play: the bus device reports the controllers, each started
// node reports its own children, and a node that starts records what the
// stand-in cfgmgr32 reads in its Enum key, then enables a controller's
// interface. The hub interfaces come from the harness (usbstack.py) in the
// machine's order; Wine would order those made here by instance ID.
#include "Driver.h"

static const GUID HostControllerClass = {
    0x3abf6f2d, 0x71c4, 0x462a, {0x8a, 0x92, 0x1e, 0x68, 0x61, 0xe6, 0xaf, 0x27}};

// Every child's hardware and compatible IDs end in this one, which the INF
// maps to this driver's service.
static const WCHAR NodeHardwareId[] = L"TARVELUSB\\NODE";

static const WCHAR EnumRoot[] = L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\";

static LONG DeviceCounter;
static LONG StartedNodes;

static void DeviceName(ULONG number, WCHAR* out) {
    AppendNumber(Append(out, L"\\Device\\TarvelUsb"), number);
}

NTSTATUS CreateDevice(TV_KIND kind, ULONG index, PDEVICE_OBJECT* device) {
    WCHAR buffer[48];
    ULONG number = (ULONG)InterlockedIncrement(&DeviceCounter);
    DeviceName(number, buffer);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, buffer);
    NTSTATUS status = IoCreateDevice(TheDriver, sizeof(TV_EXTENSION), &name, FILE_DEVICE_USB,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, device);
    if (!NT_SUCCESS(status)) return status;
    TV_EXTENSION* ext = (*device)->DeviceExtension;
    RtlZeroMemory(ext, sizeof *ext);
    ext->Kind = kind;
    ext->Index = index;
    ext->Number = number;
    (*device)->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

// "\\.\<hub name>" must reach the hub. When the name is the hub
// interface's own link the link exists already, and that is as good.
static void LinkHubName(const TV_HUB* hub, PDEVICE_OBJECT device) {
    WCHAR link[600];
    WCHAR target[48];
    if (!hub->Name.Chars || hub->Name.Chars > 500) return;
    Append(Append(link, L"\\DosDevices\\"), hub->Name.Text);
    DeviceName(((TV_EXTENSION*)device->DeviceExtension)->Number, target);
    UNICODE_STRING linkName, targetName;
    RtlInitUnicodeString(&linkName, link);
    RtlInitUnicodeString(&targetName, target);
    IoCreateSymbolicLink(&linkName, &targetName);
}

static void WriteReady(void) {
    HANDLE key;
    if (!NT_SUCCESS(OpenKey(L"", &ParametersPath, &key, TRUE))) return;
    SetDword(key, L"Ready", Topology.Generation);
    ZwClose(key);
}

static void CountStarted(void) {
    LONG started = InterlockedIncrement(&StartedNodes);
    HANDLE key;
    if (NT_SUCCESS(OpenKey(L"", &ParametersPath, &key, TRUE))) {
        SetDword(key, L"Started", (ULONG)started);
        ZwClose(key);
    }
    if ((ULONG)started == Topology.NodeCount) WriteReady();
}

// A hub that has no device node still answers its queries under its name.
NTSTATUS CreateHubControls(void) {
    for (ULONG h = 0; h < Topology.HubCount; h++) {
        if (Topology.Hubs[h].Node) continue;
        PDEVICE_OBJECT device;
        NTSTATUS status = CreateDevice(TvHubControl, h, &device);
        if (!NT_SUCCESS(status)) return status;
        if (Topology.Hubs[h].Open) LinkHubName(&Topology.Hubs[h], device);
    }
    return STATUS_SUCCESS;
}

// Creates the PDOs of the nodes whose parent is `parent` (node number + 1,
// 0 for the bus); returns how many there are.
static ULONG CreateChildren(ULONG parent) {
    ULONG count = 0;
    for (ULONG i = 0; i < Topology.NodeCount; i++) {
        TV_NODE* node = &Topology.Nodes[i];
        if (node->Parent != parent || !node->InstanceId.Chars) continue;
        if (!node->Pdo && !NT_SUCCESS(CreateDevice(TvNode, i, &node->Pdo))) continue;
        count++;
    }
    return count;
}

static NTSTATUS ChildRelations(ULONG parent, PIRP irp) {
    ULONG count = 0;
    for (ULONG i = 0; i < Topology.NodeCount; i++)
        if (Topology.Nodes[i].Parent == parent && Topology.Nodes[i].Pdo) count++;
    ULONG size = sizeof(DEVICE_RELATIONS) + count * sizeof(PDEVICE_OBJECT);
    DEVICE_RELATIONS* relations = ExAllocatePoolWithTag(PagedPool, size, TV_TAG);
    if (!relations) return STATUS_INSUFFICIENT_RESOURCES;
    relations->Count = 0;
    for (ULONG i = 0; i < Topology.NodeCount; i++) {
        PDEVICE_OBJECT pdo = Topology.Nodes[i].Pdo;
        if (Topology.Nodes[i].Parent != parent || !pdo) continue;
        ObReferenceObject(pdo);
        relations->Objects[relations->Count++] = pdo;
    }
    irp->IoStatus.Information = (ULONG_PTR)relations;
    return STATUS_SUCCESS;
}

static NTSTATUS SelfRelation(PDEVICE_OBJECT device, PIRP irp) {
    DEVICE_RELATIONS* relations = ExAllocatePoolWithTag(PagedPool, sizeof *relations, TV_TAG);
    if (!relations) return STATUS_INSUFFICIENT_RESOURCES;
    ObReferenceObject(device);
    relations->Count = 1;
    relations->Objects[0] = device;
    irp->IoStatus.Information = (ULONG_PTR)relations;
    return STATUS_SUCCESS;
}

NTSTATUS BusPnp(PDEVICE_OBJECT device, PIRP irp) {
    TV_EXTENSION* ext = device->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        CreateHubControls();
        if (CreateChildren(0)) IoInvalidateDeviceRelations(ext->Pdo, BusRelations);
        if (Topology.NodeCount == 0) WriteReady();
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (stack->Parameters.QueryDeviceRelations.Type == BusRelations)
            irp->IoStatus.Status = ChildRelations(0, irp);
        break;
    case IRP_MN_REMOVE_DEVICE: {
        IoSkipCurrentIrpStackLocation(irp);
        NTSTATUS status = IoCallDriver(ext->Lower, irp);
        IoDetachDevice(ext->Lower);
        IoDeleteDevice(device);
        return status;
    }
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(ext->Lower, irp);
}

// The IDs split the instance ID at its last backslash: Wine joins device
// ID and instance ID again with one.
static NTSTATUS QueryId(const TV_NODE* node, BUS_QUERY_ID_TYPE type, PIRP irp) {
    const WCHAR* id = node->InstanceId.Text;
    ULONG chars = node->InstanceId.Chars, split = chars;
    while (split && id[split - 1] != L'\\') split--;
    ULONG deviceChars = split ? split - 1 : chars;
    ULONG extra = sizeof NodeHardwareId / 2;
    WCHAR* out = ExAllocatePoolWithTag(PagedPool, (chars + extra + 3) * sizeof(WCHAR), TV_TAG);
    if (!out) return STATUS_INSUFFICIENT_RESOURCES;
    WCHAR* end = out;
    switch (type) {
    case BusQueryDeviceID:
    case BusQueryHardwareIDs:
        RtlCopyMemory(out, id, deviceChars * sizeof(WCHAR));
        end = out + deviceChars;
        *end++ = 0;
        if (type == BusQueryHardwareIDs) end = Append(end, NodeHardwareId) + 1;
        *end = 0;
        break;
    case BusQueryCompatibleIDs:
        end = Append(out, NodeHardwareId) + 1;
        *end = 0;
        break;
    case BusQueryInstanceID:
        Append(out, split ? id + split : L"0");
        break;
    default:
        ExFreePool(out);
        return irp->IoStatus.Status;
    }
    irp->IoStatus.Information = (ULONG_PTR)out;
    return STATUS_SUCCESS;
}

// The stand-in cfgmgr32 answers from these; a node that was something else
// in an earlier machine must not keep any of them.
static const WCHAR* const StaleValues[] = {
    L"TarvelChildren", L"TarvelParent", L"TarvelStatus", L"TarvelProblem", L"TarvelStatusCr",
    L"TarvelFriendlyName", L"TarvelFriendlyNameCr", L"TarvelDeviceDesc", L"TarvelDeviceDescCr",
    L"TarvelLocation", L"TarvelLocationCr", L"TarvelDriver", L"TarvelDriverCr",
    L"FriendlyName", L"LocationInformation"};

static BOOLEAN StartsWith(const WCHAR* text, ULONG chars, const WCHAR* prefix) {
    ULONG n = WideLength(prefix);
    if (chars < n) return FALSE;
    for (ULONG i = 0; i < n; i++)
        if (text[i] != prefix[i]) return FALSE;
    return TRUE;
}

static BOOLEAN SameName(const WCHAR* text, ULONG chars, const WCHAR* name) {
    return chars == WideLength(name) && StartsWith(text, chars, name);
}

// Copies the node's Tarvel* values from its Parameters key; the friendly
// name and location also go where Windows keeps them. A value larger than
// the area is read again in one that holds it: a value left out would make
// the comparison blame the program.
static NTSTATUS CopyNodeValues(ULONG index, HANDLE target) {
    WCHAR name[32];
    AppendNumber(Append(name, L"Node"), index);
    HANDLE source;
    NTSTATUS result = OpenKey(name, &ParametersPath, &source, FALSE);
    if (!NT_SUCCESS(result)) return result;
    ULONG size = 8192;
    KEY_VALUE_FULL_INFORMATION* info = ExAllocatePoolWithTag(PagedPool, size, TV_TAG);
    if (!info) result = STATUS_INSUFFICIENT_RESOURCES;
    for (ULONG k = 0; NT_SUCCESS(result);) {
        ULONG length = 0;
        NTSTATUS status = ZwEnumerateValueKey(source, k, KeyValueFullInformation, info, size, &length);
        if (status == STATUS_NO_MORE_ENTRIES) break;
        if (status == STATUS_BUFFER_OVERFLOW || status == STATUS_BUFFER_TOO_SMALL) {
            ExFreePool(info);
            size = length > size ? length : size * 2;
            info = ExAllocatePoolWithTag(PagedPool, size, TV_TAG);
            if (!info) result = STATUS_INSUFFICIENT_RESOURCES;
            continue;
        }
        if (!NT_SUCCESS(status)) {
            result = status;
            break;
        }
        k++;
        ULONG chars = info->NameLength / 2;
        if (!StartsWith(info->Name, chars, L"Tarvel")) continue;
        UNICODE_STRING valueName = {(USHORT)info->NameLength, (USHORT)info->NameLength, info->Name};
        PVOID data = (UCHAR*)info + info->DataOffset;
        result = ZwSetValueKey(target, &valueName, 0, info->Type, data, info->DataLength);
        const WCHAR* real = SameName(info->Name, chars, L"TarvelFriendlyName") ? L"FriendlyName"
                            : SameName(info->Name, chars, L"TarvelLocation") ? L"LocationInformation"
                                                                              : NULL;
        if (real && NT_SUCCESS(result)) result = SetText(target, real, info->Type, data, info->DataLength);
    }
    if (info) ExFreePool(info);
    ZwClose(source);
    return result;
}

static NTSTATUS WriteChildren(ULONG index, HANDLE key) {
    ULONG chars = 1;
    for (ULONG i = 0; i < Topology.NodeCount; i++)
        if (Topology.Nodes[i].Parent == index + 1) chars += Topology.Nodes[i].InstanceId.Chars + 1;
    if (chars == 1) return STATUS_SUCCESS;
    WCHAR* list = ExAllocatePoolWithTag(PagedPool, chars * sizeof(WCHAR), TV_TAG);
    if (!list) return STATUS_INSUFFICIENT_RESOURCES;
    WCHAR* end = list;
    for (ULONG i = 0; i < Topology.NodeCount; i++)
        if (Topology.Nodes[i].Parent == index + 1)
            end = Append(end, Topology.Nodes[i].InstanceId.Text) + 1;
    *end = 0;
    NTSTATUS status = SetText(key, L"TarvelChildren", REG_MULTI_SZ, list, chars * sizeof(WCHAR));
    ExFreePool(list);
    return status;
}

static NTSTATUS WriteEnumValues(ULONG index) {
    const TV_NODE* node = &Topology.Nodes[index];
    WCHAR path[400];
    if (node->InstanceId.Chars > 300) return STATUS_NAME_TOO_LONG;
    Append(Append(path, EnumRoot), node->InstanceId.Text);
    HANDLE key;
    NTSTATUS status = OpenKey(path, NULL, &key, TRUE);
    if (!NT_SUCCESS(status)) return status;
    // A value that is not there is as good as deleted.
    for (ULONG i = 0; i < sizeof StaleValues / sizeof StaleValues[0]; i++) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, StaleValues[i]);
        ZwDeleteValueKey(key, &name);
    }
    status = CopyNodeValues(index, key);
    if (NT_SUCCESS(status) && node->Parent) {
        const TV_TEXT* parent = &Topology.Nodes[node->Parent - 1].InstanceId;
        status = SetText(key, L"TarvelParent", REG_SZ, parent->Text, (parent->Chars + 1) * sizeof(WCHAR));
    }
    if (NT_SUCCESS(status)) status = WriteChildren(index, key);
    ZwClose(key);
    return status;
}

// A node whose values are not all recorded would answer otherwise than its
// machine says: the harness's wait fails on this mark instead.
static void ReportUnrecorded(ULONG index, NTSTATUS status) {
    DbgPrint("tarvelusb: node %lu: its values could not be recorded, status 0x%08lx\n", index,
             (unsigned long)status);
    HANDLE key;
    if (!NT_SUCCESS(OpenKey(L"", &ParametersPath, &key, TRUE))) return;
    SetDword(key, L"Failed", Topology.Generation);
    ZwClose(key);
}

// The interface stays enabled, and so a member of its set, also when the
// device must not open: then only its link goes.
static void EnableInterface(PDEVICE_OBJECT pdo, const GUID* class, ULONG open) {
    UNICODE_STRING link;
    if (!NT_SUCCESS(IoRegisterDeviceInterface(pdo, class, NULL, &link))) return;
    IoSetDeviceInterfaceState(&link, TRUE);
    if (!open) IoDeleteSymbolicLink(&link);
    RtlFreeUnicodeString(&link);
}

static void StartNode(PDEVICE_OBJECT device, ULONG index) {
    const TV_NODE* node = &Topology.Nodes[index];
    NTSTATUS status = WriteEnumValues(index);
    if (!NT_SUCCESS(status)) ReportUnrecorded(index, status);
    BOOLEAN children = CreateChildren(index + 1) != 0;
    if (node->Controller)
        EnableInterface(device, &HostControllerClass, Topology.Controllers[node->Controller - 1].Open);
    const TV_HUB* hub = node->Hub ? &Topology.Hubs[node->Hub - 1] : NULL;
    if (hub && hub->Open) LinkHubName(hub, device);
    if (children) IoInvalidateDeviceRelations(device, BusRelations);
    CountStarted();
}

NTSTATUS NodePnp(PDEVICE_OBJECT device, PIRP irp) {
    TV_EXTENSION* ext = device->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;
    if (ext->Kind == TvNode) {
        const TV_NODE* node = &Topology.Nodes[ext->Index];
        switch (stack->MinorFunction) {
        case IRP_MN_START_DEVICE:
            if (!ext->Started) StartNode(device, ext->Index);
            ext->Started = TRUE;
            status = STATUS_SUCCESS;
            break;
        case IRP_MN_QUERY_ID:
            status = QueryId(node, stack->Parameters.QueryId.IdType, irp);
            break;
        case IRP_MN_QUERY_CAPABILITIES: {
            DEVICE_CAPABILITIES* caps = stack->Parameters.DeviceCapabilities.Capabilities;
            caps->UniqueID = TRUE;  // keeps the instance ID exactly as given
            caps->SurpriseRemovalOK = TRUE;
            caps->Address = ext->Index;
            caps->UINumber = ext->Index;
            status = STATUS_SUCCESS;
            break;
        }
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            if (stack->Parameters.QueryDeviceRelations.Type == BusRelations)
                status = ChildRelations(ext->Index + 1, irp);
            else if (stack->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation)
                status = SelfRelation(device, irp);
            break;
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_REMOVE_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
            status = STATUS_SUCCESS;
            break;
        default:
            break;
        }
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}
