// tarvel-capture: records what a machine's USB stack answers as a machine
// file that the simulated machine replays.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

// The capture's flow: reads everything, writes the file; returns the exit
// code (0 written, 1 the file could not be written, 2 usage).
int CaptureMain(int argc, char** argv);

// The process entry of the capture: as the product's, with CaptureMain.
[[noreturn]] void CaptureEntry();

}  // namespace tarvel
