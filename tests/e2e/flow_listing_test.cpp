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

TEST(FlowListing, HeaderAndBannerFrameTheBlocks) {
    SimRun blocks = RunSim(ThreeDevices(), "tarvel -na");
    ASSERT_EQ(blocks.exitCode, 0);
    ASSERT_FALSE(blocks.out.empty());
    EXPECT_EQ(blocks.out.find("No USB devices"), std::string::npos);
    SimRun full = RunSim(ThreeDevices(), "tarvel");
    EXPECT_EQ(full.out, Banner() + kListHeader + blocks.out);
    EXPECT_EQ(full.exitCode, 0);
}

TEST(FlowListing, OneMatchGivesItsStatus) {
    SimRun good = RunSim(ThreeDevices(), "tarvel 1-1");
    EXPECT_EQ(good.out.substr(0, Banner().size() + 26), Banner() + "\r\nMatching USB device:\r\n\r\n");
    EXPECT_EQ(good.exitCode, 0);
    SimRun bare = RunSim(ThreeDevices(), "tarvel -na 1-1");
    EXPECT_EQ(good.out, Banner() + "\r\nMatching USB device:\r\n\r\n" + bare.out);
    EXPECT_EQ(RunSim(ThreeDevices(), "tarvel 1-2").exitCode, 3);  // problem 28
    EXPECT_EQ(RunSim(ThreeDevices(), "tarvel 1-3").exitCode, 3);  // no node
}

TEST(FlowListing, SeveralMatchesReportAnyTroubledOne) {
    SimRun mixed = RunSim(ThreeDevices(), "tarvel USB\\VID_*");
    EXPECT_NE(mixed.out.find("\r\nMatching USB devices:\r\n\r\n"), std::string::npos);
    EXPECT_EQ(mixed.exitCode, 3);
    const std::string twoHealthy = Machine(
        "\"usb\": {\"controllers\": [{\"root_hub\": {\"ports\": 2, \"connections\": "
        "{\"1\": {}, \"2\": {}}}}]}");
    SimRun healthy = RunSim(twoHealthy, "tarvel USB\\VID_*");
    EXPECT_NE(healthy.out.find("\r\nMatching USB devices:\r\n\r\n"), std::string::npos);
    EXPECT_EQ(healthy.exitCode, 0);
    // Every ID must match: two port chains select nothing.
    EXPECT_EQ(RunSim(twoHealthy, "tarvel 1-1 1-2").exitCode, 4);
}

TEST(FlowListing, NothingMatches) {
    SimRun run = RunSim(ThreeDevices(), "tarvel 9-9");
    EXPECT_EQ(run.out, Banner() + "\r\nNo matching USB device found\r\n\r\n");
    EXPECT_EQ(run.exitCode, 4);
    SimRun bare = RunSim(ThreeDevices(), "tarvel -na 9-9");
    EXPECT_EQ(bare.out, "\r\nNo matching USB device found\r\n\r\n");
    EXPECT_EQ(bare.exitCode, 4);
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
    SimRun traced = RunSim(ThreeDevices(), "tarvel -D:1");
    EXPECT_GT(traced.out.size(), plain.out.size());
    EXPECT_NE(traced.out.find("\r\n "), std::string::npos);
    // Clamped to 3: the level-4 line of the key wait never shows.
    SimRun high = RunSim(ThreeDevices("\"window\": \"other\""), "tarvel -D:9");
    EXPECT_EQ(high.out.find("Wait4KeyIfStartedStandalone"), std::string::npos);
    EXPECT_EQ(high.exitCode, 0);
}
