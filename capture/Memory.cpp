// The capture's arena: large blocks from the program heap, handed out in
// pieces and given back all at once, so that a machine of thousands of
// nodes costs a few dozen heap blocks.
#include <stdarg.h>

#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

// Under AddressSanitizer the unused rest of a block is poisoned, so that a
// piece written past its end is reported, not silently left for the next.
#if defined(__SANITIZE_ADDRESS__)
#define TARVEL_ARENA_POISON 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVEL_ARENA_POISON 1
#endif
#endif
#ifdef TARVEL_ARENA_POISON
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

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

void* Take(size_t requested) {
    size_t size = Aligned(requested ? requested : 1);
    const size_t head = Aligned(sizeof(Block));
    if (!Blocks || Blocks->Used + size > Blocks->Size) {
        size_t bytes = head + (size > kBlockSize ? size : kBlockSize);
        Block* block = static_cast<Block*>(HeapNew(bytes));  // zero-filled
        block->Next = Blocks;
        block->Used = head;
        block->Size = bytes;
        Blocks = block;
        ASAN_POISON_MEMORY_REGION(reinterpret_cast<char*>(block) + head, bytes - head);
    }
    void* piece = reinterpret_cast<char*>(Blocks) + Blocks->Used;
    Blocks->Used += size;
    ASAN_UNPOISON_MEMORY_REGION(piece, requested);
    return piece;
}

void ReleaseArena() {
    while (Blocks) {
        Block* next = Blocks->Next;
        ASAN_UNPOISON_MEMORY_REGION(Blocks, Blocks->Size);
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
