// The device nodes that are direct children of present USB hubs.
#pragma once
#include "platform/Platform.h"
#include "runtime/CRTreplace.h"

namespace tarvel {

const int kMaxDevNodes = 1024;

struct DevNodeRecord {
    TARVEL_HEAP_OBJECT
    DEVINST DevInst;
    DEVINST ParentDevInst;
    DEVINST ChildDevInst;
    DevNodeRecord* Parent;
    char DeviceId[200];
    char HubInterfacePath[260];
    char FriendlyName[128];
    char DeviceDesc[128];
    const char* DisplayName;
    char LocationInfo[128];
    char DriverKey[44];
    ULONG Status;
    ULONG Problem;
    char PortChain[24];
};

class CUsbDevTree {
public:
    TARVEL_HEAP_OBJECT
    CUsbDevTree();
    ~CUsbDevTree();

    void Clear();
    void Build();
    DevNodeRecord* FindByDriverKey(const char* key) const;
    DevNodeRecord* FindByHubPort(const char* hubPath, int portNumber) const;

    DevNodeRecord* Nodes[kMaxDevNodes];
    int Count;

private:
    // The level-1 listing of the records, and each record's parent record.
    void ListAndLinkParents();
};

}  // namespace tarvel
