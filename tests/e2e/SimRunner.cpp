#include "SimRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string TempPath(const char* stem) {
    char buf[] = "/tmp/tarvel-e2e-XXXXXX";
    int fd = mkstemp(buf);
    if (fd >= 0) close(fd);
    std::remove(buf);  // only its name is wanted, as the stem of ours
    return std::string(buf) + stem;
}

}  // namespace

SimRun RunSim(const std::string& machineJson, const std::string& cmdline) {
    SimRun run;
    std::string tracePath = TempPath(".trace"), machinePath;
    if (!machineJson.empty()) {
        machinePath = TempPath(".json");
        std::ofstream(machinePath, std::ios::binary) << machineJson;
    }
    int outPipe[2];
    if (pipe(outPipe) != 0) return run;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        close(outPipe[0]);
        close(outPipe[1]);
        dup2(open("/dev/null", O_RDONLY), 0);
        if (!machinePath.empty()) setenv("TARVEL_MACHINE", machinePath.c_str(), 1);
        else unsetenv("TARVEL_MACHINE");
        setenv("TARVEL_CMDLINE", cmdline.c_str(), 1);
        setenv("TARVEL_TRACE", tracePath.c_str(), 1);
        execl(TARVEL_SIM_EXE, TARVEL_SIM_EXE, (char*)nullptr);
        _exit(127);
    }
    close(outPipe[1]);
    char buf[4096];
    for (ssize_t n; (n = read(outPipe[0], buf, sizeof buf)) > 0;) run.out.append(buf, n);
    close(outPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    std::ifstream trace(tracePath, std::ios::binary);
    std::stringstream text;
    text << trace.rdbuf();
    run.trace = text.str();
    std::remove(tracePath.c_str());
    if (!machinePath.empty()) std::remove(machinePath.c_str());
    return run;
}

std::string Crlf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}
