// The start of a simulated run, shared by tarvel-sim and tarvel-capture-sim.
#pragma once
#include <stddef.h>

namespace tarvel::sim {

// Loads the machine (TARVEL_MACHINE, else the demo machine), sets the
// command line (TARVEL_CMDLINE, else argv) and the trace (TARVEL_TRACE).
// Returns 0, or 1 after a line on stderr when something is refused.
int Launch(int argc, char** argv);

// Ends the process with exit code 70 and a line on stderr when the run
// left more than the given heap blocks and bytes, or other critical
// sections, or any device handle, set, file or library reference.
void ExitIfUnreleased(const char* program, size_t blocks, int bytes, int sections);

}  // namespace tarvel::sim
