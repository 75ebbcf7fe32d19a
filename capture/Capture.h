// tarvel-capture: writes the machine it runs on as a machine file.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

// The capture itself; returns the exit code (0 written, 1 the file could
// not be written, 2 usage).
int CaptureMain(int argc, char** argv);

// The process entry: hardens the library search, takes the heap, splits
// the command line, runs CaptureMain and ends the process with its result.
[[noreturn]] void CaptureEntry();

}  // namespace tarvel
