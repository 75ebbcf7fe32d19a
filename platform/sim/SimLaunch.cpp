// What every simulated run does before the program starts: the machine
// from TARVEL_MACHINE, the command line, the call trace, Ctrl+C.
#include "platform/sim/SimLaunch.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "platform/sim/Sim.h"
#include "platform/sim/SimFiles.h"
#include "runtime/CRTreplace.h"

namespace tarvel::sim {

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
    if (RaiseCtrlEvent(CTRL_C_EVENT)) return;
    ::signal(signal, SIG_DFL);
    raise(signal);
}

int Refuse(const std::string& line) {
    fprintf(stderr, "%s\n", line.c_str());
    return 1;
}

}  // namespace

int Launch(int argc, char** argv) {
    std::string json = DemoMachineJson();
    const char* machinePath = getenv("TARVEL_MACHINE");
    if (machinePath && *machinePath && !ReadWholeFile(machinePath, json))
        return Refuse(std::string("cannot read the machine description ") + machinePath);
    std::string error;
    if (!LoadMachineJson(json, error)) return Refuse(error);

    const char* cmdline = getenv("TARVEL_CMDLINE");
    SetCommandLine(cmdline ? cmdline : JoinArguments(argc, argv));
    const char* trace = getenv("TARVEL_TRACE");
    if (trace && *trace) {
        SetTraceFile(trace);
        if (!TraceFileOpen())
            return Refuse(std::string("cannot open the trace file ") + trace);
    }
    signal(SIGINT, OnInterrupt);
    return 0;
}

void ExitIfUnreleased(const char* program, size_t allowedBlocks, int allowedBytes,
                      int allowedSections) {
    const int kUnreleased = 70;
    size_t blocks = LiveHeapBlocks();
    int sections = LiveCriticalSections();
    size_t handles = LiveUsbHandles() + LiveHostFiles();
    int libraries = LiveLibraryReferences();
    if (blocks == allowedBlocks && AllocSum == allowedBytes && sections == allowedSections &&
        handles == 0 && libraries == 0)
        return;
    fprintf(stderr,
            "%s: left at exit: %zu heap blocks of %d bytes (allowed: %zu of %d bytes), "
            "%d critical sections, %zu device handles, sets or files, %d library references\n",
            program, blocks, AllocSum, allowedBlocks, allowedBytes, sections, handles, libraries);
    exit(kUnreleased);
}

}  // namespace tarvel::sim
