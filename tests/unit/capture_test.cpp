// The capture's closed loop: on a machine M and on its capture M' the
// program prints the same bytes and exits with the same code, capturing M'
// gives M' again, and a masked capture holds no serial number of M yet
// links every port to the same node.
#include <dirent.h>

#include <random>
#include <set>
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

// Whether two devices of the machine answer to one path: the simulated
// machine, as Windows, compares paths without case, and the first device in
// the file answers. A capture sees only that first one.
bool PathsCollide(const std::string& machine) {
    sim::Machine m;
    std::string error;
    sim::ParseMachine(machine, m, error);
    std::set<std::string> seen;
    auto fresh = [&](std::string path) {
        if (path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && path[3] == '\\')
            path = path.substr(4);
        for (char& c : path) c = char(toupper((unsigned char)c));
        return path.empty() || seen.insert(path).second;
    };
    bool collide = false;
    for (const auto& c : m.usb.controllers) collide |= !fresh(c.path);
    for (const auto& h : m.usb.hubs) {
        std::string name = "\\\\.\\" + h.name;
        collide |= !fresh(name);
        if (h.interface_path != "\\\\?\\" + h.name) collide |= !fresh(h.interface_path);
    }
    return collide;
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

// What breaks the loop on a machine, or "" when it holds: the capture
// parses, a second capture gives the same file (its notes may be fewer: an
// order or a name changed once is plain in the replay), and each command
// line prints the same bytes with the same exit code on M and on M'.
std::string LoopBreak(const std::string& machine, std::vector<std::string> lines, bool exactNodes) {
    std::string captured = Capture(machine);
    std::string error;
    sim::Machine parsed;
    if (!sim::ParseMachine(captured, parsed, error)) return "the capture is refused: " + error;
    nlohmann::json first = nlohmann::json::parse(captured);
    nlohmann::json second = nlohmann::json::parse(Capture(captured));
    for (const auto& note : second["notes"])
        if (std::find(first["notes"].begin(), first["notes"].end(), note) == first["notes"].end())
            return "a second capture notes " + note.dump();
    first.erase("notes");
    second.erase("notes");
    if (first != second) return "a second capture differs:\n" + nlohmann::json::diff(first, second).dump(1);
    std::string replay = Replayable(captured);
    lines.push_back("tarvel -D:1 -na");
    for (const std::string& line : lines) {
        ProgramRun m = Program(machine, line), again = Program(replay, line);
        bool numbered = line.find("-D:1") != std::string::npos && !exactNodes;
        std::string a = numbered ? WithoutNodeNumbers(m.out) : m.out;
        std::string b = numbered ? WithoutNodeNumbers(again.out) : again.out;
        if (m.code != again.code || a != b) {
            size_t at = 0;
            while (at < a.size() && at < b.size() && a[at] == b[at]) at++;
            size_t line_start = a.rfind('\n', at);
            line_start = line_start == std::string::npos ? 0 : line_start + 1;
            return line + ": exit " + std::to_string(m.code) + "/" + std::to_string(again.code) +
                   ", output differs from: " + a.substr(line_start, 160) + " | " +
                   b.substr(line_start, 160);
        }
    }
    return "";
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
        EXPECT_EQ(LoopBreak(m.dump(), Selections(listing.out), !unseen.contains(file)), "");
    }
}

#ifdef TARVEL_MACHINE_GEN
// The fuzzer's machines: every key and failure of the format, names of any
// content, node lists that disagree with the walk.
TEST(Capture, ReplaysGeneratedMachines) {
    int count = unit::Data("capture.json")["generated"];
    std::mt19937 random(20261207);
    int collisions = 0, held = 0;
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
        std::string broken = LoopBreak(run.machine, {"tarvel", run.cmdline}, false);
        if (PathsCollide(run.machine)) {
            collisions++;
            held += broken.empty();
            continue;
        }
        EXPECT_EQ(broken, "");
    }
    ::printf("%d of %d generated machines have devices that answer to one path; the loop holds on %d "
             "of them\n", collisions, count, held);
}
#endif
