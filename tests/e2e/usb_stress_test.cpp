// The largest machines the lists and the port chain allow, whole runs
// through tarvel-sim: listing and selecting must stay exact at the edges.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

#include "SimRunner.h"

namespace {

struct Listing {
    std::vector<std::string> chains;  // every "USB Port" value, in order
    int code = -1;
    bool crlf = true;  // every line ends in CR LF
    std::string out, trace;
};

Listing List(const std::string& machine, const std::string& ids) {
    SimRun run = RunSim(machine, "tarvel -na " + ids);
    Listing l{{}, run.exitCode, run.out.empty() || run.out.back() == '\n', run.out, run.trace};
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.back() != '\r') l.crlf = false;
        if (line.rfind("USB Port     : ", 0) == 0) l.chains.push_back(line.substr(15, line.size() - 16));
    }
    return l;
}

bool Unique(const std::vector<std::string>& chains) {
    return std::set<std::string>(chains.begin(), chains.end()).size() == chains.size();
}

const std::string kMachine = R"({"clock": "virtual", "usb": {"controllers": [{"root_hub": )";

// Hubs 255 ports wide, each on the last port of the one above, with a
// device on every hub's first port: levels hubs below the root hub.
std::string WideChain(int levels) {
    std::string hub = R"({"ports": 255, "connections": {"1": {}}})";
    for (int i = levels; i > 0; i--) hub = R"({"ports": 255, "connections": {"1": {}, "255": {"hub": )" + hub + "}}}";
    return kMachine + hub + "}]}}";
}

// Five hubs of 255 devices each below one root hub, and more child nodes
// than ports: 1285 connected ports and 1290 nodes, more than either list
// holds. Records fill up exactly at 1-4-255; the root hub's extra nodes come
// before the hubs' children, so the node list fills up at 1-4-249.
std::string FullLists() {
    std::string ports, root;
    for (int p = 1; p <= 255; p++) ports += (p > 1 ? ", \"" : "\"") + std::to_string(p) + "\": {}";
    for (int h = 1; h <= 5; h++)
        root += (h > 1 ? ", \"" : "\"") + std::to_string(h) + R"(": {"hub": {"name": "HUB)" + std::to_string(h) +
                R"(", "ports": 255, "connections": {)" + ports + "}}}";
    return kMachine + R"({"name": "ROOT", "ports": 5, "connections": {)" + root +
           R"(}, "extra_nodes": [{}, {}, {}, {}, {}]}}]}})";
}

}  // namespace

TEST(UsbE2eStress, DeepestWideChainIsListedUpToTheLongestPortName) {
    Listing all = List(WideChain(40), "");
    EXPECT_EQ(all.code, 0);
    EXPECT_TRUE(all.crlf);
    // Hubs are walked while "-255" still fits behind their chain: the root
    // hub and 36 below it, two records each.
    std::string deepest = "1";
    for (int i = 0; i < 37; i++) deepest += "-255";
    ASSERT_EQ(all.chains.size(), 74u);
    EXPECT_TRUE(Unique(all.chains));
    EXPECT_EQ(all.chains.back(), deepest);
    EXPECT_EQ(Count(all.out, "Name         : "), 74);
    EXPECT_EQ(Count(all.trace, "CreateFileA"), Count(all.trace, "CloseHandle"));
    // The longest chain (149 characters) selects exactly its port.
    EXPECT_EQ(List(WideChain(40), deepest).chains, std::vector<std::string>{deepest});
    EXPECT_EQ(List(WideChain(40), deepest + "-1").code, 4);
}

TEST(UsbE2eStress, FullListsStopRecordingButTheWalkGoesOn) {
    Listing all = List(FullLists(), "");
    EXPECT_EQ(all.code, 0);
    EXPECT_EQ(all.out.find("Max number of USB devs (1024) reached\r\n"), 0u);
    EXPECT_EQ(Count(all.out, "Max number"), 1);
    ASSERT_EQ(all.chains.size(), 1024u);
    EXPECT_EQ(all.chains.back(), "1-4-255");
    // The fifth hub is still walked, port by port, and closed.
    EXPECT_EQ(Count(all.trace, "\\\\.\\HUB5 GET_NODE_CONNECTION_INFORMATION_EX "), 255);
    EXPECT_EQ(Count(all.trace, "CloseHandle \\\\.\\HUB5"), 1);
}

TEST(UsbE2eStress, FullListsSelectEveryRecordAndReportThoseWithoutNode) {
    // Five IDs, each matching by another field; the instance ID and the
    // location need a node, which the last six records lost to the full
    // node list.
    Listing five = List(FullLists(), R"(** "{36fc9e60-c465-11cf-8056-444553540000}\*")"
                                     R"( "usb\vid_1234&pid_5678\*" "Port_#0*" "*&0&*")");
    EXPECT_EQ(five.code, 0);
    EXPECT_TRUE(five.crlf);
    EXPECT_EQ(five.chains.size(), 1018u);
    EXPECT_EQ(five.chains.back(), "1-4-249");
    EXPECT_TRUE(Unique(five.chains));
    // Every record, those without node among them: exit 3.
    Listing all = List(FullLists(), "**");
    EXPECT_EQ(all.code, 3);
    EXPECT_EQ(all.chains.size(), 1024u);
    EXPECT_EQ(List(FullLists(), "1-4-249").code, 0);
    EXPECT_EQ(List(FullLists(), "1-4-250").code, 3);
    // Ports beyond the full list are not there to be found.
    EXPECT_EQ(List(FullLists(), "1-5-1").code, 4);
}
