// The capture's closed loop: on a machine M and on its capture M' the
// program prints the same bytes and exits with the same code, capturing M'
// gives M' again, and a masked capture holds no serial number of M yet
// links every port to the same node.
#include <dirent.h>

#include <random>
#include <regex>

#include "app/Program.h"
#include "capture/Capture.h"
#include "runtime/CmdLine.h"
#include "unit.h"
#ifdef TARVEL_MACHINE_GEN
#include "fuzz/MachineGen.h"
#endif

using namespace tarvel;

namespace {

struct ProgramRun {
    int code;
    std::string out;
};

std::string Capture(const std::string& machine, bool mask = false) {
    unit::Load(machine);
    unit::Held before;
    char name[] = "tarvel-capture", option[] = "-mask";
    char* argv[] = {name, option};
    EXPECT_EQ(CaptureMain(mask ? 2 : 1, argv), 0);
    unit::ExpectReleased(before, "capture");
    return unit::Out();
}

ProgramRun Program(const std::string& machine, const std::string& line) {
    static char* args[kMaxArgs];
    unit::Load(machine);
    sim::SetCommandLine(line);
    int argc = 0;
    SplitCommandLine(argc, args);
    ProgramRun run = {main(argc, args), unit::Out()};
    for (char*& id : IdList) {  // as the end of the process takes them back
        HeapDelete(id);
        id = NULL;
    }
    return run;
}

// The capture of a real machine says its clock is real; replays here
// need not wait.
std::string Replayable(std::string capture) {
    size_t at = capture.find("\"clock\": \"real\"");
    if (at != std::string::npos) capture.replace(at, 15, "\"clock\": \"virtual\"");
    return capture;
}

// Device-node numbers of the diagnostic listing, for machines whose
// numbering rests on nodes no query reaches.
std::string WithoutNodeNumbers(const std::string& out) {
    return std::regex_replace(out, std::regex(R"(Dev\[ *\d+\]= *\d+)"), "Dev[]=");
}

std::string Quoted(const std::string& id) {
    return id.find_first_of(" \t&") == std::string::npos ? id : "\"" + id + "\"";
}

// The listing's last block gives one ID of each kind.
std::vector<std::string> Selections(const std::string& listing) {
    std::vector<std::string> lines = {"tarvel", "tarvel -na"};
    for (const char* field : {"DeviceID     : ", "Location     : ", "DriverKey    : ",
                              "USB Port     : "}) {
        size_t at = listing.rfind(std::string("\r\n") + field);
        if (at == std::string::npos) continue;
        at += 2 + strlen(field);
        std::string id = listing.substr(at, listing.find("\r\n", at) - at);
        if (id.size() >= 2 && id[0] != '-') lines.push_back("tarvel -na " + Quoted(id));
    }
    return lines;
}

void ExpectLoop(const std::string& machine, std::vector<std::string> lines, bool exactNodes) {
    std::string captured = Capture(machine);
    std::string error;
    sim::Machine parsed;
    ASSERT_TRUE(sim::ParseMachine(captured, parsed, error)) << error << "\n" << captured;
    EXPECT_EQ(Capture(captured), captured) << "a second capture differs";
    std::string replay = Replayable(captured);
    lines.push_back("tarvel -D:1 -na");
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        ProgramRun m = Program(machine, line), again = Program(replay, line);
        EXPECT_EQ(m.code, again.code);
        bool numbered = line.find("-D:1") != std::string::npos && !exactNodes;
        EXPECT_EQ(numbered ? WithoutNodeNumbers(m.out) : m.out,
                  numbered ? WithoutNodeNumbers(again.out) : again.out);
    }
}

std::vector<std::string> MachineFiles() {
    std::vector<std::string> files;
    nlohmann::json data = unit::Data("capture.json");
    for (const auto& dir : data["machine_dirs"]) {
        std::string path = std::string(TARVEL_SOURCE_DIR) + "/" + dir.get<std::string>();
        DIR* d = opendir(path.c_str());
        if (!d) continue;
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > 5 && name.substr(name.size() - 5) == ".json" && name != "cases.json")
                files.push_back(dir.get<std::string>() + "/" + name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST(Capture, ReplaysEveryMachineFile) {
    nlohmann::json unseen = unit::Data("capture.json")["unseen_nodes"];
    for (const std::string& file : MachineFiles()) {
        SCOPED_TRACE(file);
        std::ifstream in(std::string(TARVEL_SOURCE_DIR) + "/" + file);
        std::string machine((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        nlohmann::json m = nlohmann::json::parse(machine);
        m["clock"] = "virtual";
        ProgramRun listing = Program(m.dump(), "tarvel -na");
        ExpectLoop(m.dump(), Selections(listing.out), !unseen.contains(file));
    }
}

#ifdef TARVEL_MACHINE_GEN
// The fuzzer's machines: every key and failure of the format, names of any
// content, node lists that disagree with the walk.
TEST(Capture, ReplaysGeneratedMachines) {
    int count = unit::Data("capture.json")["generated"];
    std::mt19937 random(20261207);
    for (int i = 0; i < count; i++) {
        std::vector<uint8_t> bytes(1 + random() % 6000);
        for (uint8_t& b : bytes) b = uint8_t(random());
        FuzzedDataProvider in(bytes.data(), bytes.size());
        fuzz::GeneratedRun run = fuzz::GenerateRun(in);
        SCOPED_TRACE("generated machine " + std::to_string(i) + ": " + run.machine);
        if (getenv("CAPTURE_DUMP")) {
            std::ofstream(std::string(getenv("CAPTURE_DUMP")) + "/gen" + std::to_string(i) + ".json") << run.machine;
            continue;
        }
        ExpectLoop(run.machine, {"tarvel", run.cmdline}, false);
        if (::testing::Test::HasFailure()) break;
    }
}
#endif
