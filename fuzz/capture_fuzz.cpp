// Captures of the machines made from the fuzz bytes: the capture always
// ends well and gives back what it took, its file always parses, and
// wherever no two devices answer to one path the program prints on the
// capture what it prints on the machine, for the generated command line,
// the listing and -D:1.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>

#include "CaptureLoop.h"
#include "FuzzCheck.h"
#include "MachineGen.h"
#include "platform/sim/Sim.h"

namespace {

void OnExit(unsigned code) {
    fprintf(stderr, "ExitProcess(%u) inside a run\n", code);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarvel::sim::SetExitHook(OnExit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    tarvel::fuzz::GeneratedRun run = tarvel::fuzz::GenerateRun(in);
    tarvel::fuzz::LoopBreak broken = tarvel::fuzz::CheckLoop(run.machine, {"tarvel", run.cmdline}, false);
    if (broken.replay.empty()) return 0;
    fprintf(stderr, "%s\n", broken.replay.c_str());
    FUZZ_REQUIRE(broken.replay.compare(0, 11, "the capture") != 0, "the capture itself failed");
    FUZZ_REQUIRE(tarvel::fuzz::PathsCollide(run.machine), "the capture does not replay");
    return 0;
}
