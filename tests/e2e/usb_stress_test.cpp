// The largest machines the lists and the port chain allow, whole runs
// through tarvel-sim: listing and selecting must stay exact at the edges.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "usb_Machines.h"

using namespace usbe2e;

namespace {

// Every "USB Port     : " value, in output order.
std::vector<std::string> Chains(const std::string& out) {
    std::vector<std::string> chains;
    std::string all = Values(out, "USB Port");
    for (size_t at = 0, bar; (bar = all.find('|', at)) != std::string::npos; at = bar + 1)
        chains.push_back(all.substr(at, bar - at));
    return chains;
}

bool EveryLineEndsInCrLf(const std::string& out) {
    for (size_t i = 0; i < out.size(); i++)
        if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r')) return false;
    return out.empty() || out.back() == '\n';
}

// Hubs 255 ports wide, each on the last port of the one above, with a
// device on every hub's first port: levels hubs below the root hub.
std::string WideChain(int levels) {
    std::string hub = R"({"ports": 255, "connections": {"1": {}}})";
    for (int i = levels; i > 0; i--)
        hub = R"({"ports": 255, "connections": {"1": {}, "255": {"hub": )" + hub + "}}}";
    return Machine(R"({"root_hub": )" + hub + "}");
}

// Five hubs of 255 devices each below one root hub, and more child nodes
// than ports: 1285 connected ports and 1290 nodes, more than either list
// holds. Records fill up exactly at 1-4-255; the root hub's extra nodes come
// before the hubs' children, so the node list fills up at 1-4-249.
std::string FullLists() {
    std::string ports;
    for (int p = 1; p <= 255; p++) ports += (p > 1 ? ", \"" : "\"") + std::to_string(p) + "\": {}";
    std::string root;
    for (int h = 1; h <= 5; h++)
        root += (h > 1 ? ", \"" : "\"") + std::to_string(h) + R"(": {"hub": {"name": "HUB)" +
                std::to_string(h) + R"(", "ports": 255, "connections": {)" + ports + "}}}";
    return Machine(R"({"root_hub": {"name": "ROOT", "ports": 5, "connections": {)" + root +
                   R"(}, "extra_nodes": [{}, {}, {}, {}, {}]}})");
}

}  // namespace

TEST(UsbE2eStress, DeepestWideChainIsListedUpToTheLongestPortName) {
    SimRun run = RunSim(WideChain(40), "tarvel -na");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(EveryLineEndsInCrLf(run.out));
    // Hubs are walked while "-255" still fits behind their chain: the root
    // hub and 36 below it, two records each.
    std::vector<std::string> chains = Chains(run.out);
    ASSERT_EQ(chains.size(), 74u);
    EXPECT_EQ(std::set<std::string>(chains.begin(), chains.end()).size(), chains.size());
    std::string deepest = "1";
    for (int i = 0; i < 37; i++) deepest += "-255";
    EXPECT_EQ(chains.back(), deepest);
    EXPECT_EQ(deepest.size(), 149u);
    EXPECT_EQ(Count(run.out, "USB Port     : "), Count(run.out, "Name         : "));
    EXPECT_EQ(Count(run.trace, "CreateFileA"), Count(run.trace, "CloseHandle"));

    // The longest chain selects exactly its port; one level less selects
    // the hub above it.
    SimRun one = RunSim(WideChain(40), "tarvel -na " + deepest);
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(Chains(one.out), std::vector<std::string>{deepest});
    SimRun none = RunSim(WideChain(40), "tarvel -na " + deepest + "-1");
    EXPECT_EQ(none.exitCode, 4);
}

TEST(UsbE2eStress, FullListsStopRecordingButTheWalkGoesOn) {
    SimRun run = RunSim(FullLists(), "tarvel -na");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.out, "Max number of USB devs (1024) reached\r\n"), 1);
    EXPECT_EQ(run.out.find("Max number"), 0u);
    EXPECT_EQ(Count(run.out, "USB Port     : "), 1024);
    // The last record is the 255th device of the fourth hub.
    EXPECT_NE(run.out.find("USB Port     : 1-4-255\r\n"), std::string::npos);
    EXPECT_EQ(Count(run.out, "USB Port     : 1-5"), 0);
    // The fifth hub is still walked, port by port.
    EXPECT_EQ(Count(run.trace, "\\\\.\\HUB5 GET_NODE_CONNECTION_INFORMATION_EX "), 255);
    EXPECT_EQ(Count(run.trace, "CloseHandle \\\\.\\HUB5"), 1);
}

TEST(UsbE2eStress, FullListsSelectEveryRecordAndReportThoseWithoutNode) {
    // Five IDs, each matching by another field; the instance ID and the
    // location need a node, which the last six records lost to the full
    // node list.
    SimRun five = RunSim(FullLists(), R"(tarvel -na ** "{36fc9e60-c465-11cf-8056-444553540000}\*")"
                                      R"( "usb\vid_1234&pid_5678\*" "Port_#0*" "*&0&*")");
    EXPECT_EQ(five.exitCode, 0);
    EXPECT_TRUE(EveryLineEndsInCrLf(five.out));
    std::vector<std::string> chains = Chains(five.out);
    EXPECT_EQ(chains.size(), 1018u);
    EXPECT_EQ(chains.back(), "1-4-249");
    EXPECT_EQ(std::set<std::string>(chains.begin(), chains.end()).size(), chains.size());

    // Every record, those without node among them: exit 3.
    SimRun all = RunSim(FullLists(), "tarvel -na **");
    EXPECT_EQ(all.exitCode, 3);
    EXPECT_EQ(Chains(all.out).size(), 1024u);
    EXPECT_EQ(Chains(all.out).back(), "1-4-255");

    EXPECT_EQ(RunSim(FullLists(), "tarvel -na 1-4-249").exitCode, 0);
    EXPECT_EQ(RunSim(FullLists(), "tarvel -na 1-4-250").exitCode, 3);
    // Ports beyond the full list are not there to be found.
    EXPECT_EQ(RunSim(FullLists(), "tarvel -na 1-5-1").exitCode, 4);
}
