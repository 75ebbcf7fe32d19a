// Output, diagnostics, the heap and the fatal internal check.
#include "runtime/CRTreplace.h"

namespace tarvel {

int DiagLevel = 0;
int AllocSum = 0;

static HANDLE Heap;
// One buffer for every diagnostic line: DbgPrintf must not allocate, since
// the heap itself reports through it.
static char DbgText[kPrintfBufferSize];

void SetHeapHandle(HANDLE heap) { Heap = heap; }

void ExpandNewlines(char* text) {
    char area[kPrintfBufferSize];
    int out = 0;
    for (int i = 0; text[i] != 0; i++) {
        bool addCr = text[i] == '\n' && (i == 0 || text[i - 1] != '\r');
        int need = addCr ? 2 : 1;
        // Keep room for the terminator; a CR LF pair is never split.
        if (out + need > kPrintfBufferSize - 1) break;
        if (addCr) area[out++] = '\r';
        area[out++] = text[i];
    }
    area[out] = 0;
    static_assert(kPrintfBufferSize % 4 == 0, "the copy below takes whole dwords only");
    MemCopyWholeDwords(text, area, kPrintfBufferSize);
}

static int WriteText(char* text, const char* format, va_list args) {
    text[0] = 0;
    int n = wvsprintfA(text, format, args);
    if (n >= kPrintfBufferSize) InternalBreak(__FILE__, __LINE__, "printf");
    ExpandNewlines(text);
    DWORD length = lstrlenA(text);
    DWORD written = 0;
    if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, NULL)) return -1;
    return static_cast<int>(written);
}

int printf(const char* format, ...) {
    char text[kPrintfBufferSize];
    va_list args;
    va_start(args, format);
    int result = WriteText(text, format, args);
    va_end(args);
    return result;
}

void DbgPrintf(int level, const char* format, ...) {
    if (level > DiagLevel) return;
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(DbgText, format, args);
    va_end(args);
    if (n > kDbgTextMax) DbgText[kDbgTextMax] = 0;
    printf(" %s\n", DbgText);
}

void InternalBreak(const char* file, unsigned line, const char* function) {
    DbgPrintf(1, "INT3 in %s line %u, function %s", file, line, function);
    Sleep(100);
    DebugBreak();
}

void* HeapNew(size_t size) {
    AllocSum += static_cast<int>(size);
    DbgPrintf(6, "new(%i) sum=%i", static_cast<int>(size), AllocSum);
    void* block = HeapAlloc(Heap, HEAP_ZERO_MEMORY, size);
    while (block == NULL) {
        // Callers never test for null: wait for memory instead of failing.
        DbgPrintf(1, "HeapAlloc(%u) failed", static_cast<unsigned>(size));
        Sleep(500);
        block = HeapAlloc(Heap, HEAP_ZERO_MEMORY, size);
    }
    if (!HeapValidate(Heap, 0, NULL)) {
        DbgPrintf(1, "HeapValidate after new failed");
        Beep(1000, 3000);
        InternalBreak(__FILE__, __LINE__, "operator new");
    }
    return block;
}

void HeapDelete(void* block) {
    if (block == NULL) return;
    if (!HeapValidate(Heap, 0, NULL)) {
        Beep(1000, 1000);
        InternalBreak(__FILE__, __LINE__, "operator delete");
    }
    int size = static_cast<int>(HeapSize(Heap, 0, block));
    AllocSum -= size;
    DbgPrintf(6, "delete(%i) sum=%i", size, AllocSum);
    HeapFree(Heap, 0, block);
    if (!HeapValidate(Heap, 0, NULL)) {
        DbgPrintf(1, "HeapValidate after delete failed");
        Beep(1000, 1000);
        InternalBreak(__FILE__, __LINE__, "operator delete");
    }
}

char* DupString(const char* text) {
    int length = text ? lstrlenA(text) : 0;
    char* copy = static_cast<char*>(HeapNew(length + 1));
    if (length > 0) lstrcpyA(copy, text);
    return copy;
}

}  // namespace tarvel
