// A registry property of a device node as the listing shows it.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

// The property in the console's code page (the ANSI one when output is
// redirected), cut to width bytes; false, with "- (code)" in field, when
// the node does not answer it.
bool ReadNodeProperty(DEVINST node, ULONG property, char* field, int width);

}  // namespace tarvel
