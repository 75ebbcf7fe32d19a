#include "CaptureLoop.h"

#include <nlohmann/json.hpp>
#include <regex>

#include "app/Program.h"
#include "capture/Capture.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Sim.h"
#include "runtime/CRTreplace.h"
#include "runtime/CmdLine.h"

namespace tarvel::fuzz {

namespace {

struct ProgramRun {
    int code;
    std::string out;
};

void Load(const std::string& machine) {
    std::string error;
    sim::LoadMachineJson(machine, error);
    sim::CaptureStdout(true);
    SetHeapHandle(GetProcessHeap());
    DiagLevel = 0;
}

ProgramRun Program(const std::string& machine, const std::string& line) {
    static char* args[kMaxArgs];
    Load(machine);
    sim::SetCommandLine(line);
    int argc = 0;
    SplitCommandLine(argc, args);
    ProgramRun run = {main(argc, args), sim::CapturedStdout()};
    for (char*& id : IdList) {  // as the end of the process takes them back
        HeapDelete(id);
        id = NULL;
    }
    sim::CaptureStdout(false);
    return run;
}

// The capture of a real machine says its clock is real; replays here
// need not wait.
std::string Replayable(std::string capture) {
    size_t at = capture.find("\"clock\": \"real\"");
    if (at != std::string::npos) capture.replace(at, 15, "\"clock\": \"virtual\"");
    return capture;
}

std::string WithoutNodeNumbers(const std::string& out) {
    return std::regex_replace(out, std::regex(R"(Dev\[ *\d+\]= *\d+)"), "Dev[]=");
}

std::string SecondCaptureBreak(const std::string& captured, std::string& again) {
    std::string failed;
    again = CaptureMachine(captured, false, failed);
    nlohmann::json first = nlohmann::json::parse(captured);
    nlohmann::json second = nlohmann::json::parse(again);
    if (!failed.empty()) return failed;
    for (const auto& note : second["notes"])
        if (std::find(first["notes"].begin(), first["notes"].end(), note) == first["notes"].end())
            return "a second capture notes " + note.dump();
    first.erase("notes");
    second.erase("notes");
    if (first != second) return "a second capture differs:\n" + nlohmann::json::diff(first, second).dump(1);
    return "";
}

std::string Difference(const std::string& line, const ProgramRun& m, const ProgramRun& again,
                       bool exactNodes) {
    // Node numbers show only in the diagnostic lines, whichever -D: asked.
    std::string a = exactNodes ? m.out : WithoutNodeNumbers(m.out);
    std::string b = exactNodes ? again.out : WithoutNodeNumbers(again.out);
    if (m.code == again.code && a == b) return "";
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) at++;
    size_t start = a.rfind('\n', at);
    start = start == std::string::npos ? 0 : start + 1;
    return line + ": exit " + std::to_string(m.code) + "/" + std::to_string(again.code) +
           ", output differs from: " + a.substr(start, 160) + " | " + b.substr(start, 160);
}

}  // namespace

std::string CaptureMachine(const std::string& machine, bool mask, std::string& failed) {
    Load(machine);
    size_t blocks = sim::LiveHeapBlocks();
    int bytes = AllocSum;
    size_t handles = sim::LiveUsbHandles();
    char name[] = "tarvel-capture", option[] = "-mask";
    char* argv[] = {name, option};
    int code = CaptureMain(mask ? 2 : 1, argv);
    std::string out = sim::CapturedStdout();
    sim::CaptureStdout(false);
    if (code != 0) failed = "the capture exits " + std::to_string(code);
    if (sim::LiveHeapBlocks() != blocks || AllocSum != bytes || sim::LiveUsbHandles() != handles ||
        sim::LiveLibraryReferences() != 0)
        failed = "the capture does not give back what it took";
    return out;
}

LoopBreak CheckLoop(const std::string& machine, std::vector<std::string> lines, bool exactNodes) {
    std::string failed;
    std::string captured = CaptureMachine(machine, false, failed);
    if (!failed.empty()) return {failed, "", false};
    std::string error;
    sim::Machine parsed;
    if (!sim::ParseMachine(captured, parsed, error))
        return {"the capture is refused: " + error, "", false};
    // Masking writes texts longer than the ones it replaces.
    std::string masked = CaptureMachine(machine, true, failed);
    if (!failed.empty()) return {"the masked capture: " + failed, "", false};
    if (!sim::ParseMachine(masked, parsed, error))
        return {"the masked capture is refused: " + error, "", false};
    std::string again;
    LoopBreak broken = {"", SecondCaptureBreak(captured, again),
                        captured.find("in an order no machine file gives") != std::string::npos};
    std::string replay = Replayable(captured);
    lines.push_back("tarvel -D:1 -na");
    for (const std::string& line : lines) {
        ProgramRun onReplay = Program(replay, line);
        broken.replay = Difference(line, Program(machine, line), onReplay, exactNodes);
        // A second capture that differs must still replay alike.
        if (broken.replay.empty() && !broken.roundTrip.empty()) {
            std::string second = Difference(line, onReplay, Program(Replayable(again), line), false);
            if (!second.empty()) broken.replay = "the second capture: " + second;
        }
        if (!broken.replay.empty()) break;
    }
    return broken;
}

}  // namespace tarvel::fuzz
