// The simulator's process-wide state and its hooks for tests.
#pragma once
#include <map>
#include <set>
#include <string>

#include "platform/sim/Machine.h"

namespace tarvel::sim {

// Installs a machine for the next run and resets every simulated service
// (handles, last error, trace, heap accounting). Returns false with an
// error line when the description is refused.
bool LoadMachineJson(const std::string& json, std::string& error);
void LoadMachine(const Machine& machine);
Machine& Current();

// The text GetCommandLineA answers.
void SetCommandLine(const std::string& line);

// Appends one line (a line feed is added) to the call trace, when tracing.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SetTraceFile(const std::string& path);  // empty: no trace
bool TraceFileOpen();
// In-memory trace for tests: every traced line, in order.
void CaptureTrace(bool on);
const std::string& CapturedTrace();

// Standard output: by default the real fd 1; tests may capture it.
void CaptureStdout(bool on);
const std::string& CapturedStdout();

// What ExitProcess does: by default flush the trace and exit().
void SetExitHook(void (*hook)(unsigned code));

// Critical sections initialised and not yet deleted.
int LiveCriticalSections();

// Blocks of the process heap allocated and not yet freed.
size_t LiveHeapBlocks();

// Device handles and device information sets opened and not yet closed.
size_t LiveUsbHandles();

// The input and output sizes of the hub and controller queries since the
// machine was loaded, by IOCTL name: the areas the program passes.
using IoctlAreaMap = std::map<std::string, std::set<std::pair<uint32_t, uint32_t>>>;
const IoctlAreaMap& IoctlAreas();

// LoadLibraryA calls not yet matched by FreeLibrary.
int LiveLibraryReferences();

// The mode of the console's input, as SetConsoleMode last left it.
uint32_t ConsoleInputMode();

// Delivers a console control event (CTRL_C_EVENT ...) to the installed
// handlers, the last installed first; true when one of them handled it.
bool RaiseCtrlEvent(unsigned type);

}  // namespace tarvel::sim
