// The machines shipped with the program, the built-in demo and the files
// under examples/, must keep running cleanly as the simulator grows.
#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "flow_expect.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every line ends in CR LF and every device block ends in a blank line.
void ExpectWellFormedListing(const std::string& out, const std::string& what) {
    for (size_t i = 0; i < out.size(); i++)
        if (out[i] == '\n') ASSERT_TRUE(i > 0 && out[i - 1] == '\r') << what << " at " << i;
    EXPECT_EQ(flow::Count(out, "USB Port     : "), flow::Count(out, "\r\n\r\n")) << what;
    EXPECT_GT(flow::Count(out, "USB Port     : "), 0) << what;
}

}  // namespace

TEST(Examples, EveryMachineFileListsItsDevices) {
    const std::string dir = std::string(TARVEL_SOURCE_DIR) + "/examples/";
    DIR* folder = opendir(dir.c_str());
    ASSERT_NE(folder, nullptr);
    int files = 0;
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.size() < 5 || name.substr(name.size() - 5) != ".json") continue;
        files++;
        SimRun run = RunSim(Slurp(dir + name), "tarvel -na");
        EXPECT_EQ(run.exitCode, 0) << name;
        ExpectWellFormedListing(run.out, name);
    }
    closedir(folder);
    EXPECT_GE(files, 3);
}

TEST(Examples, DemoMachineListsAndSelects) {
    SimRun all = RunSim("", "tarvel -na -w:0");
    EXPECT_EQ(all.exitCode, 0);
    ExpectWellFormedListing(all.out, "demo");
    EXPECT_EQ(flow::Count(all.out, "USB Port     : "), 9);

    // The serial adapter's node reports a problem.
    SimRun serial = RunSim("", "tarvel \"*VID_067B*\" -na -w:0");
    EXPECT_EQ(serial.exitCode, 3);
    EXPECT_EQ(flow::Count(serial.out, "USB Port     : 1-4-2\r\n"), 1);

    EXPECT_EQ(RunSim("", "tarvel 1-4-3 -w:0").exitCode, 4);  // failed enumeration: no record
}
