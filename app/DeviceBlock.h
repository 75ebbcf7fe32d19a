// The report of one attached device.
#pragma once
#include "usb/CUsbDevInfo.h"

namespace tarvel {

const char* GetSpeedName(DWORD speed);
void PrintDevice(const UsbPortRecord& port);

}  // namespace tarvel
