// Real files of the host that a program on the simulated machine creates.
#pragma once
#include "platform/Platform.h"

namespace tarvel::sim {

HANDLE CreateHostFile(const char* path);  // traced like any CreateFileA
bool IsHostFile(HANDLE handle);
BOOL WriteHostFile(HANDLE handle, const void* data, DWORD size, DWORD* written);
bool CloseHostFile(HANDLE handle);  // false: no such file
size_t LiveHostFiles();

}  // namespace tarvel::sim
