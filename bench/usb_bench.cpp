// Time and platform calls of one inventory run on the largest machine the
// lists allow: 1024 connected ports and 1024 device nodes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "app/DeviceBlock.h"
#include "platform/sim/Sim.h"
#include "runtime/CConsole.h"
#include "sysinfo/ErrorNames.h"
#include "sysinfo/Version.h"
#include "usb/CUsbDevInfo.h"

namespace {

// Four hubs of 255 devices below one root hub: 4 + 1020 ports, and as
// many child nodes.
std::string FullMachine() {
    std::string ports;
    for (int p = 1; p <= 255; p++) ports += (p > 1 ? ", \"" : "\"") + std::to_string(p) + "\": {}";
    std::string root;
    for (int h = 1; h <= 4; h++)
        root += (h > 1 ? ", \"" : "\"") + std::to_string(h) + R"(": {"hub": {"ports": 255,
                "connections": {)" + ports + "}}}";
    return R"({"clock": "virtual", "console": {"stdout": "pipe"},
               "usb": {"controllers": [{"root_hub": {"ports": 4, "connections": {)" +
           root + "}}}]}}";
}

void Setup() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    std::string error;
    if (!tarvel::sim::LoadMachineJson(FullMachine(), error)) fprintf(stderr, "%s\n", error.c_str());
    tarvel::SetHeapHandle(tarvel::GetProcessHeap());
    tarvel::InitializeCriticalSection(&tarvel::ResultTextLock);
    tarvel::OsVersion.EffectiveVersion = 0x1000;
    static tarvel::CConsole console;
    tarvel::Console = &console;
}

void BM_InventoryRun(benchmark::State& state) {
    Setup();
    // Five IDs, each matched against a different text of every port.
    char id1[] = "USB\\VID_1234&PID_5678*", id2[] = "PORT_#0*", id3[] = "{36FC9E60-*}\\*",
         id4[] = "*.HUB_#000?", id5[] = "**";
    char* ids[] = {id1, id2, id3, id4, id5, NULL};
    tarvel::UsbPortRecord* found[tarvel::kMaxPorts];
    int calls = 0, matches = 0;
    for (auto _ : state) {
        tarvel::sim::CaptureTrace(true);
        tarvel::sim::CaptureStdout(true);
        tarvel::CUsbDevInfo* info = new tarvel::CUsbDevInfo;
        info->Enumerate();
        matches = info->FindDevices(ids, found, info->PortCount);
        for (int i = 0; i < info->PortCount; i++) tarvel::PrintDevice(*info->Ports[i]);
        delete info;
        const std::string& trace = tarvel::sim::CapturedTrace();
        calls = (int)std::count(trace.begin(), trace.end(), '\n');
    }
    tarvel::sim::CaptureTrace(false);
    tarvel::sim::CaptureStdout(false);
    state.counters["matches"] = matches;
    state.counters["traced_calls"] = calls;
}
BENCHMARK(BM_InventoryRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
