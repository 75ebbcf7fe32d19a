// Short names for Win32 error codes, CONFIGRET codes and operation results.
// The texts are constants or rotating buffers: format them at once.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

const char* GetErrorName(DWORD code);
const char* GetLastErrorName();
const char* GetCrName(CONFIGRET code);
const char* GetResultText(int result);

// Guards the rotation of GetResultText's buffers; the program flow
// initialises it at start and deletes it at the end.
extern CRITICAL_SECTION ResultTextLock;

}  // namespace tarvel
