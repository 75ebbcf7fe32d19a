// What the compiler may call on its own in a program without a runtime
// library: the four memory routines it emits for struct copies and
// zero-fills, and the global allocation operators, which lead to the
// program heap so that nothing reaches the missing runtime.
// Built with -fno-tree-loop-distribute-patterns, or these loops would be
// turned back into calls to themselves.
#include "runtime/CRTreplace.h"

extern "C" {

void* memset(void* dst, int value, size_t count) {
    unsigned char* out = static_cast<unsigned char*>(dst);
    while (count--) *out++ = static_cast<unsigned char>(value);
    return dst;
}

void* memcpy(void* dst, const void* src, size_t count) {
    unsigned char* out = static_cast<unsigned char*>(dst);
    const unsigned char* in = static_cast<const unsigned char*>(src);
    while (count--) *out++ = *in++;
    return dst;
}

void* memmove(void* dst, const void* src, size_t count) {
    unsigned char* out = static_cast<unsigned char*>(dst);
    const unsigned char* in = static_cast<const unsigned char*>(src);
    if (out <= in || out >= in + count) return memcpy(dst, src, count);
    // Overlapping with the source ahead: copy from the end.
    while (count--) out[count] = in[count];
    return dst;
}

int memcmp(const void* a, const void* b, size_t count) {
    const unsigned char* left = static_cast<const unsigned char*>(a);
    const unsigned char* right = static_cast<const unsigned char*>(b);
    for (; count; --count, ++left, ++right)
        if (*left != *right) return *left < *right ? -1 : 1;
    return 0;
}

}  // extern "C"

// Deleting a null pointer is a no-op in C++; the program heap's own
// release does not expect one.
static void Release(void* block) {
    if (block) tarvel::HeapDelete(block);
}

void* operator new(size_t size) { return tarvel::HeapNew(size); }
void* operator new[](size_t size) { return tarvel::HeapNew(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
