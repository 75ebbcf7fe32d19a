// What a capture has read: the system and console answers, the host
// controllers, the hubs in walk order with their ports, the device nodes
// and the members of the hub set. Everything lives in one arena that is
// given back at the end of the run.
#pragma once
#include "platform/Platform.h"

namespace tarvel::capture {

void* Take(size_t size);  // zero-filled, never null
void ReleaseArena();

// A growing array in the arena; elements are plain records. Growing moves
// them: a reference from Add or [] lives until the next Add, so code that
// may add to a list between keeps an index instead.
template <class T>
struct List {
    T* Items;
    int Count;
    int Capacity;
    T& Add() {
        if (Count == Capacity) {
            int capacity = Capacity ? Capacity * 2 : 8;
            T* items = static_cast<T*>(Take(sizeof(T) * capacity));
            for (int i = 0; i < Count; i++) items[i] = Items[i];
            Items = items;
            Capacity = capacity;
        }
        return Items[Count++];  // zero-filled by Take
    }
    T& operator[](int i) const { return Items[i]; }
};

// A text as the system answered it, in UTF-8 with its length (it may hold
// zero bytes), or the code with which the query failed.
struct Text {
    const char* Utf8;
    int Length;
    bool Ok;
    DWORD Code;
};

enum NodeProperty { kFriendlyName, kDescription, kLocation, kDriver, kPropertyCount };

struct Node {
    DEVINST Inst;
    Text Id;  // Code: CONFIGRET
    bool StatusOk;
    DWORD StatusCode, Status, Problem;
    Text Props[kPropertyCount];
    bool Unterminated[kPropertyCount];  // stored without a terminator
    List<DEVINST> Children;
    bool ChildrenRead;
    int Hub;  // the hub whose own node this is, or -1
};

struct Port {
    int Number;
    bool QueryOk;
    DWORD Status, Vid, Pid, Bcd, Speed;
    bool IsHub;
    bool V2Ok;
    DWORD Protocols, Flags;
    Text DriverKey;  // Code: Win32 error
    bool NodeNameOk;
    Text HubName;    // what the connection-name query answered
    char* HubPath;   // "\\.\" and that name, as the walk opens it
    int Hub;         // the hub on this port, or -1
    int Node;        // its device node, or -1
};

struct Hub {
    Text Name;  // without the "\\.\" prefix
    char* OpenPath;  // "\\.\" and the name in the ANSI code page, as the walk opens it
    bool Open, NodeInfo;
    int Ports;
    int Caps;  // 1 bit 0 set, 0 clear, -1 the query fails
    List<Port> Conns;  // ascending port number
    bool Detail;
    Text InterfacePath;  // Utf8 null: "\\?\" and the name
    int Node;            // -1: none
    List<int> Extras;    // further child nodes of its node, in order
    int Parent;          // the hub it hangs on, -1 for a root hub
    int OnPort;          // the number of that port; 0 while none is chosen
    // How the walk came to it; not written to the file.
    struct {
        bool Queried;  // its path asked here, not turned back as one this walk has had
        int Number;    // which walk reached it: 0 the walk from the controllers
        bool Reread;   // a later walk's second reading of a path: answers only, no node
    } Walk;
};

struct Controller {
    bool Detail;
    Text Path;
    bool Open;
    int RootHub;  // -1: none
    DEVINST Inst;
};

struct Member {
    DEVINST Inst;   // from the member's own data
    DEVINST Owner;  // the node that owns its interface
    bool Detail;
    Text Path;
    char* RawPath;  // the path as answered, in the ANSI code page
    int Hub;  // -1 until found
};

struct SystemInfo {
    Text ExePath, SystemDirectory;
    DWORD Major, Minor, Build, ServicePackMajor, ProductType, SuiteMask;
    const char* RtlGetVersion;  // ok | missing | fails
    bool NtdllVersionOk, ExeVersionOk;
    WORD NtdllVersion[4], ExeVersion[4];
    const char* VersionDll;  // ok | missing | no_functions
    const char* Wow64;       // true | false | missing
    bool DllDirectoryFunctions;
};

struct ConsoleInfo {
    const char* Stdout;
    const char* Stderr;
    UINT AnsiCp, OutputCp;
    bool CpInfo;
    const char* Window;  // none | hidden | other | own | pseudo
    DWORD Processes;     // attached to the console, the capture included
    const char* Stdin;   // console | redirected
    bool ScreenOk;
    WORD ScreenAttributes;
};

struct Machine {
    SystemInfo System;
    ConsoleInfo Console;
    bool ControllerSetOk, HubSetOk;
    List<Controller> Controllers;
    List<Hub> Hubs;
    List<Node> Nodes;
    List<Member> Members;
    List<const char*> Notes;
    int Walks;  // walks so far; each hub-set member the first one missed gets one of its own
};

// Reading (each file of its own).
void ReadSystem(Machine& m);
void ReadConsole(Machine& m);
void ReadHubSet(Machine& m);
void ReadControllers(Machine& m);
int ReadNode(Machine& m, DEVINST inst);      // index into Nodes, cached
void ReadChildren(Machine& m, int node);     // fills Children once
int FindNode(const Machine& m, DEVINST inst);  // -1 when not read
// The root hub's name as the controller answers it, and the path that opens it.
Text ReadRootHubName(HANDLE controller, char** openPath);
// Walks the hub of this name (once per path) and the hubs below it; returns
// its index in Hubs.
int WalkHub(Machine& m, const Text& name, char* openPath, int parent);

// Fits the node tree to the walk: each hub's node, each port's node, the
// further nodes of each hub, and hubs for hub-set members the walk missed;
// reads the children of every node the file gives a child count.
void Assemble(Machine& m);

// Hub names are unique in a machine file: a name answered twice is told
// apart, with a note. Done last, on the names as the file gives them.
void MakeNamesUnique(Machine& m);

// Replaces serial numbers with placeholders.
void MaskSerials(Machine& m);

// Appends a note in the arena, formatted with wsprintfA.
void Note(Machine& m, const char* format, ...);

}  // namespace tarvel::capture
