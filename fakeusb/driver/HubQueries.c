// The hub driver's I/O controls, answered from the topology with the
// driver kit's layouts. Everything is METHOD_BUFFERED: the system buffer
// holds the input on entry and the answer on return, and only Information
// bytes go back to the caller, none on failure, so a failed query leaves
// the caller's area as it was.
#include "Driver.h"

// Win32 error N travels as NTSTATUS 0xC007NNNN (FACILITY_NTWIN32), which
// Windows and Wine both turn back into N for GetLastError.
static NTSTATUS Fail(ULONG win32) { return (NTSTATUS)(0xC0070000 | win32); }

typedef struct {
    UCHAR* Buffer;
    ULONG InSize, OutSize;
    ULONG_PTR Answered;  // bytes of answer in Buffer
} QUERY;

static ULONG InputIndex(const QUERY* q) {
    ULONG index = 0;
    if (q->InSize >= sizeof index) RtlCopyMemory(&index, q->Buffer, sizeof index);
    return index;
}

// A name answer: the fixed part (ConnectionIndex for the port queries,
// then ActualLength), then the name and its terminator. The structure's
// declared size holds the fixed part and one character; an area that holds
// that much but not the whole name gets that much alone, with the size
// needed and an empty name, as the hub driver answers.
static NTSTATUS NameAnswer(QUERY* q, ULONG fixed, const TV_TEXT* name) {
    const ULONG declared = fixed + 2;
    if (q->OutSize < declared) return Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    ULONG chars = name->Text ? name->Chars : 0;
    ULONG actual = fixed + 2 * (chars + 1);
    BOOLEAN whole = q->OutSize >= actual;
    ULONG index = InputIndex(q);
    ULONG answered = whole ? actual : declared;
    RtlZeroMemory(q->Buffer, answered);
    if (fixed == 8) RtlCopyMemory(q->Buffer, &index, 4);
    RtlCopyMemory(q->Buffer + fixed - 4, &actual, 4);
    // The terminator is the zero left past the text.
    if (whole && chars) RtlCopyMemory(q->Buffer + fixed, name->Text, 2 * chars);
    q->Answered = answered;
    return STATUS_SUCCESS;
}

// The listed port that a per-port query names, or null; fails (87) for
// port 0 or a port above the hub's count.
static NTSTATUS FindPort(const TV_HUB* hub, const QUERY* q, const TV_PORT** port,
                         ULONG* number) {
    ULONG index = InputIndex(q);
    if (index == 0 || index > hub->Ports) return Fail(TV_ERROR_INVALID_PARAMETER);
    *number = index;
    *port = hub->PortList[index - 1].Listed ? &hub->PortList[index - 1] : NULL;
    return STATUS_SUCCESS;
}

static NTSTATUS NodeInformation(const TV_HUB* hub, QUERY* q) {
    if (q->OutSize < sizeof(USB_NODE_INFORMATION)) return Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    if (!hub->NodeInfo) return Fail(TV_ERROR_GEN_FAILURE);
    USB_NODE_INFORMATION* info = (USB_NODE_INFORMATION*)q->Buffer;
    RtlZeroMemory(info, sizeof *info);
    info->NodeType = UsbHub;
    USB_HUB_DESCRIPTOR* d = &info->u.HubInformation.HubDescriptor;
    d->bDescriptorLength = (UCHAR)(7 + 2 * (hub->Ports / 8 + 1));
    d->bDescriptorType = 0x29;
    d->bNumberOfPorts = (UCHAR)hub->Ports;
    d->wHubCharacteristics = 0x0009;
    d->bPowerOnToPowerGood = 50;
    q->Answered = sizeof *info;
    return STATUS_SUCCESS;
}

// The basic and the _EX answer share one layout; the basic one carries a
// low-speed flag where the _EX one has the speed.
static NTSTATUS ConnectionInformation(const TV_HUB* hub, QUERY* q, BOOLEAN basic) {
    if (q->OutSize < sizeof(USB_NODE_CONNECTION_INFORMATION_EX) || q->InSize < sizeof(ULONG))
        return Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    const TV_PORT* port;
    ULONG number;
    NTSTATUS status = FindPort(hub, q, &port, &number);
    if (!NT_SUCCESS(status)) return status;
    if (port && !port->QueryOk) return Fail(TV_ERROR_GEN_FAILURE);
    USB_NODE_CONNECTION_INFORMATION_EX* info = (USB_NODE_CONNECTION_INFORMATION_EX*)q->Buffer;
    RtlZeroMemory(info, sizeof *info);
    info->ConnectionIndex = number;
    info->ConnectionStatus = NoDeviceConnected;
    if (port) {
        USB_DEVICE_DESCRIPTOR* d = &info->DeviceDescriptor;
        d->bLength = 18;
        d->bDescriptorType = 1;
        d->bcdUSB = port->BcdUsb;
        d->bDeviceClass = port->IsHub ? 9 : 0;
        d->bMaxPacketSize0 = port->Speed >= 3 ? 9 : port->Speed == 0 ? 8 : 64;
        d->idVendor = port->Vid;
        d->idProduct = port->Pid;
        d->bcdDevice = 0x0100;
        d->iManufacturer = 1;
        d->iProduct = 2;
        d->bNumConfigurations = 1;
        info->CurrentConfigurationValue = port->Status == DeviceConnected ? 1 : 0;
        info->Speed = basic ? (port->Speed == 0 ? 1 : 0) : port->Speed;
        info->DeviceIsHub = port->IsHub ? 1 : 0;
        info->DeviceAddress = (USHORT)number;
        info->ConnectionStatus = (USB_CONNECTION_STATUS)port->Status;
    }
    q->Answered = sizeof *info;
    return STATUS_SUCCESS;
}

static NTSTATUS ConnectionInformationV2(const TV_HUB* hub, QUERY* q) {
    const ULONG size = sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2);
    if (q->OutSize < size || q->InSize < size) return Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    USB_NODE_CONNECTION_INFORMATION_EX_V2* info = (USB_NODE_CONNECTION_INFORMATION_EX_V2*)q->Buffer;
    // Windows 8 and later answer only a caller that asks for USB 3.0.
    if (info->Length != size || !info->SupportedUsbProtocols.Usb300)
        return Fail(TV_ERROR_INVALID_PARAMETER);
    const TV_PORT* port;
    ULONG number;
    NTSTATUS status = FindPort(hub, q, &port, &number);
    if (!NT_SUCCESS(status)) return status;
    if (port && !port->V2Ok) return Fail(TV_ERROR_GEN_FAILURE);
    info->SupportedUsbProtocols.ul = port ? port->Protocols : 3;
    info->Flags.ul = port ? port->Flags : 0;
    q->Answered = size;
    return STATUS_SUCCESS;
}

static NTSTATUS DriverKeyName(const TV_HUB* hub, QUERY* q) {
    if (q->OutSize < 10 || q->InSize < 4) return Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    const TV_PORT* port;
    ULONG number;
    NTSTATUS status = FindPort(hub, q, &port, &number);
    if (!NT_SUCCESS(status)) return status;
    if (!port) return Fail(TV_ERROR_DEVICE_NOT_CONNECTED);
    if (port->DriverKeyError) return Fail(port->DriverKeyError);
    return NameAnswer(q, 8, &hub->DriverKeys[number - 1]);
}

static NTSTATUS ConnectionName(const TV_HUB* hub, QUERY* q) {
    if (q->OutSize < 10 || q->InSize < 4) return Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    const TV_PORT* port;
    ULONG number;
    NTSTATUS status = FindPort(hub, q, &port, &number);
    if (!NT_SUCCESS(status)) return status;
    if (port && !port->NodeNameOk) return Fail(TV_ERROR_GEN_FAILURE);
    // A port without a hub answers an empty name, as Windows does.
    static const TV_TEXT empty = {NULL, 0};
    if (port && port->Hub && port->Hub <= Topology.HubCount)
        return NameAnswer(q, 8, &Topology.Hubs[port->Hub - 1].Name);
    return NameAnswer(q, 8, &empty);
}

// USB_HUB_CAPABILITIES is one ULONG of bit fields.
static NTSTATUS HubCapabilities(const TV_HUB* hub, QUERY* q) {
    if (q->OutSize < sizeof(ULONG)) return Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    if (hub->Caps == 2) return Fail(TV_ERROR_GEN_FAILURE);
    ULONG bits = hub->Caps ? 1 : 0;
    RtlCopyMemory(q->Buffer, &bits, sizeof bits);
    q->Answered = sizeof bits;
    return STATUS_SUCCESS;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, const QUERY* q) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? q->Answered : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static QUERY QueryOf(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    QUERY q;
    q.Buffer = irp->AssociatedIrp.SystemBuffer;
    q.InSize = q.Buffer ? stack->Parameters.DeviceIoControl.InputBufferLength : 0;
    q.OutSize = q.Buffer ? stack->Parameters.DeviceIoControl.OutputBufferLength : 0;
    q.Answered = 0;
    return q;
}

NTSTATUS ControllerQuery(const TV_CONTROLLER* c, PIRP irp) {
    QUERY q = QueryOf(irp);
    ULONG code = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode;
    NTSTATUS status;
    if (code != IOCTL_USB_GET_ROOT_HUB_NAME) status = Fail(TV_ERROR_INVALID_FUNCTION);
    else if (q.OutSize < 6) status = Fail(TV_ERROR_INSUFFICIENT_BUFFER);
    else if (!c->RootHub) status = Fail(TV_ERROR_GEN_FAILURE);
    else status = NameAnswer(&q, 4, &Topology.Hubs[c->RootHub - 1].Name);
    return Complete(irp, status, &q);
}

NTSTATUS HubQuery(const TV_HUB* hub, PIRP irp) {
    QUERY q = QueryOf(irp);
    NTSTATUS status;
    switch (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_USB_GET_NODE_INFORMATION: status = NodeInformation(hub, &q); break;
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION:
        status = ConnectionInformation(hub, &q, TRUE);
        break;
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
        status = ConnectionInformation(hub, &q, FALSE);
        break;
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2:
        status = ConnectionInformationV2(hub, &q);
        break;
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME: status = DriverKeyName(hub, &q); break;
    case IOCTL_USB_GET_NODE_CONNECTION_NAME: status = ConnectionName(hub, &q); break;
    case IOCTL_USB_GET_HUB_CAPABILITIES: status = HubCapabilities(hub, &q); break;
    default: status = Fail(TV_ERROR_INVALID_FUNCTION); break;
    }
    return Complete(irp, status, &q);
}
