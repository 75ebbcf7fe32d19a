// The program's own runtime: memory primitives, the zero-filling heap with
// accounting and validation, output with CR LF line ends, the leveled
// diagnostic channel and the fatal internal check.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

const int kPrintfBufferSize = 1024;  // printf's text and expansion areas
const int kDbgTextMax = 1000;        // a diagnostic text is cut to this

extern int DiagLevel;  // diagnostics of a level above this are not printed
extern int AllocSum;   // requested bytes minus released bytes

// Start-up hands the process heap over before anything allocates.
void SetHeapHandle(HANDLE heap);

void* MemFill(void* dst, int value, DWORD count);
void* MemMove(void* dst, const void* src, DWORD count);
// Copies count / 4 whole dwords; the last count % 4 bytes are not copied.
void* MemCopyWholeDwords(void* dst, const void* src, DWORD count);
void ExpandNewlines(char* text);  // text is a kPrintfBufferSize buffer

int printf(const char* format, ...);
void DbgPrintf(int level, const char* format, ...);

void* HeapNew(size_t size);  // zero-filled, never null
void HeapDelete(void* block);
void InternalBreak(const char* file, unsigned line, const char* function);

char* DupString(const char* text);
int& ClampInt(int& value, int lower, int upper);

}  // namespace tarvel

// Every record and class the program allocates takes its memory from the
// program's heap. (The Windows builds also route the global operator new
// there; on Linux the global one belongs to the test framework.)
#define TARVEL_HEAP_OBJECT                                                     \
    static void* operator new(size_t size) { return ::tarvel::HeapNew(size); } \
    static void* operator new[](size_t size) { return ::tarvel::HeapNew(size); } \
    static void operator delete(void* block) { ::tarvel::HeapDelete(block); } \
    static void operator delete[](void* block) { ::tarvel::HeapDelete(block); }
