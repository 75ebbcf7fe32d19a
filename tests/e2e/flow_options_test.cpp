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

TEST(FlowOptions, NoAboutKeepsOnlyTheOutcome) {
    for (const char* line : {"tarvel -na", "tarvel /NA", "tarvel -nax", "tarvel -NAME"}) {
        SimRun run = RunSim(Machine(), line);
        EXPECT_EQ(run.out, kNoDevices) << line;
        EXPECT_EQ(run.exitCode, 0) << line;
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

TEST(FlowOptions, SingleCharacterArgumentsAreIgnored) {
    SimRun run = RunSim(Machine(), "tarvel x - / \"\"");
    EXPECT_EQ(run.out, Banner() + kNoDevices);
    EXPECT_EQ(run.exitCode, 0);
}

TEST(FlowOptions, IdsWithoutAnyUsbDevice) {
    SimRun run = RunSim(Machine(), "tarvel 1-2 \"USB\\VID_0781&PID_5581\\X\" -na");
    EXPECT_EQ(run.out, kNoDevices);
    EXPECT_EQ(run.exitCode, 0);
}

TEST(FlowOptions, SixIdsAbortBeforeAnyLaterOption) {
    SimRun six = RunSim(Machine(), "tarvel a1 a2 a3 a4 a5 a6 -x");
    EXPECT_EQ(six.out, "\r\ntoo many IDs -> abort\r\n");
    EXPECT_EQ(six.exitCode, 2);
    // Options do not count as IDs, and five IDs are fine.
    SimRun five = RunSim(Machine(), "tarvel a1 -na a2 a3 a4 a5");
    EXPECT_EQ(five.out, kNoDevices);
    EXPECT_EQ(five.exitCode, 0);
}

TEST(FlowOptions, OverlongCommandLineIsRefused) {
    SimRun run = RunSim(Machine(), "tarvel " + std::string(1273, 'x'));  // 1280 in all
    EXPECT_EQ(run.out, "\r\ncommand line too long -> abort\r\n");
    EXPECT_EQ(run.exitCode, 2);
    SimRun fits = RunSim(Machine(), "tarvel -na " + std::string(1268, 'x'));  // 1279 in all
    EXPECT_EQ(fits.out, kNoDevices);
}
