// The about banner and the usage text.
#include "app/Program.h"
#include "runtime/CRTreplace.h"

namespace tarvel {

void PrintAbout() {
    const FileVersionRecord& v = ProgramVersion;
    if (v.Revision != 0)
        printf("Tarvel V%u.%u.%u.%u", v.Major, v.Minor, v.Build, v.Revision);
    else
        printf("Tarvel V%u.%u.%u", v.Major, v.Minor, v.Build);
    printf(" (%s) - Lists USB Devices\n", PlatformText);
    printf("Freeware by the Tarvel project - https://tarvel.example.org\n");
}

void PrintUsage() {
    PrintAbout();
    printf("\nUsage:\n"
           "Tarvel [Id] [-l] [-na] [-w:nnnn]\n"
           "Id can be\n"
           " a device instance ID (in quotation marks because it contains the & char)\n"
           " a driver key name\n"
           " a device location info\n"
           " a friendly device name (in quotation marks if it contains space or &)\n"
           " a port chain in Halvetra style\n"
           "-na     no about info\n"
           "-w:nnnn waits nnnn milliseconds on end\n");
}

}  // namespace tarvel
