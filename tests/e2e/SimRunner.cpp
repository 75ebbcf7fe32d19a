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

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Drain(int fd) {
    std::string all;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) all.append(buf, n);
    return all;
}

SimRun Run(const std::string& machinePath, const std::string& cmdline) {
    SimRun run;
    std::string tracePath = TempPath(".trace");
    int outPipe[2];
    if (pipe(outPipe) != 0) return run;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        close(outPipe[0]);
        close(outPipe[1]);
        int nul = open("/dev/null", O_RDONLY);
        dup2(nul, 0);
        if (!machinePath.empty()) setenv("TARVEL_MACHINE", machinePath.c_str(), 1);
        else unsetenv("TARVEL_MACHINE");
        setenv("TARVEL_CMDLINE", cmdline.c_str(), 1);
        setenv("TARVEL_TRACE", tracePath.c_str(), 1);
        execl(TARVEL_SIM_EXE, TARVEL_SIM_EXE, (char*)nullptr);
        _exit(127);
    }
    close(outPipe[1]);
    run.out = Drain(outPipe[0]);
    close(outPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.trace = ReadFile(tracePath);
    std::remove(tracePath.c_str());
    return run;
}

}  // namespace

SimRun RunSim(const std::string& machineJson, const std::string& cmdline) {
    if (machineJson.empty()) return Run("", cmdline);
    std::string path = TempPath(".json");
    {
        std::ofstream out(path, std::ios::binary);
        out << machineJson;
    }
    SimRun run = Run(path, cmdline);
    std::remove(path.c_str());
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
