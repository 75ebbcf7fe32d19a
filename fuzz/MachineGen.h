// Turns fuzz bytes into a simulated machine and a command line for one
// whole run of the program.
#pragma once
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace tarvel::fuzz {

struct GeneratedRun {
    std::string machine;  // the machine description, JSON
    std::string cmdline;  // what GetCommandLineA answers
    // Some text of the machine holds a line feed, so that a device block
    // can no longer be told from a line inside a name.
    bool lineFeedInTexts = false;
};

GeneratedRun GenerateRun(FuzzedDataProvider& in);

}  // namespace tarvel::fuzz
