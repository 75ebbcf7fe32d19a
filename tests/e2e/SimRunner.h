// Runs tarvel-sim as a process on a machine description.
#pragma once
#include <string>

struct SimRun {
    std::string out;    // exact bytes of standard output
    std::string trace;  // the call trace
    int exitCode = -1;
};

// machine: empty for the built-in demo machine, JSON text (starting with
// '{'), or the path of a machine file. cmdline: what GetCommandLineA answers.
// exe: tarvel-sim, or another program on the simulated machine.
SimRun RunSim(const std::string& machine, const std::string& cmdline,
              const char* exe = TARVEL_SIM_EXE);

std::string Slurp(const std::string& path);

// Runs a shell command; its standard output, and its exit code in *exitCode
// (-1 when it did not exit).
std::string RunCommand(const std::string& command, int* exitCode);

// The lines of the trace that start with prefix, in order.
std::string TraceLines(const std::string& trace, const std::string& prefix);

inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}
