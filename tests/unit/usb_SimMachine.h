// Runs the port inventory in-process on a simulated machine.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sim/Sim.h"
#include "runtime/CConsole.h"
#include "sysinfo/ErrorNames.h"
#include "sysinfo/Version.h"
#include "usb/CUsbDevInfo.h"

namespace usbtest {

// Loads machine (JSON) as Windows version `version`, runs Enumerate and
// keeps its trace and standard output.
class Walk {
public:
    explicit Walk(const std::string& machine, tarvel::DWORD version = 0x1000,
                  tarvel::DWORD servicePack = 0, int diagLevel = 0) {
        std::string error;
        EXPECT_TRUE(tarvel::sim::LoadMachineJson(machine, error)) << error;
        tarvel::SetHeapHandle(tarvel::GetProcessHeap());
        tarvel::InitializeCriticalSection(&tarvel::ResultTextLock);
        tarvel::OsVersion.EffectiveVersion = version;
        tarvel::OsVersion.ServicePackMajor = servicePack;
        console.reset(new tarvel::CConsole);
        tarvel::Console = console.get();
        tarvel::sim::CaptureTrace(true);
        tarvel::sim::CaptureStdout(true);
        tarvel::DiagLevel = diagLevel;
        allocBefore = tarvel::AllocSum;
        info = new tarvel::CUsbDevInfo;
        found = info->Enumerate();
        // Only the walk formats result texts; two walks may be alive at once.
        tarvel::DeleteCriticalSection(&tarvel::ResultTextLock);
        allocated = tarvel::AllocSum - allocBefore - (int)sizeof(tarvel::CUsbDevInfo);
        tarvel::DiagLevel = 0;
        trace = tarvel::sim::CapturedTrace();
        out = tarvel::sim::CapturedStdout();
        tarvel::sim::CaptureTrace(false);
        tarvel::sim::CaptureStdout(false);
    }
    ~Walk() {
        delete info;
        tarvel::Console = nullptr;
    }

    tarvel::UsbPortRecord& Port(int i) { return *info->Ports[i]; }
    int Count(const std::string& needle) const {
        int n = 0;
        for (size_t at = trace.find(needle); at != std::string::npos;
             at = trace.find(needle, at + 1))
            n++;
        return n;
    }

    bool found = false;
    tarvel::CUsbDevInfo* info = nullptr;
    std::unique_ptr<tarvel::CConsole> console;
    std::string trace, out;
    int allocBefore = 0, allocated = 0;
};

}  // namespace usbtest
