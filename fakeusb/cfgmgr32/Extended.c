// The _Ex forms, for a caller that names the local machine: the same answers.
#include "Nodes.h"

CONFIGRET WINAPI CM_Get_Device_ID_ExA(DEVINST node, PSTR buffer, ULONG length, ULONG flags,
                                      HMACHINE machine) {
    (void)machine;
    return CM_Get_Device_IDA(node, buffer, length, flags);
}

CONFIGRET WINAPI CM_Get_Device_ID_ExW(DEVINST node, PWSTR buffer, ULONG length, ULONG flags,
                                      HMACHINE machine) {
    (void)machine;
    return CM_Get_Device_IDW(node, buffer, length, flags);
}

CONFIGRET WINAPI CM_Get_Device_ID_Size_Ex(PULONG length, DEVINST node, ULONG flags,
                                          HMACHINE machine) {
    (void)machine;
    return CM_Get_Device_ID_Size(length, node, flags);
}

CONFIGRET WINAPI CM_Get_Child_Ex(PDEVINST child, DEVINST node, ULONG flags, HMACHINE machine) {
    (void)machine;
    return CM_Get_Child(child, node, flags);
}

CONFIGRET WINAPI CM_Get_Sibling_Ex(PDEVINST sibling, DEVINST node, ULONG flags,
                                   HMACHINE machine) {
    (void)machine;
    return CM_Get_Sibling(sibling, node, flags);
}

CONFIGRET WINAPI CM_Get_Parent_Ex(PDEVINST parent, DEVINST node, ULONG flags, HMACHINE machine) {
    (void)machine;
    return CM_Get_Parent(parent, node, flags);
}

CONFIGRET WINAPI CM_Get_DevNode_Status_Ex(PULONG status, PULONG problem, DEVINST node,
                                          ULONG flags, HMACHINE machine) {
    (void)machine;
    return CM_Get_DevNode_Status(status, problem, node, flags);
}

CONFIGRET WINAPI CM_Get_DevNode_Registry_Property_ExW(DEVINST node, ULONG property, PULONG type,
                                                      PVOID buffer, PULONG length, ULONG flags,
                                                      HMACHINE machine) {
    (void)machine;
    return CM_Get_DevNode_Registry_PropertyW(node, property, type, buffer, length, flags);
}
