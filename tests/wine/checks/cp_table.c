/* Every UTF-16 unit through WideCharToMultiByte (flags 0), every byte and
   lead-trail pair through MultiByteToWideChar, and GetCPInfoExA, for each
   code page, as text lines into the file argv[1]. Built for Windows and,
   as C++, against the simulated machine: the two files must be equal. */
#ifdef _WIN32
#include <windows.h>
#else
#include <string>

#include "platform/sim/Sim.h"
#include "platform/sim/WinApi.h"
using namespace tarvel;
#endif
#include <stdio.h>

static const unsigned kPages[] = {437,  850,  852,  866,  874,  932,  936,  949,  950,  1250,
                                  1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001};

static void ToWide(FILE* out, UINT cp, const char* bytes, int n) {
    WCHAR wide[8];
    int got = MultiByteToWideChar(cp, 0, bytes, n, wide, 8);
    if (got <= 0) fprintf(out, " -");
    for (int i = 0; i < got; i++) fprintf(out, "%s%04x", i ? "+" : " ", wide[i]);
}

/* Says why: the harness takes a silent exit 1 for Wine failing to start. */
static int Fail(const char* why) {
    fprintf(stderr, "cp_table: %s\n", why);
    return 1;
}

int main(int argc, char** argv) {
#ifndef _WIN32
    std::string error;
    if (!sim::LoadMachineJson("{}", error)) return Fail("no machine");
#endif
    FILE* out = argc > 1 ? fopen(argv[1], "w") : NULL;
    if (!out) return Fail("cannot write the file");
    for (unsigned p = 0; p < sizeof kPages / sizeof kPages[0]; p++) {
        UINT cp = kPages[p];
        CPINFOEXA info;
        if (!GetCPInfoExA(cp, 0, &info)) return Fail("GetCPInfoExA failed");
        fprintf(out, "cp %u %u ", cp, info.MaxCharSize);
        for (int i = 0; i < MAX_LEADBYTES; i++) fprintf(out, "%02x", info.LeadByte[i]);
        fprintf(out, " %s\n", info.CodePageName);
        for (unsigned block = 0; block < 0x10000; block += 0x100) {
            fprintf(out, "w %04x:", block);
            for (unsigned u = block; u < block + 0x100; u++) {
                WCHAR unit = (WCHAR)u;
                char bytes[8];
                int n = WideCharToMultiByte(cp, 0, &unit, 1, bytes, 8, NULL, NULL);
                fprintf(out, n > 0 ? " " : " -");
                for (int i = 0; i < n; i++) fprintf(out, "%02x", (unsigned char)bytes[i]);
            }
            fprintf(out, "\n");
        }
        fprintf(out, "m:");
        for (unsigned b = 0; b < 0x100; b++) {
            char byte = (char)b;
            ToWide(out, cp, &byte, 1);
        }
        fprintf(out, "\n");
        for (int r = 0; r < MAX_LEADBYTES && info.LeadByte[r]; r += 2)
            for (unsigned lead = info.LeadByte[r]; lead <= info.LeadByte[r + 1]; lead++) {
                fprintf(out, "m %02x:", lead);
                for (unsigned trail = 0; trail < 0x100; trail++) {
                    char pair[2] = {(char)lead, (char)trail};
                    ToWide(out, cp, pair, 2);
                }
                fprintf(out, "\n");
            }
    }
    return fclose(out) != 0;
}
