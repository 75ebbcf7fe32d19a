#include "usb/UsbText.h"

namespace tarvel {

namespace {

// Longest text a hub or the registry answers: a 2048-byte property.
const int kMaxUnits = 1024;
// A UTF-16 unit never takes more than this in any code page.
const int kBytesPerUnit = 4;

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

    // Converted first into room that always suffices, so that a text too
    // long for the field is cut rather than lost.
    char converted[kMaxUnits * kBytesPerUnit + 1];
    int length = 0;
    if (units > 0)
        length = WideCharToMultiByte(codePage, 0, wide, units, converted,
                                     (int)sizeof(converted) - 1, NULL, NULL);
    if (length < 0) length = 0;
    if (length > outSize - 1) length = outSize - 1;
    for (int i = 0; i < length; i++) out[i] = converted[i];
    out[length] = 0;
    return length;
}

void FailureText(char* field, int width, const char* name) {
    char text[1024];  // the formatter's largest output
    wsprintfA(text, "- (%s)", name);
    lstrcpynA(field, text, width);
}

}  // namespace tarvel
