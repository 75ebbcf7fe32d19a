// Conversions of the UTF-16 texts that hubs and device nodes answer. The
// answers are not trusted: a length may exceed the area that holds the text
// and the text may lack its terminator, so the conversions never read past
// the given count nor write past the given field.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

// A device path area: "\\.\" and 256 bytes for the name.
const int kPathAreaSize = 260;
const int kPathPrefixLength = 4;

// Clears a path area and writes the prefix, ready for a name after it.
void InitPathArea(char* area);

// Wide characters of a name answer that lie inside its area: the answer's
// ActualLength (bytes of the whole structure) limited to the area, less the
// fixed part before the name.
int NameUnits(ULONG actualLength, DWORD areaSize, DWORD fixedPart);

// Converts the text at wide, up to its terminator but at most maxUnits
// characters, into out (outSize bytes, terminator included). A text that
// does not fit is cut. Returns the length of the result.
int WideToText(UINT codePage, const WCHAR* wide, int maxUnits, char* out, int outSize);

// Writes "- (name)" into field, cut to width bytes: the text of a field whose
// reading failed.
void FailureText(char* field, int width, const char* name);

}  // namespace tarvel
