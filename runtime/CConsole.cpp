// The console state of a run and the wait for a key at its end.
#include "runtime/CConsole.h"

#include "runtime/CRTreplace.h"

namespace tarvel {

CConsole* Console;

static const int kInputRecords = 1000;
// Alt, Ctrl and Shift state bits: a key pressed with one of them held
// does not end the wait.
static const DWORD kModifierStates = 0x1F;

static BOOL IsOemCodePage(UINT codePage) {
    CPINFOEXA info;
    MemFill(&info, 0, sizeof info);
    if (GetCPInfoExA(codePage, 0, &info)) return StrStrA(info.CodePageName, "(OEM ") != NULL;
    return codePage == 437 || (codePage >= 737 && codePage <= 869);
}

CConsole::CConsole() {
    MemFill(ExePath, 0, sizeof ExePath);
    GetModuleFileNameA(NULL, ExePath, MAX_PATH);
    ExePath[MAX_PATH - 1] = 0;
    SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);
    hStdOut = GetStdHandle(STD_OUTPUT_HANDLE);
    hStdIn = GetStdHandle(STD_INPUT_HANDLE);
    hStdErr = GetStdHandle(STD_ERROR_HANDLE);
    StdOutRedirected = GetFileType(hStdOut) != FILE_TYPE_CHAR;
    StdErrRedirected = GetFileType(hStdErr) != FILE_TYPE_CHAR;
    CodePage = StdOutRedirected ? GetACP() : GetConsoleOutputCP();
    OemCodePage = IsOemCodePage(CodePage);
    StdInIsConsole =
        SetConsoleMode(hStdIn, ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
    CONSOLE_SCREEN_BUFFER_INFO screen;
    MemFill(&screen, 0, sizeof screen);
    TextAttributes = GetConsoleScreenBufferInfo(hStdOut, &screen) ? screen.wAttributes : 0;
}

// Ctrl+C, Ctrl+Break and the session events must not cut a run short.
BOOL WINAPI CConsole::ConsoleCtrlHandler(DWORD eventType) {
    switch (eventType) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        return TRUE;
    default:
        return FALSE;
    }
}

bool IsModifierKey(KEY_EVENT_RECORD key) {
    return key.wVirtualKeyCode >= VK_SHIFT && key.wVirtualKeyCode <= VK_CAPITAL;
}

// The character of the first plain key press in a batch; 0 when that press
// has no character or there is none. Later records are not looked at.
static char FirstKey(const INPUT_RECORD* records, DWORD count) {
    for (DWORD i = 0; i < count; i++) {
        if (records[i].EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
        if (IsModifierKey(key) || !key.bKeyDown) continue;
        if (key.dwControlKeyState & kModifierStates) continue;
        return key.uChar.AsciiChar;
    }
    return 0;
}

// True when the wait ended because reading the input failed.
static bool ReadUntilKey(HANDLE input) {
    INPUT_RECORD* records =
        static_cast<INPUT_RECORD*>(HeapNew(kInputRecords * sizeof(INPUT_RECORD)));
    bool failed = false;
    for (;;) {
        Sleep(10);
        DWORD count = 0;
        if (!ReadConsoleInputA(input, records, kInputRecords, &count)) {
            failed = true;
            break;
        }
        if (count > kInputRecords) count = kInputRecords;
        if (FirstKey(records, count) != 0) break;
    }
    HeapDelete(records);
    return failed;
}

// Where Windows Terminal is the default terminal, a program started from
// Explorer runs in a pseudoconsole, whose window is the console host's and
// never visible, and its tab closes when the program ends. Alone on that
// console and reading keys from it, the program was started on its own.
static bool AloneInPseudoConsole(HWND window) {
    char name[32];  // room to spare: a longer name, cut, cannot match
    DWORD processes[2];
    return GetClassNameA(window, name, sizeof name) > 0 &&
           lstrcmpiA(name, "PseudoConsoleWindow") == 0 && GetConsoleProcessList(processes, 2) == 1;
}

void CConsole::Wait4KeyIfStartedStandalone() {
    DbgPrintf(4, "Wait4KeyIfStartedStandalone()");
    HWND window = GetConsoleWindow();
    if (IsWindowVisible(window)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        // Started from a command prompt: the window stays open anyway.
        if (owner != GetCurrentProcessId()) {
            Sleep(100);
            return;
        }
    } else if (!StdInIsConsole || !AloneInPseudoConsole(window)) {
        return;
    }
    Sleep(100);
    FlushConsoleInputBuffer(hStdIn);
    printf("Press any key to close");
    // Without a readable console the prompt would vanish at once; leave
    // it on screen for a moment.
    if (ReadUntilKey(hStdIn)) Sleep(2000);
    Sleep(100);
}

}  // namespace tarvel
