#include "app/DeviceBlock.h"

namespace tarvel {

const char* GetSpeedName(DWORD speed) {
    static const char* const kNames[] = {"Low-Speed", "Full-Speed", "High-Speed", "SuperSpeed",
                                         "SuperSpeedPlus or higher"};
    if (speed < sizeof(kNames) / sizeof(kNames[0])) return kNames[speed];
    return "?";
}

void PrintDevice(const UsbPortRecord& port) {
    const DevNodeRecord* node = port.DevNode;
    if (node != NULL) {
        printf("Name         : %s\n", node->DisplayName);
        printf("DeviceID     : %s\n", node->DeviceId);
        printf("Location     : %s\n", node->LocationInfo);
        printf("DriverKey    : %s\n", node->DriverKey);
    } else {
        printf("Name         : %s\n", port.Name);
        printf("DriverKey    : %s\n", port.DriverKeyName);
    }
    // A port known to support SuperSpeed may support faster speeds as well.
    if (port.PortMaxSpeed != 0)
        printf("PortMaxSpeed : %s%s\n", GetSpeedName(port.PortMaxSpeed),
               port.PortMaxSpeed == 3 ? " or higher" : "");
    printf("DevMaxSpeed  : %s\n", GetSpeedName(port.DevMaxSpeed));
    printf("ConnSpeed    : %s\n", GetSpeedName(port.ConnSpeed));
    printf("USB Port     : %s\n", port.PortName);
    printf("\n");
}

}  // namespace tarvel
