// The capture's closed loop on every machine file of the repository and on
// the fuzzer's machines: on a machine M and on its capture M' the program
// prints the same bytes and exits with the same code, and capturing M'
// gives M' again.
#include <dirent.h>

#include <random>


#include "app/Program.h"
#include "capture/JsonWriter.h"
#include "fuzz/CaptureLoop.h"
#include "runtime/CmdLine.h"
#include "unit.h"
#ifdef TARVEL_MACHINE_GEN
#include "fuzz/MachineGen.h"
#endif

using namespace tarvel;

namespace {

// What the program lists on the loaded machine.
std::string RunListing() {
    static char* args[kMaxArgs];
    sim::SetCommandLine("tarvel -na");
    int argc = 0;
    SplitCommandLine(argc, args);
    main(argc, args);
    return unit::Out();
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
        unit::Load(m.dump());
        std::string listing = RunListing();
        fuzz::LoopBreak broken =
            fuzz::CheckLoop(m.dump(), Selections(listing), !unseen.contains(file));
        EXPECT_EQ(broken.replay, "");
        EXPECT_EQ(broken.roundTrip, "");
    }
}

#ifdef TARVEL_MACHINE_GEN
// The fuzzer's machines: every key and failure of the format, names of any
// content, node lists that disagree with the walk.
TEST(Capture, ReplaysGeneratedMachines) {
    int count = unit::Data("capture.json")["generated"];
    std::mt19937 random(20261207);
    int approximated = 0;
    std::vector<int> unsettled;
    for (int i = 0; i < count; i++) {
        std::vector<uint8_t> bytes(1 + random() % 6000);
        for (uint8_t& b : bytes) b = uint8_t(random());
        FuzzedDataProvider in(bytes.data(), bytes.size());
        fuzz::GeneratedRun run = fuzz::GenerateRun(in);
        SCOPED_TRACE("generated machine " + std::to_string(i) + ": " + run.machine);
        fuzz::LoopBreak broken = fuzz::CheckLoop(run.machine, {"tarvel", run.cmdline}, false);
        // Where the node tree disagrees with the walk, the capture may have
        // had to change the order of a hub's nodes; it says so in its notes.
        if (broken.replay.empty() || broken.ordered) {
            approximated += !broken.replay.empty();
        } else {
            ADD_FAILURE() << broken.replay;
        }
        // On a few machines the second capture tells hubs that answer the
        // same name apart by another letter, or puts a node of a tree that
        // disagrees with its walk elsewhere; both replay alike.
        if (!broken.roundTrip.empty()) unsettled.push_back(i);
    }
    EXPECT_LE(unsettled.size(), unit::Data("capture.json")["unsettled_at_most"].get<size_t>())
        << "generated machines whose second capture differs: " << ::testing::PrintToString(unsettled);
    ::printf("%d of %d generated machines replay with a node order the capture noted as changed\n",
             approximated, count);
}
#endif

// The writer's layout, escapes and numbers; a document with each kind of
// value, against data/json_writer.txt.
TEST(Capture, JsonWriterLayoutEscapesAndNumbers) {
    unit::Load("{}");
    capture::Output out = {};
    capture::JsonWriter json(out);
    json.Begin('{');
    json.Key("empty_array");
    json.Begin('[');
    json.End(']');
    json.Key("empty_object");
    json.Begin('{');
    json.End('}');
    json.Key("numbers");
    json.Begin('[');
    for (DWORD v : {0u, 7u, 255u, 4294967295u}) {
        json.Item();
        json.Unsigned(v);
    }
    json.End(']');
    json.Key("hex");
    json.Begin('[');
    for (DWORD v : {0u, 0xAu, 0xBEEFu, 0x12345u, 0xFFFFFFFFu}) {
        json.Item();
        json.Raw("\"0x");
        json.Hex(v, 4);
        json.Raw("\"");
    }
    json.End(']');
    json.Key(DWORD(255));
    json.Bool(true);
    json.Key("escapes");
    const char text[] = "\"\\\x01\x1f \xc3\xa9 \0end";
    json.String(text, sizeof text - 1);
    json.Key("nested");
    json.Begin('[');
    json.Item();
    json.Begin('{');
    json.Key("a");
    json.Bool(false);
    json.End('}');
    json.End(']');
    json.End('}');
    json.Raw("\n");
    std::ifstream expected(std::string(TARVEL_UNIT_DATA) + "/json_writer.txt", std::ios::binary);
    EXPECT_EQ(std::string(out.Data, out.Length),
              std::string(std::istreambuf_iterator<char>(expected), {}));
    capture::ReleaseArena();
}
