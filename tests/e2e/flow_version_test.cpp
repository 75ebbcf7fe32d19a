// The banner's version, and the effective Windows version as the hub walk
// shows it through its choice of connection query.
#include <gtest/gtest.h>

#include "flow_expect.h"

using namespace flow;

namespace {

std::string WithDevice(const std::string& system) {
    return Machine("\"system\": {" + system +
                   "}, \"usb\": {\"controllers\": [{\"root_hub\": {\"ports\": 1, \"connections\": {\"1\": {}}}}]}");
}

bool AsksV2(const std::string& system) {
    return Count(RunSim(WithDevice(system), "tarvel").trace, " GET_NODE_CONNECTION_INFORMATION_EX_V2 ") > 0;
}

}  // namespace

TEST(FlowVersion, BannerShowsTheProgramsFileVersion) {
    SimRun four = RunSim(Machine("\"system\": {\"exe_version\": \"2.5.300.7\"}"), "tarvel");
    EXPECT_EQ(four.out, Banner("2.5.44.7") + kNoDevices);
    SimRun none = RunSim(Machine("\"system\": {\"exe_version\": null}"), "tarvel");
    EXPECT_EQ(none.out, Banner("0.0.0") + kNoDevices);
}

TEST(FlowVersion, MissingVersionDllIsReportedForEachRead) {
    SimRun run = RunSim(Machine("\"system\": {\"version_dll\": \"missing\"}"), "tarvel");
    EXPECT_EQ(run.out, "error: version.dll not founderror: version.dll not found" + Banner("0.0.0") + kNoDevices);
    EXPECT_EQ(run.exitCode, 0);
}

TEST(FlowVersion, NtdllVersionDecidesWhenTheReportIsHeldBack) {
    EXPECT_TRUE(AsksV2("\"os_version\": [6, 2, 9200], \"ntdll_version\": \"10.0.19041.1\""));
    EXPECT_TRUE(AsksV2("\"os_version\": [6, 1, 7601], \"ntdll_version\": \"10.0.19041.1\""));
    EXPECT_FALSE(AsksV2("\"os_version\": [6, 1, 7601], \"ntdll_version\": null"));
    EXPECT_TRUE(AsksV2("\"rtl_get_version\": \"fails\", \"os_version\": [6, 1, 1], \"ntdll_version\": \"10.0.1.0\""));
    EXPECT_FALSE(AsksV2("\"rtl_get_version\": \"fails\", \"ntdll_version\": null"));
    EXPECT_FALSE(AsksV2("\"rtl_get_version\": \"missing\", \"os_version\": [6, 1, 7601]"));
    EXPECT_TRUE(AsksV2("\"rtl_get_version\": \"missing\", \"os_version\": [10, 0, 1]"));
}
