// tarvel-capture-sim: the capture on a simulated Windows machine.
#include "capture/Capture.h"
#include "platform/sim/Sim.h"
#include "platform/sim/SimLaunch.h"

namespace {

// The capture gives back everything it took, whatever its exit code.
void CheckReleased(unsigned) { tarvel::sim::ExitIfUnreleased("tarvel-capture-sim", 0, 0, 0); }

}  // namespace

int main(int argc, char** argv) {
    int refused = tarvel::sim::Launch(argc, argv);
    if (refused) return refused;
    tarvel::sim::SetExitHook(CheckReleased);
    tarvel::CaptureEntry();
}
