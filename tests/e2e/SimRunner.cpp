#include "SimRunner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string TempPath(const char* suffix) {
    static int made = 0;
    return "/tmp/tarvel-e2e-" + std::to_string(getpid()) + "-" + std::to_string(made++) + suffix;
}

}  // namespace

std::string RunCommand(const std::string& command, int* exitCode) {
    std::string text;
    FILE* out = popen(command.c_str(), "r");
    char buf[4096];
    for (size_t n; out && (n = fread(buf, 1, sizeof buf, out)) > 0;) text.append(buf, n);
    int status = out ? pclose(out) : -1;
    *exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return text;
}

SimRun RunSim(const std::string& machine, const std::string& cmdline, const char* exe) {
    std::string tracePath = TempPath(".trace"), machinePath = machine, written;
    if (!machine.empty() && machine[0] == '{') {
        machinePath = written = TempPath(".json");
        std::ofstream(written, std::ios::binary) << machine;
    }
    if (machinePath.empty()) unsetenv("TARVEL_MACHINE");
    else setenv("TARVEL_MACHINE", machinePath.c_str(), 1);
    setenv("TARVEL_CMDLINE", cmdline.c_str(), 1);
    setenv("TARVEL_TRACE", tracePath.c_str(), 1);
    SimRun run;
    run.out = RunCommand("'" + std::string(exe) + "' </dev/null 2>/dev/null", &run.exitCode);
    run.trace = Slurp(tracePath);
    std::remove(tracePath.c_str());
    if (!written.empty()) std::remove(written.c_str());
    return run;
}

std::string Slurp(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::string TraceLines(const std::string& trace, const std::string& prefix) {
    std::istringstream lines(trace);
    std::string picked;
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, prefix.size(), prefix) == 0) picked += line + "\n";
    return picked;
}
