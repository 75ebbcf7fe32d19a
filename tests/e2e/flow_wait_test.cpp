// The end-of-run wait: pauses from -w and -n, and the key wait as the
// console window decides it.
#include <gtest/gtest.h>

#include "flow_expect.h"

using namespace flow;

namespace {

const char kOwnWithKey[] =
    "\"window\": \"own\", \"input\": [[{\"type\": \"key\", \"vk\": 65, \"char\": 97}]]";
const std::string kPrompt = "Press any key to close";

}  // namespace

TEST(FlowWait, WaitOptionPausesInsteadOfAskingForAKey) {
    struct Case {
        const char* line;
        const char* sleeps;
    } cases[] = {{"tarvel /w:500", "1 500 "}, {"tarvel -W:500", "1 500 "},
                 {"tarvel -n:500", "1 500 "}, {"tarvel -w:-5", "1 "},
                 {"tarvel -w:0", "1 "},       {"tarvel -w:", "1 "},
                 {"tarvel -w:abc", "1 "},     {"tarvel -w:100 -w:7", "1 7 "}};
    for (const Case& c : cases) {
        SimRun run = RunSim(Console(kOwnWithKey), c.line);
        EXPECT_EQ(Sleeps(run.trace), c.sleeps) << c.line;
        EXPECT_EQ(run.out, Banner() + kNoDevices) << c.line;
        EXPECT_EQ(run.exitCode, 0) << c.line;
    }
}

TEST(FlowWait, KeyWaitDependsOnTheWindow) {
    struct Case {
        std::string console;
        std::string sleeps;
        bool prompt;
    } cases[] = {
        {kOwnWithKey, "1 100 10 100 ", true},
        {"\"window\": \"own\", \"stdin\": \"redirected\"", "1 100 10 2000 100 ", true},
        {"\"window\": \"other\"", "1 100 ", false},
        {"\"window\": \"hidden\"", "1 ", false},
        {"\"window\": \"none\"", "1 ", false},
    };
    for (const Case& c : cases) {
        SimRun run = RunSim(Console(c.console), "tarvel");
        EXPECT_EQ(Sleeps(run.trace), c.sleeps) << c.console;
        EXPECT_EQ(run.out, Banner() + kNoDevices + (c.prompt ? kPrompt : "")) << c.console;
        EXPECT_EQ(run.exitCode, 0);
    }
}

TEST(FlowWait, EarlyEndsWaitForAKeyToo) {
    SimRun usage = RunSim(Console(kOwnWithKey), "tarvel -w:500 -l");
    EXPECT_EQ(usage.out, Banner() + Usage() + kPrompt);
    EXPECT_EQ(Sleeps(usage.trace), "1 100 10 100 ");
    EXPECT_EQ(usage.exitCode, 2);

    SimRun ids = RunSim(Console(kOwnWithKey), "tarvel 11 22 33 44 55 66");
    EXPECT_EQ(ids.out, "\r\ntoo many IDs -> abort\r\n" + kPrompt);
    EXPECT_EQ(ids.exitCode, 2);

    SimRun tooLong = RunSim(Console(kOwnWithKey), "tarvel " + std::string(1400, 'y'));
    EXPECT_EQ(tooLong.out, "\r\ncommand line too long -> abort\r\n" + kPrompt);
    EXPECT_EQ(tooLong.exitCode, 2);
}
