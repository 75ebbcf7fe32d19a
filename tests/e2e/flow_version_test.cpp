// The banner's version and the effective Windows version as the hub walk
// shows it through its choice of connection query.
#include <gtest/gtest.h>

#include "flow_expect.h"

using namespace flow;

namespace {

// One device on port 1 of one root hub, so that the walk asks a port.
std::string WithDevice(const std::string& system) {
    return Machine("\"system\": {" + system +
                   "}, \"usb\": {\"controllers\": [{\"root_hub\": {\"ports\": 1, "
                   "\"connections\": {\"1\": {\"vid\": \"0x0781\", \"pid\": \"0x5581\"}}}}]}");
}

bool AsksV2(const SimRun& run) { return Count(run.trace, " GET_NODE_CONNECTION_INFORMATION_EX_V2 ") > 0; }
bool AsksBasic(const SimRun& run) { return Count(run.trace, " GET_NODE_CONNECTION_INFORMATION ") > 0; }

}  // namespace

TEST(FlowVersion, BannerShowsTheProgramsFileVersion) {
    SimRun four = RunSim(Machine("\"system\": {\"exe_version\": \"2.5.300.7\"}"), "tarvel");
    EXPECT_EQ(four.out, Banner("2.5.44.7") + kNoDevices);
    SimRun none = RunSim(Machine("\"system\": {\"exe_version\": null}"), "tarvel");
    EXPECT_EQ(none.out, Banner("0.0.0") + kNoDevices);
    SimRun elsewhere = RunSim(Machine("\"system\": {\"exe_path\": \"D:\\\\x\\\\t.exe\"}"), "tarvel");
    EXPECT_EQ(elsewhere.out, Banner("1.0.0") + kNoDevices);
}

TEST(FlowVersion, MissingVersionDllIsReportedForEachRead) {
    SimRun run = RunSim(Machine("\"system\": {\"version_dll\": \"missing\"}"), "tarvel");
    EXPECT_EQ(run.out, "error: version.dll not founderror: version.dll not found" + Banner("0.0.0") +
                           kNoDevices);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.trace, "LoadLibraryA C:\\Windows\\system32\\version.dll -> fail"), 2);
}

TEST(FlowVersion, NtdllVersionDecidesWhenTheReportIsHeldBack) {
    SimRun lifted = RunSim(WithDevice("\"os_version\": [6, 1, 7601], \"ntdll_version\": \"10.0.19041.1\""), "tarvel");
    EXPECT_TRUE(AsksV2(lifted));
    SimRun reported = RunSim(WithDevice("\"os_version\": [6, 2, 9200], \"ntdll_version\": \"10.0.19041.1\""), "tarvel");
    EXPECT_TRUE(AsksV2(reported));
    SimRun old = RunSim(WithDevice("\"os_version\": [6, 1, 7601], \"ntdll_version\": null"), "tarvel");
    EXPECT_FALSE(AsksV2(old));
    EXPECT_FALSE(AsksBasic(old));
}

TEST(FlowVersion, RtlGetVersionMissingOrFailing) {
    SimRun xp = RunSim(WithDevice("\"rtl_get_version\": \"missing\", \"os_version\": [5, 1, 2600], "
                                  "\"service_pack\": 0"), "tarvel");
    EXPECT_TRUE(AsksBasic(xp));
    EXPECT_FALSE(AsksV2(xp));
    SimRun xpSp2 = RunSim(WithDevice("\"rtl_get_version\": \"missing\", \"os_version\": [5, 1, 2600], "
                                     "\"service_pack\": 2"), "tarvel");
    EXPECT_FALSE(AsksBasic(xpSp2));
    // A failing call leaves only ntdll's version to go by.
    SimRun fails = RunSim(WithDevice("\"rtl_get_version\": \"fails\", \"os_version\": [6, 1, 7601], "
                                     "\"ntdll_version\": \"10.0.1.0\""), "tarvel");
    EXPECT_TRUE(AsksV2(fails));
    SimRun failsOld = RunSim(WithDevice("\"rtl_get_version\": \"fails\", \"ntdll_version\": null"), "tarvel");
    EXPECT_FALSE(AsksV2(failsOld));
    EXPECT_EQ(failsOld.out.substr(0, Banner().size()), Banner());
}
