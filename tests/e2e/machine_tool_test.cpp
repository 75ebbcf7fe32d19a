// tarvel-machine on a file a user edited: check names the first bad key by
// its path (a warning refuses nothing), resolve writes what the simulator plays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <nlohmann/json.hpp>

#include "SimRunner.h"

namespace {

struct ToolRun {
    std::string out, err;
    int exitCode = -1;
};

// A file's path as one shell word, whatever folder names the checkout has.
std::string Quoted(const std::string& path) { return "'" + path + "'"; }

ToolRun RunTool(const std::string& args) {
    std::string errPath = "/tmp/tarvel-machine-" + std::to_string(getpid()) + ".err";
    ToolRun run;
    run.out = RunCommand(std::string("'") + TARVEL_MACHINE_EXE + "' " + args + " 2>" + errPath,
                         &run.exitCode);
    run.err = Slurp(errPath);
    std::remove(errPath.c_str());
    return run;
}

std::vector<std::string> MachineFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::string dir = std::string(TARVEL_SOURCE_DIR) + "/" + folder;
    DIR* d = opendir(dir.c_str());
    for (dirent* e; d && (e = readdir(d)) != nullptr;) {
        std::string name = e->d_name;
        if (name.size() > 5 && name.substr(name.size() - 5) == ".json" && name != "cases.json")
            files.push_back(dir + "/" + name);
    }
    if (d) closedir(d);
    return files;
}

}  // namespace

TEST(MachineTool, CheckNamesTheFirstBadKey) {
    auto cases = nlohmann::json::parse(
        Slurp(std::string(TARVEL_SOURCE_DIR) + "/tests/e2e/data/bad-machines.json"));
    std::string path = "/tmp/tarvel-machine-" + std::to_string(getpid()) + ".json";
    for (const auto& c : cases) {
        const auto& m = c["machine"];
        std::ofstream(path, std::ios::binary) << (m.is_string() ? m.get<std::string>() : m.dump());
        for (const char* action : {"check", "resolve"}) {
            ToolRun run = RunTool(std::string(action) + " " + Quoted(path));
            EXPECT_EQ(run.exitCode, c.value("exit", 1)) << c["error"];
            EXPECT_EQ(run.err, path + ": " + c["error"].get<std::string>() + "\n");
            EXPECT_EQ(run.out.empty(), run.exitCode != 0 || action[0] == 'c');
        }
    }
    std::remove(path.c_str());
}

TEST(MachineTool, AcceptsEveryShippedMachine) {
    for (const char* folder : {"examples", "tests/golden/machines", "tests/wine/machines"}) {
        for (const std::string& file : MachineFiles(folder)) {
            ToolRun check = RunTool("check " + Quoted(file));
            EXPECT_EQ(check.exitCode, 0) << file << ": " << check.err;
            EXPECT_EQ(check.out + check.err, "") << file;
            ToolRun resolve = RunTool("resolve " + Quoted(file));
            auto machine = nlohmann::json::parse(resolve.out, nullptr, false);
            ASSERT_TRUE(machine.is_object()) << file;
            // Nodes come in DEVINST order, each parent before its children.
            const auto& nodes = machine["usb"]["nodes"];
            for (size_t i = 0; i < nodes.size(); i++) {
                EXPECT_EQ(nodes[i]["devinst"], i + 1) << file;
                if (!nodes[i]["parent"].is_null()) EXPECT_LT(nodes[i]["parent"], i + 1) << file;
            }
        }
    }
}

TEST(MachineTool, UsageAndUnreadableFiles) {
    for (const char* args : {"", "check", "resolve a b", "list a"}) {
        ToolRun run = RunTool(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_EQ(run.err.rfind("usage: tarvel-machine check FILE\n", 0), 0u) << args;
    }
    for (std::string path : {std::string("/nonexistent/m.json"), std::string(TARVEL_SOURCE_DIR)}) {
        ToolRun run = RunTool("check " + Quoted(path));
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(run.err, path + ": cannot be read\n");
    }
}
