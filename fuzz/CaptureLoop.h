// The capture's closed loop, in-process on the simulated machine: shared by
// the unit tests and the fuzzer.
#pragma once
#include <string>
#include <vector>

namespace tarvel::fuzz {

struct LoopBreak {
    std::string replay;     // how M and its capture M' differ, "" when they do not
    std::string roundTrip;  // how M' and its capture differ
    bool ordered;           // the capture notes a hub whose nodes it put in another order
};

// The capture of a machine (standard output of CaptureMain); failed is set
// when the capture does not exit 0 or does not give back what it took.
std::string CaptureMachine(const std::string& machine, bool mask, std::string& failed);

// The capture parses, and so does the masked one; a second capture gives the same file (its notes may
// be fewer: an order or a name changed once is plain in the replay), or at
// least replays alike; and each command line prints the same bytes with the
// same exit code on M and on M'. The device-node numbers of the diagnostic lines are compared only
// when exactNodes.
LoopBreak CheckLoop(const std::string& machine, std::vector<std::string> lines, bool exactNodes);

}  // namespace tarvel::fuzz
