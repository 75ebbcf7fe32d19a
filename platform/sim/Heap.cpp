// The process heap over malloc, with the bookkeeping that lets HeapSize be
// exact and HeapValidate notice overruns and bad releases.
#include <stdlib.h>
#include <string.h>

#include <unordered_map>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"

namespace tarvel::sim {
namespace {

HANDLE const kProcessHeap = (HANDLE)(uintptr_t)0x00500000;
const size_t kGuardSize = 16;
const unsigned char kGuardByte = 0xAB;
// Without HEAP_ZERO_MEMORY a block holds garbage, as on Windows; a fixed
// pattern makes a reliance on zeroes show.
const unsigned char kFreshByte = 0xBA;
const size_t kLargest = (size_t)1 << 31;

struct HeapState {
    std::unordered_map<unsigned char*, size_t> blocks;  // block -> requested size
    bool corrupt = false;  // a bad release was seen
};

HeapState& H() {
    static HeapState heap;
    return heap;
}

bool GuardIntact(const unsigned char* block, size_t size) {
    for (size_t i = 0; i < kGuardSize; ++i)
        if (block[size + i] != kGuardByte) return false;
    return true;
}

}  // namespace

// Blocks from an earlier run stay valid: the caller may still hold them.
void ResetHeap() { H().corrupt = false; }

size_t LiveHeapBlocks() { return H().blocks.size(); }

}  // namespace tarvel::sim

namespace tarvel {

using sim::H;

HANDLE GetProcessHeap() { return sim::kProcessHeap; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
    // Only zero-filling is simulated; serialization and exceptions are not.
    if (flags & ~(DWORD)HEAP_ZERO_MEMORY)
        sim::Fatal("HeapAlloc with flags other than HEAP_ZERO_MEMORY is not simulated");
    if (heap != sim::kProcessHeap || size >= sim::kLargest) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    unsigned char* block = (unsigned char*)malloc(size + sim::kGuardSize);
    if (!block) return nullptr;
    memset(block, (flags & HEAP_ZERO_MEMORY) ? 0 : sim::kFreshByte, size);
    memset(block + size, sim::kGuardByte, sim::kGuardSize);
    H().blocks[block] = size;
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    if (flags != 0) sim::Fatal("HeapFree with flags other than 0 is not simulated");
    if (!block) return TRUE;
    auto it = H().blocks.find((unsigned char*)block);
    if (heap != sim::kProcessHeap || it == H().blocks.end()) {
        H().corrupt = true;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!sim::GuardIntact(it->first, it->second)) H().corrupt = true;
    free(it->first);
    H().blocks.erase(it);
    return TRUE;
}

SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block) {
    if (flags != 0) sim::Fatal("HeapSize with flags other than 0 is not simulated");
    auto it = H().blocks.find((unsigned char*)block);
    if (heap != sim::kProcessHeap || it == H().blocks.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return (SIZE_T)-1;
    }
    return it->second;
}

BOOL HeapValidate(HANDLE heap, DWORD flags, LPCVOID block) {
    if (flags != 0) sim::Fatal("HeapValidate with flags other than 0 is not simulated");
    if (heap != sim::kProcessHeap || H().corrupt) return FALSE;
    if (block) {
        auto it = H().blocks.find((unsigned char*)block);
        return it != H().blocks.end() && sim::GuardIntact(it->first, it->second);
    }
    for (const auto& entry : H().blocks)
        if (!sim::GuardIntact(entry.first, entry.second)) return FALSE;
    return TRUE;
}

}  // namespace tarvel
