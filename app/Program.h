// Start-up, the program flow and its settings.
#pragma once
#include "platform/Platform.h"
#include "sysinfo/Version.h"

namespace tarvel {

const int kMaxIds = 5;

extern BOOL NoAbout;
extern int WaitMs;
extern int DebugLevel;
extern char* IdList[kMaxIds + 1];

// The process entry: hardens the library search, takes the heap, splits
// the command line, runs main and ends the process with its result.
[[noreturn]] void Entry();

// The program flow; returns the exit code (0, 2, 3 or 4).
int main(int argc, char** argv);

// The program's own file version, read at start for the banner.
extern FileVersionRecord ProgramVersion;

void PrintAbout();
void PrintUsage();

}  // namespace tarvel
