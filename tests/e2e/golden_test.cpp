// The golden transcripts: every case of tests/golden/cases.txt runs
// tarvel-sim and must give exactly the recorded stdout bytes, exit code and,
// where the case asks for it, trace lines. Scripts parse that output, so
// every byte counts. TARVEL_GOLDEN_UPDATE=1 rewrites the recorded files
// instead (scripts/golden.sh, for review; CI never sets it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "SimRunner.h"

namespace {

const std::string kGolden = std::string(TARVEL_SOURCE_DIR) + "/tests/golden/";

struct Case {
    std::string name, trace, machine, cmdline;
    int exitCode = -1;
    std::string Stem() const { return kGolden + "out/" + name.substr(0, name.find('/')); }
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// "<<TEXT*N>>" stands for TEXT written N times.
std::string Expand(std::string line) {
    for (size_t at; (at = line.find("<<")) != std::string::npos;) {
        size_t end = line.find(">>", at), star = line.rfind('*', end);
        std::string repeated;
        for (int n = std::atoi(line.c_str() + star + 1); n > 0; n--)
            repeated += line.substr(at + 2, star - at - 2);
        line.replace(at, end + 2 - at, repeated);
    }
    return line;
}

std::vector<Case> ReadCases() {
    std::ifstream table(kGolden + "cases.txt");
    std::vector<Case> cases;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream row(line);
        Case c;
        row >> c.name >> c.exitCode >> c.trace >> c.machine >> std::ws;
        std::getline(row, c.cmdline);
        c.cmdline = Expand(c.cmdline);
        if (c.machine == "demo") c.machine.clear();
        else if (c.machine.find('/') == std::string::npos) c.machine = kGolden + "machines/" + c.machine + ".json";
        else c.machine = std::string(TARVEL_SOURCE_DIR) + "/" + c.machine;
        cases.push_back(c);
    }
    return cases;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end) {
        end = std::min(text.find('\n', at), text.size() - 1) + 1;
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

// Compares with the recorded file and shows the first line that differs.
void ExpectFile(const std::string& path, const std::string& got) {
    if (std::getenv("TARVEL_GOLDEN_UPDATE")) {
        std::ofstream(path, std::ios::binary) << got;
        return;
    }
    std::vector<std::string> w = Lines(Slurp(path)), g = Lines(got);
    size_t i = 0;
    while (i < w.size() && i < g.size() && w[i] == g[i]) i++;
    if (i < w.size() || i < g.size())
        ADD_FAILURE() << path << ": line " << i + 1 << " differs (scripts/golden.sh rewrites it)"
                      << "\n  expected: " << testing::PrintToString(i < w.size() ? w[i] : "(end)")
                      << "\n  got:      " << testing::PrintToString(i < g.size() ? g[i] : "(end)");
}

class Golden : public testing::TestWithParam<Case> {};

TEST_P(Golden, StdoutAndExitCode) {
    const Case& c = GetParam();
    SimRun run = RunSim(c.machine, c.cmdline);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.cmdline.substr(0, 80);
    ExpectFile(c.Stem() + ".txt", run.out);
    if (c.trace != "-") ExpectFile(c.Stem() + ".trace", TraceLines(run.trace, c.trace == "all" ? "" : c.trace));
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(ReadCases()), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

// A machine shipped under examples/ has golden cases of its own.
TEST(GoldenTable, CoversEveryExampleMachine) {
    std::set<std::string> used;
    for (const Case& c : ReadCases()) used.insert(c.machine);
    EXPECT_TRUE(used.count("")) << "the built-in demo machine";
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TARVEL_SOURCE_DIR) + "/examples"))
        if (entry.path().extension() == ".json") EXPECT_TRUE(used.count(entry.path().string())) << entry.path();
}

}  // namespace
