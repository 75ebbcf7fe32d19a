// Captures of the machines made from the fuzz bytes: whatever the machine
// answers, the capture ends with exit code 0, gives back every heap block,
// handle and library it took, and writes a file the simulated machine
// takes, whose own capture it takes too. (That the program prints on the
// capture what it prints on the machine is checked on a fixed set of these
// machines by the unit tests: on a machine whose node tree disagrees with
// its walk the capture can only approximate the order of the nodes.)
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>

#include "CaptureLoop.h"
#include "FuzzCheck.h"
#include "MachineGen.h"
#include "platform/sim/Machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    tarvel::fuzz::GeneratedRun run = tarvel::fuzz::GenerateRun(in);
    std::string failed, error;
    tarvel::sim::Machine parsed;
    std::string captured = tarvel::fuzz::CaptureMachine(run.machine, false, failed);
    FUZZ_REQUIRE(failed.empty(), "the capture failed or kept what it took");
    FUZZ_REQUIRE(tarvel::sim::ParseMachine(captured, parsed, error), "the capture is refused");
    std::string again = tarvel::fuzz::CaptureMachine(captured, true, failed);
    FUZZ_REQUIRE(failed.empty(), "the masked capture of the capture failed");
    FUZZ_REQUIRE(tarvel::sim::ParseMachine(again, parsed, error), "the masked capture is refused");
    return 0;
}
