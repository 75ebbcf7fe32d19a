// The capture's arena: large blocks from the program heap, handed out in
// pieces and given back all at once, so that a machine of thousands of
// nodes costs a few dozen heap blocks.
#include <stdarg.h>

#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

const size_t kBlockSize = 256 * 1024;

struct Block {
    Block* Next;
    size_t Used, Size;
};

Block* Blocks;

size_t Aligned(size_t size) { return (size + 15) & ~size_t(15); }

}  // namespace

void* Take(size_t size) {
    size = Aligned(size ? size : 1);
    const size_t head = Aligned(sizeof(Block));
    if (!Blocks || Blocks->Used + size > Blocks->Size) {
        size_t bytes = head + (size > kBlockSize ? size : kBlockSize);
        Block* block = static_cast<Block*>(HeapNew(bytes));  // zero-filled
        block->Next = Blocks;
        block->Used = head;
        block->Size = bytes;
        Blocks = block;
    }
    void* piece = reinterpret_cast<char*>(Blocks) + Blocks->Used;
    Blocks->Used += size;
    return piece;
}

void ReleaseArena() {
    while (Blocks) {
        Block* next = Blocks->Next;
        HeapDelete(Blocks);
        Blocks = next;
    }
}

void Note(Machine& m, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    wvsprintfA(text, format, args);
    va_end(args);
    m.Notes.Add() = CopyString(text);
}

char* CopyString(const char* text) {
    int length = lstrlenA(text);
    char* copy = static_cast<char*>(Take(length + 1));
    MemMove(copy, text, length);
    return copy;
}

}  // namespace tarvel::capture
