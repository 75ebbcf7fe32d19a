// The console: standard handles, their file types, output, input records,
// the console window and control handlers.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"
#include "platform/sim/SimFiles.h"

namespace tarvel::sim {
namespace {

HANDLE const kStdIn = (HANDLE)(uintptr_t)0x50;
HANDLE const kStdOut = (HANDLE)(uintptr_t)0x54;
HANDLE const kStdErr = (HANDLE)(uintptr_t)0x58;
HWND const kConsoleWindow = (HWND)(uintptr_t)0x000A0B2C;
const DWORD kOtherProcessId = 0x1A2C;
const DWORD kConsoleThreadId = 0x2B3C;
// The input mode a console starts with on Windows 10: the program's own
// mode (7) plus mouse, insert, quick edit, extended flags and auto position.
const DWORD kStartInputMode = 0x01F7;

struct ConsoleState {
    size_t batch = 0;    // the next input batch
    size_t record = 0;   // the next record in it
    std::vector<PHANDLER_ROUTINE> handlers;
    bool ignoreCtrlC = false;
    DWORD inputMode = kStartInputMode;
};

ConsoleState& C() {
    static ConsoleState state;
    return state;
}

DWORD TypeOf(const std::string& kind, int fd) {
    if (kind == "console" || kind == "nul") return FILE_TYPE_CHAR;
    if (kind == "file") return FILE_TYPE_DISK;
    if (kind == "pipe") return FILE_TYPE_PIPE;
    if (isatty(fd)) return FILE_TYPE_CHAR;
    struct stat st;
    if (fstat(fd, &st) != 0) return FILE_TYPE_UNKNOWN;
    return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ? FILE_TYPE_PIPE : FILE_TYPE_DISK;
}

bool StdinIsConsole(HANDLE handle) {
    if (handle == kStdIn && Current().console.stdin_type == "console") return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

void FillRecord(const InputRecord& in, INPUT_RECORD& out) {
    memset(&out, 0, sizeof out);
    if (in.type == "key") {
        out.EventType = KEY_EVENT;
        out.Event.KeyEvent.bKeyDown = in.down ? TRUE : FALSE;
        out.Event.KeyEvent.wRepeatCount = 1;
        out.Event.KeyEvent.wVirtualKeyCode = (WORD)in.vk;
        out.Event.KeyEvent.uChar.AsciiChar = (CHAR)in.ch;
        out.Event.KeyEvent.dwControlKeyState = in.state;
    } else if (in.type == "focus") {
        out.EventType = FOCUS_EVENT;
        out.Event.FocusEvent.bSetFocus = TRUE;
    } else if (in.type == "menu") {
        out.EventType = MENU_EVENT;
    } else if (in.type == "mouse") {
        out.EventType = MOUSE_EVENT;
    } else {
        out.EventType = WINDOW_BUFFER_SIZE_EVENT;
        out.Event.WindowBufferSizeEvent.dwSize = {120, 30};
    }
}

}  // namespace

void ResetConsole() {
    C().batch = 0;
    C().record = 0;
    C().handlers.clear();
    C().ignoreCtrlC = false;
    C().inputMode = kStartInputMode;
}

DWORD ConsoleInputMode() { return C().inputMode; }

bool RaiseCtrlEvent(unsigned type) {
    if (type == CTRL_C_EVENT && C().ignoreCtrlC) return true;
    for (size_t i = C().handlers.size(); i-- > 0;)
        if (C().handlers[i]((DWORD)type)) return true;
    return false;
}

}  // namespace tarvel::sim

namespace tarvel {

using namespace sim;

HANDLE GetStdHandle(DWORD which) {
    if (which == STD_INPUT_HANDLE) return sim::kStdIn;
    if (which == STD_OUTPUT_HANDLE) return sim::kStdOut;
    if (which == STD_ERROR_HANDLE) return sim::kStdErr;
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
}

DWORD GetFileType(HANDLE file) {
    const ConsoleSection& console = Current().console;
    if (file == sim::kStdOut) return TypeOf(console.stdout_type, 1);
    if (file == sim::kStdErr) return TypeOf(console.stderr_type, 2);
    if (file == sim::kStdIn)
        return console.stdin_type == "console" ? FILE_TYPE_CHAR : FILE_TYPE_PIPE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
}

// The file type only tells the program what it writes to; the bytes always
// reach the process's real output, even for "nul", so tests can see them.
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
    if (sim::IsHostFile(file)) return sim::WriteHostFile(file, data, size, written);
    if (written) *written = 0;
    if ((file != sim::kStdOut && file != sim::kStdErr) || (!data && size)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (file == sim::kStdOut)
        WriteStdout((const char*)data, size);
    else
        for (DWORD done = 0; done < size;) {
            ssize_t n = write(2, (const char*)data + done, size - done);
            if (n <= 0) break;
            done += (DWORD)n;
        }
    if (written) *written = size;
    return TRUE;
}

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
    auto& handlers = sim::C().handlers;
    if (!handler) {
        sim::C().ignoreCtrlC = add != FALSE;
        return TRUE;
    }
    if (add) {
        handlers.push_back(handler);
        return TRUE;
    }
    for (size_t i = handlers.size(); i-- > 0;)
        if (handlers[i] == handler) {
            handlers.erase(handlers.begin() + (long)i);
            return TRUE;
        }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL SetConsoleMode(HANDLE console, DWORD mode) {
    if (!StdinIsConsole(console)) return FALSE;
    sim::C().inputMode = mode;
    return TRUE;
}

BOOL GetConsoleMode(HANDLE console, LPDWORD mode) {
    if (!StdinIsConsole(console) || !mode) return FALSE;
    *mode = sim::C().inputMode;
    return TRUE;
}

BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) {
    const auto& attributes = Current().console.screen_attributes;
    if ((console != sim::kStdOut && console != sim::kStdErr) || !attributes || !info) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    info->dwSize = {120, 9001};
    info->dwCursorPosition = {0, 0};
    info->wAttributes = (WORD)*attributes;
    info->srWindow = {0, 0, 119, 29};
    info->dwMaximumWindowSize = {120, 63};
    return TRUE;
}

HWND GetConsoleWindow() {
    return Current().console.window == "none" ? nullptr : sim::kConsoleWindow;
}

BOOL IsWindowVisible(HWND window) {
    if (!window || window != GetConsoleWindow()) return FALSE;
    const std::string& kind = Current().console.window;
    return kind == "hidden" || kind == "pseudo" ? FALSE : TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    if (!window || window != GetConsoleWindow()) {
        SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return 0;
    }
    if (processId)
        *processId = Current().console.window == "own" ? GetCurrentProcessId()
                                                        : sim::kOtherProcessId;
    return sim::kConsoleThreadId;
}

// A pseudoconsole's window is the console host's own, of a class of its
// own; every other console window is the classic console's. A name that
// does not fit is cut to the area, as user32 does.
int GetClassNameA(HWND window, LPSTR name, int size) {
    if (!window || window != GetConsoleWindow()) {
        SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return 0;
    }
    if (!name || size <= 0) return 0;
    const char* cls =
        Current().console.window == "pseudo" ? "PseudoConsoleWindow" : "ConsoleWindowClass";
    int length = std::min(int(strlen(cls)), size - 1);
    memcpy(name, cls, size_t(length));
    name[length] = '\0';
    return length;
}

// This process first, then the others attached. An area too small for all
// of them is left as it was, and the count needed is answered.
DWORD GetConsoleProcessList(LPDWORD list, DWORD count) {
    if (!list || count == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD attached = Current().console.processes;
    if (count < attached) return attached;
    list[0] = GetCurrentProcessId();
    for (DWORD i = 1; i < attached; i++) list[i] = sim::kOtherProcessId + i - 1;
    return attached;
}

// The input batches stand for keys pressed after the program flushed, so
// flushing leaves them in place.
BOOL FlushConsoleInputBuffer(HANDLE input) { return StdinIsConsole(input) ? TRUE : FALSE; }

BOOL ReadConsoleInputA(HANDLE input, PINPUT_RECORD buffer, DWORD length, LPDWORD read) {
    if (!StdinIsConsole(input)) return FALSE;
    const auto& batches = Current().console.input;
    auto& state = sim::C();
    if (state.batch >= batches.size() || !buffer || !read) {
        // A real console would block forever here; the simulator ends the wait.
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const auto& batch = batches[state.batch];
    DWORD n = 0;
    for (; n < length && state.record < batch.size(); ++n)
        FillRecord(batch[state.record++], buffer[n]);
    if (state.record >= batch.size()) {
        ++state.batch;
        state.record = 0;
    }
    *read = n;
    return TRUE;
}

}  // namespace tarvel
