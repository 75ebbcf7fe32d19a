// Whole runs of the program on machines and command lines made from the
// fuzz bytes. Each run must end with an exit code of 0, 2, 3 or 4, end
// every line with CR LF, print one block per record it reports, never the
// same port chain twice, and give back every heap block and critical
// section it took. What it deliberately keeps: the split command line and
// the rotating result texts are static, and a run that ends with the usage
// or "too many IDs" returns at once, leaving the ID copies stored so far
// and its two critical sections to the end of the process.
#include <fuzzer/FuzzedDataProvider.h>
#include <string.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "MachineGen.h"
#include "app/Program.h"
#include "platform/sim/Sim.h"
#include "runtime/CConsole.h"
#include "runtime/CRTreplace.h"
#include "runtime/CmdLine.h"
#include "sysinfo/ErrorNames.h"
#include "usb/CUsbDevInfo.h"
#include "usb/Matching.h"

namespace {

const char kPortLine[] = "USB Port     : ";
const char kPrompt[] = "Press any key to close";

struct Expected {
    int records = 0;                  // port records of the inventory
    std::vector<std::string> chains;  // the chains to be printed, in order
    int exitCode = 0;
};

void OnExit(unsigned code) {
    fprintf(stderr, "ExitProcess(%u) inside main\n", code);
    abort();
}

// Which arguments the flow takes as IDs: two characters or more, not an
// option. Sets options when any argument is one.
std::vector<std::string> IdArguments(int argc, char** argv, bool& options) {
    std::vector<std::string> ids;
    options = false;
    for (int i = 1; i < argc; i++) {
        char arg[MAX_PATH];
        tarvel::lstrcpynA(arg, argv[i], 256);
        tarvel::CharUpperA(arg);
        if (strlen(arg) < 2) continue;
        if (arg[0] == '-' || arg[0] == '/')
            options = true;
        else
            ids.push_back(arg);
    }
    return ids;
}

// A second walk of the same machine through the inventory alone: what the
// flow should have reported.
Expected Inventory(const std::string& machine, std::vector<std::string> ids) {
    std::string error;
    tarvel::sim::LoadMachineJson(machine, error);
    tarvel::DiagLevel = 0;                 // main leaves -D:n's level behind
    tarvel::sim::CaptureStdout(true);      // and its messages go nowhere
    tarvel::CConsole console;
    tarvel::Console = &console;
    tarvel::InitializeCriticalSection(&tarvel::ResultTextLock);  // as start-up does
    tarvel::CUsbDevInfo* info = new tarvel::CUsbDevInfo;
    info->Enumerate();
    Expected e;
    e.records = info->PortCount;
    std::vector<char*> list;
    for (std::string& id : ids) list.push_back(&id[0]);
    list.push_back(nullptr);
    bool selecting = !ids.empty();
    e.exitCode = selecting && e.records > 0 ? 4 : 0;
    for (int i = 0; i < info->PortCount; i++) {
        const tarvel::UsbPortRecord* port = info->Ports[i];
        if (selecting && !info->MatchPort(port->DevNode, port, list.data())) continue;
        e.chains.push_back(port->PortName);
        if (!selecting) continue;
        if (e.exitCode == 4) e.exitCode = 0;
        if (tarvel::DeviceStatus(*port) == 3) e.exitCode = 3;
    }
    delete info;
    tarvel::DeleteCriticalSection(&tarvel::ResultTextLock);
    tarvel::sim::CaptureStdout(false);
    tarvel::Console = nullptr;
    return e;
}

// The output without the key prompt, which ends no line.
std::string Lines(std::string out) {
    size_t prompt = strlen(kPrompt);
    if (out.size() >= prompt && out.compare(out.size() - prompt, prompt, kPrompt) == 0)
        out.resize(out.size() - prompt);
    return out;
}

void CheckLineEnds(const std::string& out) {
    for (size_t i = 0; i < out.size(); i++)
        FUZZ_REQUIRE(out[i] != '\n' || (i > 0 && out[i - 1] == '\r'), "a line ends in a bare LF");
    FUZZ_REQUIRE(out.empty() || out.back() == '\n', "the last line has no CR LF");
}

// Every line ends in CR LF by now.
std::vector<std::string> PrintedChains(const std::string& out) {
    std::vector<std::string> chains;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(kPortLine, 0) == 0)
            chains.push_back(line.substr(strlen(kPortLine), line.size() - strlen(kPortLine) - 1));
    return chains;
}

// What the end of the process would take back: the ID copies kept.
size_t ReleaseKeptIds() {
    size_t kept = 0;
    for (int i = 0; i < tarvel::kMaxIds; i++) {
        kept += tarvel::IdList[i] != nullptr;
        tarvel::HeapDelete(tarvel::IdList[i]);
        tarvel::IdList[i] = nullptr;
    }
    return kept;
}

struct ProgramRun {
    int exitCode = 0;
    std::string lines;   // standard output without the key prompt
    bool fits = false;   // the command line fitted the buffer
    int argc = 0;
    char** argv = nullptr;
};

// One run of main, started the way the entry starts it.
ProgramRun RunProgram(const std::string& cmdline) {
    static char* args[tarvel::kMaxArgs];
    ProgramRun r;
    tarvel::sim::SetCommandLine(cmdline);
    tarvel::sim::CaptureStdout(true);
    tarvel::SetHeapHandle(tarvel::GetProcessHeap());
    r.fits = tarvel::SplitCommandLine(r.argc, args);
    r.argv = args;
    r.exitCode = tarvel::main(r.argc, args);
    r.lines = Lines(tarvel::sim::CapturedStdout());
    tarvel::sim::CaptureStdout(false);
    return r;
}

void CheckResources(const ProgramRun& r, size_t blocks) {
    FUZZ_REQUIRE(r.exitCode == 0 || r.exitCode == 2 || r.exitCode == 3 || r.exitCode == 4,
                 "exit code outside 0, 2, 3, 4");
    bool earlyEnd = r.exitCode == 2;
    FUZZ_REQUIRE(ReleaseKeptIds() == 0 || earlyEnd, "ID copies kept after a full run");
    FUZZ_REQUIRE(tarvel::sim::LiveHeapBlocks() == blocks, "heap blocks leaked by the run");
    FUZZ_REQUIRE(tarvel::sim::LiveCriticalSections() == (earlyEnd ? 2 : 0),
                 "critical sections left alive");
}

// The exit code and the blocks against a second walk of the same machine.
void CheckOutcome(const tarvel::fuzz::GeneratedRun& run, const ProgramRun& r, size_t blocks) {
    bool options = false;
    std::vector<std::string> ids = IdArguments(r.argc, r.argv, options);
    if (!r.fits || ids.size() > (size_t)tarvel::kMaxIds) {
        FUZZ_REQUIRE(r.exitCode == 2, "an over-long line or too many IDs not refused");
        return;
    }
    if (r.exitCode == 2) {
        FUZZ_REQUIRE(options, "usage without an option to blame");
        return;
    }
    Expected expected = Inventory(run.machine, ids);
    FUZZ_REQUIRE(tarvel::sim::LiveHeapBlocks() == blocks, "heap blocks leaked by the inventory");
    FUZZ_REQUIRE(r.exitCode == expected.exitCode, "exit code differs from the inventory's");
    if (run.lineFeedInTexts) return;  // a name could forge a block line
    std::vector<std::string> printed = PrintedChains(r.lines);
    FUZZ_REQUIRE(printed == expected.chains, "printed blocks differ from the records");
    FUZZ_REQUIRE(std::set<std::string>(printed.begin(), printed.end()).size() == printed.size(),
                 "a port chain printed twice");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarvel::sim::SetExitHook(OnExit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    tarvel::fuzz::GeneratedRun run = tarvel::fuzz::GenerateRun(in);
    // What a regression test needs: the machine and the command line.
    if (getenv("TARVEL_FUZZ_DUMP"))
        fprintf(stderr, "machine: %s\ncmdline: %s\n", run.machine.c_str(), run.cmdline.c_str());
    std::string error;
    if (!tarvel::sim::LoadMachineJson(run.machine, error)) {
        fprintf(stderr, "generated machine refused: %s\n", error.c_str());
        abort();
    }
    size_t blocks = tarvel::sim::LiveHeapBlocks();
    ProgramRun result = RunProgram(run.cmdline);
    CheckResources(result, blocks);
    CheckLineEnds(result.lines);
    CheckOutcome(run, result, blocks);
    return 0;
}
