// The program's own command-line splitter.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

const int kMaxArgs = 32;
const int kCmdLineBufferSize = 1280;

// Splits GetCommandLineA() into at most kMaxArgs arguments that live in a
// static buffer until the process ends. Returns false, with count 0, when
// the command line does not fit the buffer.
bool SplitCommandLine(int& count, char* args[kMaxArgs]);

// Whether the last SplitCommandLine refused a command line too long.
bool CommandLineTooLong();

}  // namespace tarvel
