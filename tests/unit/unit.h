// Shared by the unit tests: a fresh simulated machine with its output and
// trace captured, the port walk run in-process, the check that a run gave
// back what it took, and the data files of tests/unit/data.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/sim/Sim.h"
#include "runtime/CConsole.h"
#include "runtime/CRTreplace.h"
#include "sysinfo/ErrorNames.h"
#include "sysinfo/Version.h"
#include "usb/CUsbDevInfo.h"

namespace unit {

// A file of tests/unit/data.
inline nlohmann::json Data(const std::string& name) {
    return nlohmann::json::parse(std::ifstream(std::string(TARVEL_UNIT_DATA) + "/" + name));
}

// Loads a machine; standard output and the trace are captured from here on.
inline void Load(const std::string& json) {
    std::string error;
    ASSERT_TRUE(tarvel::sim::LoadMachineJson(json, error)) << error;
    tarvel::sim::CaptureStdout(true);
    tarvel::sim::CaptureTrace(true);
    tarvel::SetHeapHandle(tarvel::GetProcessHeap());
    tarvel::DiagLevel = 0;
}

inline std::string Out() { return tarvel::sim::CapturedStdout(); }
inline std::string Trace() { return tarvel::sim::CapturedTrace(); }

inline int Count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) n++;
    return n;
}

struct SimTest : ::testing::Test {
    void SetUp() override { Load(R"({"clock": "virtual"})"); }
    void TearDown() override {
        tarvel::sim::CaptureStdout(false);
        tarvel::sim::CaptureTrace(false);
    }
};

// What a run holds; it must give all of it back before it ends.
struct Held {
    size_t blocks = tarvel::sim::LiveHeapBlocks();
    int bytes = tarvel::AllocSum;
    int sections = tarvel::sim::LiveCriticalSections();
    size_t handles = tarvel::sim::LiveUsbHandles();
    int libraries = tarvel::sim::LiveLibraryReferences();
};

inline void ExpectReleased(const Held& before, const std::string& run) {
    Held now;
    EXPECT_EQ(now.blocks, before.blocks) << run << ": heap blocks left";
    EXPECT_EQ(now.bytes, before.bytes) << run << ": heap bytes left";
    EXPECT_EQ(now.sections, before.sections) << run << ": critical sections left";
    EXPECT_EQ(now.handles, before.handles) << run << ": device handles or sets left";
    EXPECT_EQ(now.libraries, before.libraries) << run << ": library references left";
}

// Enumerate on a machine as Windows `version`, keeping its trace; the
// inventory is released, and checked to give everything back, at the end.
class Walk {
public:
    Walk(const std::string& machine, tarvel::DWORD version = 0x1000, tarvel::DWORD servicePack = 0) {
        Load(machine);
        before_.reset(new Held);
        tarvel::InitializeCriticalSection(&tarvel::ResultTextLock);
        tarvel::OsVersion.EffectiveVersion = version;
        tarvel::OsVersion.ServicePackMajor = servicePack;
        console_.reset(new tarvel::CConsole);
        tarvel::Console = console_.get();
        info = new tarvel::CUsbDevInfo;
        info->Enumerate();
        // Only the walk formats result texts; two walks may be alive at once.
        tarvel::DeleteCriticalSection(&tarvel::ResultTextLock);
        EXPECT_EQ(tarvel::sim::LiveUsbHandles(), 0u) << "handles or sets left open by the walk";
        trace = Trace();
        tarvel::sim::CaptureTrace(false);
        tarvel::sim::CaptureStdout(false);
    }
    ~Walk() {
        delete info;
        tarvel::Console = nullptr;
        ExpectReleased(*before_, "the walk");
    }
    tarvel::UsbPortRecord& Port(int i) { return *info->Ports[i]; }

    tarvel::CUsbDevInfo* info = nullptr;
    std::string trace;

private:
    std::unique_ptr<Held> before_;
    std::unique_ptr<tarvel::CConsole> console_;
};

}  // namespace unit
