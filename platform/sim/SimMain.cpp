// tarvel-sim: the program on a simulated Windows machine.
#include "app/Program.h"
#include "runtime/CRTreplace.h"
#include "platform/sim/Sim.h"
#include "platform/sim/SimLaunch.h"

namespace {

// At the end of a run everything taken must be given back, so that a
// forgotten release fails every run that reaches it. The one exception:
// a run ended early with exit code 2 (usage, too many IDs, a command line
// too long) leaves the ID copies read so far and the two critical sections
// of start-up to the end of the process.
void CheckReleased(unsigned code) {
    bool early = code == 2;
    size_t idCopies = 0;
    int idBytes = 0;
    for (int i = 0; early && i < tarvel::kMaxIds && tarvel::IdList[i] != NULL; i++) {
        tarvel::SIZE_T size = tarvel::HeapSize(tarvel::GetProcessHeap(), 0, tarvel::IdList[i]);
        if (size == (tarvel::SIZE_T)-1) continue;
        idCopies++;
        idBytes += (int)size;
    }
    tarvel::sim::ExitIfUnreleased("tarvel-sim", idCopies, idBytes, early ? 2 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    int refused = tarvel::sim::Launch(argc, argv);
    if (refused) return refused;
    tarvel::sim::SetExitHook(CheckReleased);
    tarvel::Entry();
}
