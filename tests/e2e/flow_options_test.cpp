// Options, IDs and the early ends of a run, seen from outside.
#include <gtest/gtest.h>

#include "flow_expect.h"

using namespace flow;

TEST(FlowOptions, NoArgumentsShowsTheBannerAndTheOutcome) {
    SimRun run = RunSim(Machine(), "tarvel");
    EXPECT_EQ(run.out, Banner() + kNoDevices);
    EXPECT_EQ(run.exitCode, 0);
    // The search path is hardened by the entry and again by the flow; the
    // version reads load version.dll from the system directory only and
    // release it each time.
    const std::string start =
        "SetDllDirectoryA \"\"\nSetDefaultDllDirectories 0x800\n"
        "SetDllDirectoryA \"\"\nSetDefaultDllDirectories 0x800\n"
        "Sleep 1\n"
        "LoadLibraryA C:\\Windows\\system32\\version.dll -> ok\n"
        "FreeLibrary C:\\Windows\\system32\\version.dll\n"
        "LoadLibraryA C:\\Windows\\system32\\version.dll -> ok\n"
        "FreeLibrary C:\\Windows\\system32\\version.dll\n";
    EXPECT_EQ(run.trace.substr(0, start.size()), start);
    EXPECT_EQ(Sleeps(run.trace), "1 ");
}

TEST(FlowOptions, OutcomeAndExitCodeOfEachCommandLine) {
    const std::string tooMany = "\r\ntoo many IDs -> abort\r\n";
    struct Case {
        std::string line, out;
        int code;
    } cases[] = {
        {"tarvel -na", kNoDevices, 0},
        {"tarvel /NA", kNoDevices, 0},
        {"tarvel -nax", kNoDevices, 0},
        {"tarvel -NAME", kNoDevices, 0},
        {"tarvel x - / \"\"", Banner() + kNoDevices, 0},  // one character: ignored
        {"tarvel 1-2 \"USB\\VID_0781&PID_5581\\X\" -na", kNoDevices, 0},  // IDs, no USB
        {"tarvel a1 a2 a3 a4 a5 a6 -x", tooMany, 2},  // before the bad option
        {"tarvel a1 -na a2 a3 a4 a5", kNoDevices, 0},  // options are no IDs
        {"tarvel " + std::string(1273, 'x'), "\r\ncommand line too long -> abort\r\n", 2},  // 1280
        {"tarvel -na " + std::string(1268, 'x'), kNoDevices, 0},                               // 1279
    };
    for (const Case& c : cases) {
        SimRun run = RunSim(Machine(), c.line);
        EXPECT_EQ(run.out, c.out) << c.line.substr(0, 40);
        EXPECT_EQ(run.exitCode, c.code) << c.line.substr(0, 40);
    }
}

TEST(FlowOptions, BadOrHelpOptionsShowTheUsage) {
    for (const char* line : {"tarvel -l", "tarvel -x", "tarvel -d", "tarvel -w", "tarvel -n",
                             "tarvel -na -l", "tarvel /?", "tarvel -h", "tarvel -wx:5",
                             "tarvel -d5", "tarvel 1-2 -x"}) {
        SimRun run = RunSim(Machine(), line);
        EXPECT_EQ(run.out, Banner() + Usage()) << line;
        EXPECT_EQ(run.exitCode, 2) << line;
    }
}
