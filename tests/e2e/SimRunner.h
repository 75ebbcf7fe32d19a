// Runs tarvel-sim as a process on a machine description.
#pragma once
#include <string>

struct SimRun {
    std::string out;    // exact bytes of standard output
    std::string trace;  // the call trace
    int exitCode = -1;  // -1 when it did not exit normally
};

// machineJson: the machine description (empty: the built-in demo machine).
// cmdline: the exact command line GetCommandLineA answers.
SimRun RunSim(const std::string& machineJson, const std::string& cmdline);

// Turns "\n" into "\r\n" so that expectations read like the program's formats.
std::string Crlf(const std::string& text);
