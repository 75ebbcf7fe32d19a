// Listing and selecting with devices attached: headers, outcome messages
// and exit codes around the device blocks.
#include <gtest/gtest.h>

#include "flow_expect.h"

using namespace flow;

namespace {

// Port 1: a healthy device; port 2: a device whose node reports a problem;
// port 3: a device without a node.
std::string ThreeDevices(const std::string& console = "") {
    return Machine(
        (console.empty() ? "" : "\"console\": {" + console + "}, ") +
        "\"usb\": {\"controllers\": [{\"root_hub\": {\"ports\": 4, \"connections\": {"
        "\"1\": {\"vid\": \"0x0781\", \"pid\": \"0x5581\", \"node\": {\"description\": \"Ger\\u00e4t\"}},"
        "\"2\": {\"vid\": \"0x046D\", \"pid\": \"0xC52B\", \"node\": {\"problem\": 28}},"
        "\"3\": {\"vid\": \"0x1234\", \"pid\": \"0x0001\", \"node\": null}}}}]}");
}

const std::string kListHeader = "\r\nList of attached USB device:\r\n\r\n";

}  // namespace

TEST(FlowListing, BannerAndHeaderFrameTheBlocks) {
    struct Case {
        const char* ids;
        std::string header;
        int code;
    } cases[] = {{"", kListHeader, 0},
                 {" 1-1", "\r\nMatching USB device:\r\n\r\n", 0},
                 {" 1-2", "\r\nMatching USB device:\r\n\r\n", 3},  // problem 28
                 {" 1-3", "\r\nMatching USB device:\r\n\r\n", 3},  // no node
                 {" 9-9", "", 4}};
    for (const Case& c : cases) {
        SimRun bare = RunSim(ThreeDevices(), std::string("tarvel -na") + c.ids);
        SimRun full = RunSim(ThreeDevices(), std::string("tarvel") + c.ids);
        ASSERT_FALSE(bare.out.empty()) << c.ids;
        EXPECT_EQ(bare.out.find("No USB devices"), std::string::npos) << c.ids;
        EXPECT_EQ(full.out, Banner() + c.header + bare.out) << c.ids;
        EXPECT_EQ(bare.exitCode, c.code) << c.ids;
        EXPECT_EQ(full.exitCode, c.code) << c.ids;
    }
    EXPECT_EQ(RunSim(ThreeDevices(), "tarvel -na 9-9").out, "\r\nNo matching USB device found\r\n\r\n");
}

TEST(FlowListing, SeveralHealthyMatchesExitZero) {
    SimRun run = RunSim(Machine("\"usb\": {\"controllers\": [{\"root_hub\": {\"ports\": 2, "
                                "\"connections\": {\"1\": {}, \"2\": {}}}}]}"),
                        "tarvel USB\\VID_*");
    EXPECT_NE(run.out.find("\r\nMatching USB devices:\r\n\r\n"), std::string::npos);
    EXPECT_EQ(run.exitCode, 0);
}

TEST(FlowListing, RedirectedOutputUsesTheAnsiCodePage) {
    SimRun file = RunSim(ThreeDevices("\"stdout\": \"file\", \"ansi_cp\": 1252, \"output_cp\": 437"), "tarvel -na 1-1");
    EXPECT_NE(file.out.find("Ger\xE4t"), std::string::npos);
    SimRun console = RunSim(ThreeDevices("\"stdout\": \"console\", \"ansi_cp\": 1252, \"output_cp\": 437"), "tarvel -na 1-1");
    EXPECT_NE(console.out.find("Ger\x84t"), std::string::npos);
}

TEST(FlowListing, DebugOptionOpensTheDiagnosticChannel) {
    SimRun quiet = RunSim(ThreeDevices(), "tarvel -D:0");
    SimRun plain = RunSim(ThreeDevices(), "tarvel");
    EXPECT_EQ(quiet.out, plain.out);
    // Clamped to 3: the level-4 line of the key wait never shows.
    SimRun high = RunSim(ThreeDevices("\"window\": \"other\""), "tarvel -D:9");
    EXPECT_EQ(high.out.find("Wait4KeyIfStartedStandalone"), std::string::npos);
    EXPECT_EQ(high.exitCode, 0);
}
