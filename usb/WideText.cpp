#include "usb/UsbText.h"

#include "runtime/CRTreplace.h"

namespace tarvel {

namespace {

// Longest text a hub or the registry answers: a 2048-byte property.
const int kMaxUnits = 1024;

}  // namespace

int NameUnits(ULONG actualLength, DWORD areaSize, DWORD fixedPart) {
    ULONG bytes = actualLength < areaSize ? actualLength : areaSize;
    if (bytes <= fixedPart) return 0;
    return (int)((bytes - fixedPart) / sizeof(WCHAR));
}

int WideToText(UINT codePage, const WCHAR* wide, int maxUnits, char* out, int outSize) {
    if (outSize <= 0) return 0;
    if (maxUnits > kMaxUnits) maxUnits = kMaxUnits;
    int units = 0;
    while (units < maxUnits && wide[units] != 0) units++;

    // One character at a time straight into the field: a character that
    // does not fit fails, and the text ends before it, never inside a
    // double-byte character or a UTF-8 sequence. A pair goes together, as
    // UTF-8 writes it as one character.
    int length = 0;
    for (int i = 0; i < units && length < outSize - 1;) {
        int step = i + 1 < units && wide[i] >= 0xD800 && wide[i] < 0xDC00 &&
                           wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000
                       ? 2
                       : 1;
        int n = WideCharToMultiByte(codePage, 0, wide + i, step, out + length,
                                    outSize - 1 - length, NULL, NULL);
        if (n <= 0) break;
        length += n;
        i += step;
    }
    out[length] = 0;
    return length;
}

// Out of line: the walk and the root-hub read share one copy, which keeps
// tarvel.exe inside its size.
__attribute__((noinline)) void InitPathArea(char* area) {
    MemFill(area, 0, kPathAreaSize);
    lstrcpyA(area, "\\\\.\\");
}

void FailureText(char* field, int width, const char* name) {
    char text[1024];  // the formatter's largest output
    wsprintfA(text, "- (%s)", name);
    lstrcpynA(field, text, width);
}

}  // namespace tarvel
