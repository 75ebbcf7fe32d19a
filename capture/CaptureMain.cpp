// The capture's command line, its flow and where the file goes.
#include "capture/Capture.h"

#include "capture/MachineOut.h"
#include "capture/Texts.h"
#include "runtime/CRTreplace.h"
#include "runtime/CmdLine.h"
#include "sysinfo/ErrorNames.h"
#include "sysinfo/SysLib.h"

namespace tarvel {

namespace {

const char kUsage[] =
    "Usage: tarvel-capture [-mask] [file]\n"
    "  Writes what this machine's USB stack answers as a machine file that\n"
    "  tarvel-sim replays (to standard output when no file, or -, is given).\n"
    "  -mask  replaces serial numbers with placeholders\n";

int Usage() {
    printf("%s", kUsage);
    return 2;
}

void WriteAll(HANDLE handle, const char* data, int length, bool& ok) {
    while (ok && length > 0) {
        DWORD written = 0;
        DWORD chunk = length > 65536 ? 65536 : DWORD(length);
        ok = WriteFile(handle, data, chunk, &written, NULL) && written > 0;
        data += written;
        length -= int(written);
    }
}

void Complain(const char* what, const char* file) {
    char line[1200];
    int length = wsprintfA(line, "tarvel-capture: cannot %s %.1000s (%s)\n", what, file,
                           GetLastErrorName());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, DWORD(length), &written, NULL);
}

// Writes the file; false (with a line on standard error) when it cannot.
bool Deliver(const capture::Output& out, const char* file) {
    bool ok = true;
    if (!file) {
        WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), out.Data, out.Length, ok);
        if (!ok) Complain("write to", "standard output");
        return ok;
    }
    HANDLE handle =
        CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        Complain("create", file);
        return false;
    }
    WriteAll(handle, out.Data, out.Length, ok);
    if (!ok) Complain("write", file);
    CloseHandle(handle);
    return ok;
}

void Capture(capture::Machine& m, bool mask) {
    capture::ResetTexts();
    capture::Note(m, "Captured by tarvel-capture (%s).", PlatformText);
    capture::ReadSystem(m);
    capture::ReadConsole(m);
    capture::ReadControllers(m);
    capture::ReadHubSet(m);
    capture::Assemble(m);
    if (mask) {
        capture::MaskSerials(m);
        capture::Note(m, "Serial numbers are replaced with placeholders (-mask).");
    }
    capture::MakeNamesUnique(m);
}

}  // namespace

int CaptureMain(int argc, char** argv) {
    bool mask = false;
    const char* file = NULL;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (arg[0] == 0) return Usage();  // no file has an empty name
        // '/' starts an option only when one follows: a path may begin with it.
        bool known = lstrcmpiA(arg + 1, "mask") == 0 || lstrcmpA(arg + 1, "?") == 0;
        bool option = (arg[0] == '-' && arg[1] != 0) || (arg[0] == '/' && known);
        if (option && lstrcmpiA(arg + 1, "mask") == 0) {
            mask = true;
        } else if (option || file) {
            return Usage();
        } else {
            file = arg;
        }
    }
    if (file && lstrcmpA(file, "-") == 0) file = NULL;
    capture::Machine* m = static_cast<capture::Machine*>(capture::Take(sizeof(capture::Machine)));
    Capture(*m, mask);
    capture::Output out = {};
    capture::WriteMachine(*m, out);
    bool written = Deliver(out, file);
    capture::ReleaseArena();
    return written ? 0 : 1;
}

void CaptureEntry() {
    HardenLibrarySearch();
    SetHeapHandle(GetProcessHeap());
    static char* args[kMaxArgs];
    int count = 0;
    // A line too long to split may name a file that would be missed.
    if (!SplitCommandLine(count, args)) ExitProcess(Usage());
    ExitProcess(CaptureMain(count, args));
}

}  // namespace tarvel
