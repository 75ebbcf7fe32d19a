// tarvel-capture-sim as a user runs it: its command line, the file it
// writes, and what -mask takes out of that file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "SimRunner.h"

namespace {

const std::string kDesktop = std::string(TARVEL_SOURCE_DIR) + "/examples/desktop.json";

// The expected bytes, or (scripts/golden.sh) the new expected bytes.
void ExpectGolden(const std::string& got, const std::string& name) {
    std::string path = std::string(TARVEL_SOURCE_DIR) + "/tests/golden/capture/" + name;
    if (getenv("TARVEL_GOLDEN_UPDATE")) std::ofstream(path, std::ios::binary) << got;
    EXPECT_EQ(got, Slurp(path)) << name;
}

SimRun Capture(const std::string& machine, const std::string& line) {
    return RunSim(machine, line, TARVEL_CAPTURE_EXE);
}

// Serial numbers: the last part of an instance ID, where it holds no '&'.
std::vector<std::string> Serials(const std::string& machine) {
    std::vector<std::string> serials;
    std::regex id(R"re("instance_id": "USB\\\\[^"\\]+\\\\([^"&\\]+)")re");
    for (std::sregex_iterator it(machine.begin(), machine.end(), id), end; it != end; ++it)
        serials.push_back((*it)[1]);
    return serials;
}

}  // namespace

TEST(CaptureCli, RefusesWhatItDoesNotKnow) {
    // A line of 1280 bytes is more than the splitter takes; "" names no file.
    for (const std::string& line :
         {std::string("tarvel-capture -?"), std::string("tarvel-capture /?"),
          std::string("tarvel-capture -x"), std::string("tarvel-capture a b"),
          std::string("tarvel-capture /MASK -maskx"), std::string("tarvel-capture \"\""),
          "tarvel-capture /tmp/" + std::string(1260, 'x')}) {
        SimRun run = Capture(kDesktop, line);
        EXPECT_EQ(run.exitCode, 2) << line.substr(0, 40);
        ExpectGolden(run.out, "usage.txt");
    }
}

TEST(CaptureCli, WritesTheNamedFileOrSaysWhyNot) {
    SimRun toStdout = Capture(kDesktop, "tarvel-capture");
    ASSERT_EQ(toStdout.exitCode, 0);
    ExpectGolden(toStdout.out, "desktop.json");
    std::string path = "/tmp/tarvel-capture-e2e-" + std::to_string(getpid()) + ".json";
    SimRun toFile = Capture(kDesktop, "tarvel-capture " + path);
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(Slurp(path), toStdout.out);
    EXPECT_EQ(TraceLines(toFile.trace, "CloseHandle " + path), "CloseHandle " + path + "\n");
    std::remove(path.c_str());
    SimRun nowhere = Capture(kDesktop, "tarvel-capture /nonexistent/dir/m.json");
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(nowhere.out, "");
}

// The masked file holds no serial number, and the replay prints what the
// machine prints with each serial replaced by one placeholder.
TEST(CaptureCli, MaskKeepsTheLinksButNoSerial) {
    std::string machine = Slurp(kDesktop);
    std::vector<std::string> serials = Serials(machine);
    ASSERT_GE(serials.size(), 3u);
    SimRun masked = Capture(kDesktop, "tarvel-capture -MASK -");
    ASSERT_EQ(masked.exitCode, 0);
    ExpectGolden(masked.out, "desktop-masked.json");
    std::string upper = masked.out;
    for (char& c : upper) c = char(toupper((unsigned char)c));
    for (const std::string& serial : serials)
        EXPECT_EQ(upper.find(serial), std::string::npos) << serial;
    SimRun original = RunSim(kDesktop, "tarvel -na");
    SimRun replay = RunSim(masked.out, "tarvel -na");
    EXPECT_EQ(replay.exitCode, original.exitCode);
    std::string expected = original.out;
    for (const std::string& serial : serials)
        expected = std::regex_replace(expected, std::regex(serial, std::regex::icase), "<serial>");
    EXPECT_EQ(std::regex_replace(replay.out, std::regex("masked[0-9]{4}", std::regex::icase),
                                 "<serial>"),
              expected);
}
