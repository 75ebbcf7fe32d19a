// Process services: last error, command line, exit, pauses, traps and
// critical sections.
#include <signal.h>
#include <stdio.h>
#include <time.h>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"

namespace tarvel::sim {
namespace {

DWORD lastError = 0;
int liveSections = 0;

// Marks a section as initialised; a real one holds a debug-info pointer.
void* const kInitialised = (void*)(uintptr_t)0x5EC7;

void CheckInitialised(LPCRITICAL_SECTION cs, const char* function) {
    if (!cs || cs->DebugInfo != kInitialised) {
        static char line[128];
        snprintf(line, sizeof line, "%s on an uninitialised critical section", function);
        Fatal(line);
    }
}

}  // namespace

void ResetProcess() {
    lastError = 0;
    liveSections = 0;
}

int LiveCriticalSections() { return liveSections; }

}  // namespace tarvel::sim

namespace tarvel {

using namespace sim;

DWORD GetLastError() { return sim::lastError; }

void SetLastError(DWORD code) { sim::lastError = code; }

LPSTR GetCommandLineA() { return CommandLineText(); }

void ExitProcess(UINT code) {
    RunExitHook(code);
    __builtin_unreachable();
}

HANDLE GetCurrentProcess() { return (HANDLE)(intptr_t)-1; }

DWORD GetCurrentProcessId() { return 0x1F40; }

void Sleep(DWORD ms) {
    Trace("Sleep %u", ms);
    if (Current().virtual_clock) return;
    timespec pause = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0) {}
}

// No sound in the simulator: the call is traced, as the program's only
// signal of a damaged heap when it prints nothing.
BOOL Beep(DWORD frequency, DWORD duration) {
    Trace("Beep %u %u", frequency, duration);
    return TRUE;
}

void DebugBreak() { raise(SIGTRAP); }

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    if (!cs) Fatal("InitializeCriticalSection of a null pointer");
    cs->DebugInfo = kInitialised;
    cs->LockCount = -1;
    cs->RecursionCount = 0;
    cs->OwningThread = nullptr;
    cs->LockSemaphore = nullptr;
    cs->SpinCount = 0;
    ++sim::liveSections;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) {
    CheckInitialised(cs, "EnterCriticalSection");
    ++cs->LockCount;
    ++cs->RecursionCount;
    cs->OwningThread = (HANDLE)(uintptr_t)1;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    CheckInitialised(cs, "LeaveCriticalSection");
    if (cs->RecursionCount <= 0) Fatal("LeaveCriticalSection of a section not entered");
    --cs->LockCount;
    if (--cs->RecursionCount == 0) cs->OwningThread = nullptr;
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    CheckInitialised(cs, "DeleteCriticalSection");
    // Deleting a section that is still entered leaves its owner undefined.
    if (cs->RecursionCount != 0) Fatal("DeleteCriticalSection of a section still entered");
    cs->DebugInfo = nullptr;
    --sim::liveSections;
}

}  // namespace tarvel
