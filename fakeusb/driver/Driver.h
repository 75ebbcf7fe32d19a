// tarvelusb.sys: one driver that plays a whole USB stack for Wine. A
// root-enumerated bus device has the host controllers as children; each
// controller has its root hub, each hub the devices on its ports, as
// Plug and Play child devices. Controllers and hubs answer the hub
// driver's I/O controls from a topology that the test harness writes
// into the service's Parameters key before the driver loads.
#pragma once
#include <ntddk.h>
#include <usbioctl.h>

#define TV_TAG 0x76726154u  // "Tarv" in pool dumps

// The Win32 errors the queries fail with, as the simulated machine answers.
#define TV_ERROR_INVALID_FUNCTION 1
#define TV_ERROR_GEN_FAILURE 31
#define TV_ERROR_INVALID_PARAMETER 87
#define TV_ERROR_INSUFFICIENT_BUFFER 122
#define TV_ERROR_DEVICE_NOT_CONNECTED 1167

// One port as the harness writes it: value "Port<n>" of a hub key,
// REG_BINARY, exactly this layout (little endian, no padding).
#include <pshpack1.h>
typedef struct {
    ULONG Listed;         // 1; a port that is not listed reads as all zero
    ULONG QueryOk;        // 0: both connection queries fail
    ULONG Status;         // ConnectionStatus
    USHORT Vid, Pid, BcdUsb;
    UCHAR Speed;
    UCHAR IsHub;
    ULONG V2Ok;           // 0: the V2 query fails
    ULONG Protocols, Flags;
    ULONG DriverKeyError; // nonzero: the driver-key query fails with this Win32 error
    ULONG NodeNameOk;     // 0: the connection-name query fails
    ULONG Hub;            // hub number + 1 of the hub on this port, 0 for none
} TV_PORT;
#include <poppack.h>

// A counted UTF-16 text from the registry, terminated as well.
typedef struct {
    WCHAR* Text;
    ULONG Chars;
} TV_TEXT;

typedef struct {
    TV_TEXT Name;        // what the name queries answer, without "\\.\"
    ULONG Open, NodeInfo, Ports;
    ULONG Caps;          // 0 not 2.x capable, 1 capable, 2 the query fails
    ULONG Node;          // node number + 1 of the hub's own node, 0 for none
    TV_PORT* PortList;   // Ports entries; a port that is not listed is all zero
    TV_TEXT* DriverKeys; // Ports entries
} TV_HUB;

typedef struct {
    ULONG Open;
    ULONG RootHub;       // hub number + 1, 0: the root hub name query fails
} TV_CONTROLLER;

typedef struct {
    TV_TEXT InstanceId;
    ULONG Parent;        // node number + 1, 0 for a child of the bus device
    ULONG Controller;    // controller number + 1 when this node is one
    ULONG Hub;           // hub number + 1 when this node is that hub's node
    PDEVICE_OBJECT Pdo;  // created when its parent starts
} TV_NODE;

typedef struct {
    ULONG Generation;
    ULONG ControllerCount, HubCount, NodeCount;
    TV_CONTROLLER* Controllers;
    TV_HUB* Hubs;
    TV_NODE* Nodes;
} TV_TOPOLOGY;

extern TV_TOPOLOGY Topology;
extern UNICODE_STRING ParametersPath;  // the service's Parameters key
extern PDRIVER_OBJECT TheDriver;

typedef enum { TvBus, TvNode, TvHubControl } TV_KIND;

typedef struct {
    TV_KIND Kind;
    ULONG Index;                // node number for TvNode, hub number for TvHubControl
    PDEVICE_OBJECT Lower;       // TvBus: the device below
    PDEVICE_OBJECT Pdo;         // TvBus: the root device's PDO
    ULONG Number;               // of its name, \Device\TarvelUsb<n>
    BOOLEAN Started;
} TV_EXTENSION;

// Topology.c
NTSTATUS LoadTopology(void);
NTSTATUS OpenKey(PCWSTR path, const UNICODE_STRING* base, HANDLE* key, BOOLEAN create);
NTSTATUS SetDword(HANDLE key, PCWSTR name, ULONG value);
NTSTATUS SetText(HANDLE key, PCWSTR name, ULONG type, const WCHAR* text, ULONG bytes);
WCHAR* Append(WCHAR* out, const WCHAR* text);
WCHAR* AppendNumber(WCHAR* out, ULONG value);
ULONG WideLength(const WCHAR* text);

// Pnp.c
NTSTATUS CreateDevice(TV_KIND kind, ULONG index, PDEVICE_OBJECT* device);
NTSTATUS BusPnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NodePnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS CreateHubControls(void);

// HubQueries.c
NTSTATUS ControllerQuery(const TV_CONTROLLER* c, PIRP irp);
NTSTATUS HubQuery(const TV_HUB* hub, PIRP irp);
