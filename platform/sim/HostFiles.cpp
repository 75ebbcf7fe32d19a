// Files a program creates on the simulated machine are real files of the
// host, under the path it gives: the capture writes its machine file so.
#include <fcntl.h>
#include <unistd.h>

#include <map>

#include "platform/sim/Sim.h"
#include "platform/sim/SimFiles.h"

namespace tarvel::sim {

namespace {

const uintptr_t kFileBase = 0x70000000;

struct HostFile {
    int fd;
    std::string path;
};

std::map<uintptr_t, HostFile>& Files() {
    static std::map<uintptr_t, HostFile> files;
    return files;
}

}  // namespace

HANDLE CreateHostFile(const char* path) {
    static uintptr_t next = 0;
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Trace("CreateFileA %s -> %s", path, fd >= 0 ? "ok" : "fail");
    if (fd < 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    uintptr_t value = kFileBase + 4 * ++next;
    Files()[value] = HostFile{fd, path};
    SetLastError(ERROR_SUCCESS);
    return HANDLE(value);
}

bool IsHostFile(HANDLE handle) { return Files().count(uintptr_t(handle)) == 1; }

BOOL WriteHostFile(HANDLE handle, const void* data, DWORD size, DWORD* written) {
    const HostFile& file = Files().at(uintptr_t(handle));
    DWORD done = 0;
    while (done < size) {
        ssize_t n = write(file.fd, static_cast<const char*>(data) + done, size - done);
        if (n <= 0) break;
        done += DWORD(n);
    }
    if (written) *written = done;
    if (done == size) return TRUE;
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
}

bool CloseHostFile(HANDLE handle) {
    auto it = Files().find(uintptr_t(handle));
    if (it == Files().end()) return false;
    Trace("CloseHandle %s", it->second.path.c_str());
    close(it->second.fd);
    Files().erase(it);
    return true;
}

size_t LiveHostFiles() { return Files().size(); }

}  // namespace tarvel::sim
