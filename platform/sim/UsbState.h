// The live state of the simulated USB stack: the loaded section, open
// device information sets and device handles, and node lookups.
#pragma once
#include <string>

#include "platform/Platform.h"
#include "platform/sim/SimUsb.h"

namespace tarvel::sim {

enum class UsbSetKind { HostController, Hub, Other };
enum class UsbDeviceKind { Controller, Hub };

struct UsbOpenDevice {
    UsbDeviceKind kind;
    int index;         // into controllers or hubs
    std::string path;  // as the caller passed it, for the trace
};

const UsbSection& Usb();

HDEVINFO OpenSet(UsbSetKind kind);
// False for a handle that is no open set.
bool FindSet(HDEVINFO set, UsbSetKind& kind);
bool CloseSet(HDEVINFO set);

HANDLE OpenDevice(const UsbOpenDevice& device);
const UsbOpenDevice* FindDevice(HANDLE handle);
bool CloseDevice(HANDLE handle, std::string& path);
// Records the sizes a query was asked with (IoctlAreas).
void NoteIoctlArea(const char* name, DWORD inSize, DWORD outSize);

// The node with this DEVINST, or null. Anonymous children are made up into
// scratch.
const UsbNode* FindNode(DEVINST node, UsbNode& scratch);
// DEVINST of the first child / next sibling, 0 for none.
DEVINST NodeChild(DEVINST node);
DEVINST NodeSibling(DEVINST node);

// Texts as the services hand them out: UTF-16, and ANSI (CP_ACP).
std::u16string Utf16(const std::string& utf8);
std::string Ansi(const std::string& utf8);
bool SameTextI(const std::string& a, const std::string& b);

}  // namespace tarvel::sim
