// Entry point and dispatch: every device of the driver (the bus device,
// the node PDOs, the control devices of hubs without a node) comes here
// and is told apart by its extension.
#include "Driver.h"

PDRIVER_OBJECT TheDriver;
UNICODE_STRING ParametersPath;

static NTSTATUS CompleteWith(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// The controller or hub a device answers for, if any.
static void RoleOf(PDEVICE_OBJECT device, const TV_CONTROLLER** controller, const TV_HUB** hub) {
    TV_EXTENSION* ext = device->DeviceExtension;
    *controller = NULL;
    *hub = NULL;
    if (ext->Kind == TvHubControl) {
        *hub = &Topology.Hubs[ext->Index];
    } else if (ext->Kind == TvNode) {
        const TV_NODE* node = &Topology.Nodes[ext->Index];
        if (node->Controller) *controller = &Topology.Controllers[node->Controller - 1];
        if (node->Hub) *hub = &Topology.Hubs[node->Hub - 1];
    }
}

// Wine does not wait for IRP_MJ_CREATE, so a device cannot refuse an
// open here; a controller or hub that cannot be opened has no link instead.
static NTSTATUS DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return CompleteWith(irp, STATUS_SUCCESS);
}

static NTSTATUS DispatchIoctl(PDEVICE_OBJECT device, PIRP irp) {
    const TV_CONTROLLER* controller;
    const TV_HUB* hub;
    RoleOf(device, &controller, &hub);
    if (controller) return ControllerQuery(controller, irp);
    if (hub) return HubQuery(hub, irp);
    return CompleteWith(irp, STATUS_INVALID_DEVICE_REQUEST);
}

static NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    TV_EXTENSION* ext = device->DeviceExtension;
    if (ext->Kind == TvBus) return BusPnp(device, irp);
    return NodePnp(device, irp);
}

static NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    TV_EXTENSION* ext = device->DeviceExtension;
    PoStartNextPowerIrp(irp);
    if (ext->Kind == TvBus) {
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(ext->Lower, irp);
    }
    NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// Our own children come here too, since the INF gives them this service;
// their PDOs answer for themselves, so nothing is attached to them.
static NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    if (pdo->DriverObject == driver) return STATUS_SUCCESS;
    PDEVICE_OBJECT fdo;
    NTSTATUS status = IoCreateDevice(driver, sizeof(TV_EXTENSION), NULL, FILE_DEVICE_BUS_EXTENDER,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, &fdo);
    if (!NT_SUCCESS(status)) return status;
    TV_EXTENSION* ext = fdo->DeviceExtension;
    RtlZeroMemory(ext, sizeof *ext);
    ext->Kind = TvBus;
    ext->Pdo = pdo;
    ext->Lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void Unload(PDRIVER_OBJECT driver) { (void)driver; }

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    static const WCHAR suffix[] = L"\\Parameters";
    TheDriver = driver;
    USHORT bytes = (USHORT)(registryPath->Length + sizeof suffix);
    ParametersPath.Buffer = ExAllocatePoolWithTag(PagedPool, bytes, TV_TAG);
    if (!ParametersPath.Buffer) return STATUS_INSUFFICIENT_RESOURCES;
    RtlCopyMemory(ParametersPath.Buffer, registryPath->Buffer, registryPath->Length);
    RtlCopyMemory((UCHAR*)ParametersPath.Buffer + registryPath->Length, suffix, sizeof suffix);
    ParametersPath.Length = (USHORT)(bytes - sizeof(WCHAR));
    ParametersPath.MaximumLength = bytes;

    NTSTATUS status = LoadTopology();
    if (!NT_SUCCESS(status)) return status;

    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchIoctl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
