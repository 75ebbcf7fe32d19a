// tarvel-sim: the program on a simulated Windows machine.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>

#include "app/Program.h"
#include "runtime/CRTreplace.h"
#include "platform/sim/Sim.h"

namespace {

bool ReadWholeFile(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream all;
    all << in.rdbuf();
    text = all.str();
    return !in.bad();
}

// argv as a Windows command line: an argument that is empty or holds a
// blank or a tab is quoted.
std::string JoinArguments(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
        if (i > 0) line += ' ';
        line += quote ? "\"" + arg + "\"" : arg;
    }
    return line;
}

// Ctrl+C reaches the program's console control handler, as on Windows;
// without a handler that takes it the process ends as usual.
void OnInterrupt(int signal) {
    if (tarvel::sim::RaiseCtrlEvent(CTRL_C_EVENT)) return;
    ::signal(signal, SIG_DFL);
    raise(signal);
}

int Refuse(const std::string& line) {
    fprintf(stderr, "%s\n", line.c_str());
    return 1;
}

// The exit code of a run that did not give back what it took.
const int kUnreleased = 70;

// At the end of a run everything taken must be given back, so that a
// forgotten release fails every run that reaches it. The one exception:
// a run ended early with exit code 2 (usage, too many IDs, a command line
// too long) leaves the ID copies read so far and the two critical sections
// of start-up to the end of the process.
void CheckReleased(unsigned code) {
    bool early = code == 2;
    size_t idCopies = 0;
    int idBytes = 0;
    for (int i = 0; early && i < tarvel::kMaxIds && tarvel::IdList[i] != NULL; i++) {
        tarvel::SIZE_T size = tarvel::HeapSize(tarvel::GetProcessHeap(), 0, tarvel::IdList[i]);
        if (size == (tarvel::SIZE_T)-1) continue;
        idCopies++;
        idBytes += (int)size;
    }
    size_t blocks = tarvel::sim::LiveHeapBlocks();
    int sections = tarvel::sim::LiveCriticalSections();
    size_t handles = tarvel::sim::LiveUsbHandles();
    int libraries = tarvel::sim::LiveLibraryReferences();
    if (blocks == idCopies && tarvel::AllocSum == idBytes && sections == (early ? 2 : 0) &&
        handles == 0 && libraries == 0)
        return;
    fprintf(stderr,
            "tarvel-sim: left at exit: %zu heap blocks of %d bytes (ID copies allowed: %zu of %d "
            "bytes), %d critical sections, %zu device handles or sets, %d library references\n",
            blocks, tarvel::AllocSum, idCopies, idBytes, sections, handles, libraries);
    exit(kUnreleased);
}

}  // namespace

int main(int argc, char** argv) {
    std::string json = tarvel::sim::DemoMachineJson();
    const char* machinePath = getenv("TARVEL_MACHINE");
    if (machinePath && *machinePath && !ReadWholeFile(machinePath, json))
        return Refuse(std::string("cannot read the machine description ") + machinePath);
    std::string error;
    if (!tarvel::sim::LoadMachineJson(json, error)) return Refuse(error);

    const char* cmdline = getenv("TARVEL_CMDLINE");
    tarvel::sim::SetCommandLine(cmdline ? cmdline : JoinArguments(argc, argv));
    const char* trace = getenv("TARVEL_TRACE");
    if (trace && *trace) {
        tarvel::sim::SetTraceFile(trace);
        if (!tarvel::sim::TraceFileOpen())
            return Refuse(std::string("cannot open the trace file ") + trace);
    }
    signal(SIGINT, OnInterrupt);
    tarvel::sim::SetExitHook(CheckReleased);
    tarvel::Entry();
}
