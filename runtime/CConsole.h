// What the program knows about its console, and the wait for a key.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

class CConsole {
public:
    CConsole();

    char ExePath[MAX_PATH];
    BOOL StdOutRedirected;
    BOOL StdErrRedirected;
    UINT CodePage;
    BOOL OemCodePage;
    HANDLE hStdOut;
    HANDLE hStdIn;
    HANDLE hStdErr;
    BOOL StdInIsConsole;  // keys can be read from standard input
    WORD TextAttributes;

    void Wait4KeyIfStartedStandalone();
    static BOOL WINAPI ConsoleCtrlHandler(DWORD eventType);
};

bool IsModifierKey(KEY_EVENT_RECORD key);

// The run's one console state, published by the program flow.
extern CConsole* Console;

}  // namespace tarvel
