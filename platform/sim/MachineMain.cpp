// tarvel-machine: what the simulated machine makes of a machine file.
//   tarvel-machine check FILE    exit 0 when it is accepted, else 1 and the
//                                first bad key's path on stderr
//   tarvel-machine resolve FILE  the machine as played, every default filled
//                                in and every number assigned, as JSON
// Both warn on stderr of what an accepted file says that Windows would not
// answer.
#include <stdio.h>
#include <string.h>

#include <iostream>

#include "platform/sim/Machine.h"
#include "platform/sim/MachineResolve.h"

namespace {

int Usage() {
    fprintf(stderr, "usage: tarvel-machine check FILE\n"
                    "       tarvel-machine resolve FILE\n");
    return 2;
}

// A problem number goes to the caller only with DN_HAS_PROBLEM in the
// status: without it the file's number is never seen.
void WarnOfHiddenProblems(const char* file, const tarvel::sim::Machine& machine) {
    for (const tarvel::sim::UsbNode& node : machine.usb.nodes)
        if (node.status_ok && node.problem != 0 && !(node.status & 0x400))
            fprintf(stderr, "%s: warning: %s.problem: %u is answered as 0, the status lacks "
                            "DN_HAS_PROBLEM (0x400)\n",
                    file, node.at.c_str(), node.problem);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Usage();
    bool resolve = strcmp(argv[1], "resolve") == 0;
    if (!resolve && strcmp(argv[1], "check") != 0) return Usage();
    // A directory opens, but its reads fail: only a read to the end counts.
    std::string text;
    FILE* in = fopen(argv[2], "rb");
    char block[65536];
    for (size_t n; in && (n = fread(block, 1, sizeof block, in)) > 0;) text.append(block, n);
    bool read = in && !ferror(in);
    if (in) fclose(in);
    if (!read) {
        fprintf(stderr, "%s: cannot be read\n", argv[2]);
        return 1;
    }
    tarvel::sim::Machine machine;
    std::string error;
    if (!tarvel::sim::ParseMachine(text, machine, error)) {
        fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
        return 1;
    }
    WarnOfHiddenProblems(argv[2], machine);
    if (resolve) std::cout << tarvel::sim::ResolvedMachine(machine).dump(1) << "\n";
    return 0;
}
