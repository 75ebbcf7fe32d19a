// The connection query the walk asks follows the effective Windows version:
// the basic one before XP SP1, _EX after it, _V2 too from Windows 8 on.
// ntdll.dll's own version overrides a reported version that is held back.
#include <gtest/gtest.h>

#include "SimRunner.h"

TEST(VersionChoice, ConnectionQueriesFollowTheEffectiveVersion) {
    struct Case {
        const char* system;
        int basic, ex, v2;
    } cases[] = {
        {R"("os_version": [5, 1, 2600])", 1, 0, 0},
        {R"("os_version": [5, 1, 2600], "service_pack": 1)", 0, 1, 0},
        {R"("os_version": [5, 2, 3790])", 0, 1, 0},
        {R"("os_version": [6, 1, 7601])", 0, 1, 0},
        {R"("os_version": [6, 2, 9200])", 0, 1, 1},
        {R"("os_version": [10, 0, 19045])", 0, 1, 1},
        {R"("os_version": [6, 2, 9200], "ntdll_version": "10.0.19041.1")", 0, 1, 1},
        {R"("os_version": [6, 1, 7601], "ntdll_version": "10.0.19041.1")", 0, 1, 1},
        {R"("os_version": [6, 1, 7601], "ntdll_version": null)", 0, 1, 0},
        {R"("rtl_get_version": "fails", "os_version": [6, 1, 1], "ntdll_version": "10.0.1.0")", 0, 1, 1},
        {R"("rtl_get_version": "fails", "ntdll_version": null)", 0, 1, 0},
        {R"("rtl_get_version": "missing", "os_version": [6, 1, 7601])", 0, 1, 0},
        {R"("rtl_get_version": "missing", "os_version": [10, 0, 1])", 0, 1, 1},
    };
    for (const Case& c : cases) {
        std::string trace = RunSim(std::string(R"({"clock": "virtual", "system": {)") + c.system +
                                       R"(}, "usb": {"controllers": [{"root_hub": {"ports": 1,)"
                                       R"( "connections": {"1": {}}}}]}})",
                                   "tarvel -na")
                                .trace;
        EXPECT_EQ(Count(trace, " GET_NODE_CONNECTION_INFORMATION "), c.basic) << c.system;
        EXPECT_EQ(Count(trace, " GET_NODE_CONNECTION_INFORMATION_EX "), c.ex) << c.system;
        EXPECT_EQ(Count(trace, " GET_NODE_CONNECTION_INFORMATION_EX_V2 "), c.v2) << c.system;
    }
}
