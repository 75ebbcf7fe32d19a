// Splits the command line by the program's own rules: only the space
// separates, a double quote toggles quoting, unescaped quotes are removed.
#include "runtime/CmdLine.h"

#include "runtime/CRTreplace.h"

namespace tarvel {

static char CmdLineBuffer[kCmdLineBufferSize];
static bool TooLong;

// Phase 1: cuts the trimmed line into arguments in place.
static int SplitArguments(char* line, int length, char* args[kMaxArgs]) {
    int count = 1;
    args[0] = line;
    bool quoted = line[0] == '"';
    for (int i = 1; i < length; i++) {
        if (quoted) {
            if (line[i] == '"') quoted = false;
            continue;
        }
        if (line[i] == ' ') {
            line[i] = 0;
            // The line is trimmed, so a run of spaces always ends before
            // the terminator and no empty argument is recorded.
            while (line[i + 1] == ' ') i++;
            i++;
            if (count < kMaxArgs) args[count++] = line + i;
        }
        if (line[i] == '"') quoted = true;
    }
    return count;
}

// Phase 2: removes every double quote not preceded by a backslash.
static void RemoveQuotes(char* arg) {
    int length = lstrlenA(arg);
    for (int k = 0; k < length;) {
        if (arg[k] == '"' && (k == 0 || arg[k - 1] != '\\')) {
            MemMove(arg + k, arg + k + 1, length - k);  // terminator included
            length--;
        } else {
            k++;
        }
    }
}

bool SplitCommandLine(int& count, char* args[kMaxArgs]) {
    count = 0;
    const char* line = GetCommandLineA();
    TooLong = lstrlenA(line) >= kCmdLineBufferSize;
    if (TooLong) {
        CmdLineBuffer[0] = 0;
        return false;
    }
    lstrcpyA(CmdLineBuffer, line);
    StrTrimA(CmdLineBuffer, " \t");
    int length = lstrlenA(CmdLineBuffer);
    if (length == 0) return true;
    count = SplitArguments(CmdLineBuffer, length, args);
    for (int i = 0; i < count; i++) RemoveQuotes(args[i]);
    return true;
}

bool CommandLineTooLong() { return TooLong; }

}  // namespace tarvel
