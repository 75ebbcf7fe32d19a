// The simulator's process-wide state: the loaded machine, the call trace,
// captured output and the exit hook.
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"

namespace tarvel {
const char PlatformText[] = "Win32";  // the simulator models the 32-bit product
}

namespace tarvel::sim {
namespace {

Machine& TheMachine() {
    static Machine machine;
    return machine;
}

struct State {
    std::vector<char> commandLine{'\0'};
    int traceFd = -1;
    bool captureTrace = false;
    std::string trace;
    bool captureStdout = false;
    std::string out;
    void (*exitHook)(unsigned) = nullptr;
};

State& S() {
    static State state;
    return state;
}

void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n <= 0) return;
        data += n;
        size -= (size_t)n;
    }
}

}  // namespace

Machine& Current() { return TheMachine(); }

bool LoadMachineJson(const std::string& json, std::string& error) {
    Machine machine;
    if (!ParseMachine(json, machine, error)) return false;
    LoadMachine(machine);
    return true;
}

void LoadMachine(const Machine& machine) {
    TheMachine() = machine;
    S().trace.clear();
    S().out.clear();
    ResetConsole();
    ResetModules();
    ResetProcess();
    ResetHeap();
    ResetUsbState(TheMachine().usb);
}

void SetCommandLine(const std::string& line) {
    S().commandLine.assign(line.begin(), line.end());
    S().commandLine.push_back('\0');
}

char* CommandLineText() { return S().commandLine.data(); }

void Trace(const char* format, ...) {
    if (S().traceFd < 0 && !S().captureTrace) return;
    char line[2048];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) return;
    if (n > (int)sizeof line - 2) n = (int)sizeof line - 2;
    line[n++] = '\n';
    // Written at once, so that a trap or an abort loses no line.
    if (S().traceFd >= 0) WriteAll(S().traceFd, line, (size_t)n);
    if (S().captureTrace) S().trace.append(line, (size_t)n);
}

void SetTraceFile(const std::string& path) {
    if (S().traceFd >= 0) close(S().traceFd);
    S().traceFd = -1;
    if (!path.empty()) S().traceFd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
}

bool TraceFileOpen() { return S().traceFd >= 0; }

void CaptureTrace(bool on) {
    S().captureTrace = on;
    S().trace.clear();
}

const std::string& CapturedTrace() { return S().trace; }

void CaptureStdout(bool on) {
    S().captureStdout = on;
    S().out.clear();
}

const std::string& CapturedStdout() { return S().out; }

void WriteStdout(const char* data, size_t size) {
    if (S().captureStdout)
        S().out.append(data, size);
    else
        WriteAll(1, data, size);
}

void SetExitHook(void (*hook)(unsigned code)) { S().exitHook = hook; }

void RunExitHook(unsigned code) {
    if (S().exitHook) S().exitHook(code);
    exit((int)code);
}

void Fatal(const char* what) {
    WriteAll(2, "tarvel-sim: ", 12);
    WriteAll(2, what, strlen(what));
    WriteAll(2, "\n", 1);
    abort();
}

}  // namespace tarvel::sim
