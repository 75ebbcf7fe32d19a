// Texts of a capture: the system's UTF-16 and ANSI answers as UTF-8, the
// ANSI form of a name as the walk opens it, and path comparison.
#pragma once
#include "capture/Model.h"

namespace tarvel::capture {

// UTF-16 up to its terminator, at most units characters.
Text WideText(const WCHAR* wide, int units);
// Exactly length units, zeros included.
Text WideUnits(const WCHAR* wide, int length);
// ANSI code page bytes, all length of them.
Text AnsiText(Machine& m, const char* bytes, int length);
Text FailedText(DWORD code);
// Forgets what an earlier capture in this process learnt of the code page.
void ResetTexts();
// A copy of a zero-terminated text in the arena.
char* CopyString(const char* text);
// prefix, then the UTF-16 text in the ANSI code page, zero-terminated.
char* AnsiPath(const char* prefix, const WCHAR* wide, int units);
// Whether two device paths name the same device: compared without case
// from their fifth character on, so that "\\.\" and "\\?\" do not matter.
bool SameDevicePath(const char* a, const char* b);
bool SameText(const Text& a, const Text& b);
// Whether the text begins with "Port_#" and the port number in four digits.
bool NamesPort(const Text& location, int port);

}  // namespace tarvel::capture
