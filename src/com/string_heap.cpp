#include "com/string_heap.h"

#include <windows.h>

namespace rastelle::com {

namespace {
HANDLE g_heap = nullptr;
volatile LONG g_liveBlocks = 0;

HANDLE Heap() { return g_heap ? g_heap : GetProcessHeap(); }
}  // namespace

bool CreateStringHeap() {
    g_heap = HeapCreate(0, 0x80000, 0);
    return g_heap != nullptr;
}

void DestroyStringHeap() {
    if (g_heap) HeapDestroy(g_heap);
    g_heap = nullptr;
}

void* StringHeapAlloc(std::size_t bytes) {
    void* block = HeapAlloc(Heap(), 0, bytes);
    if (block) InterlockedIncrement(&g_liveBlocks);
    return block;
}

void StringHeapFree(void* block) {
    if (!block) return;
    HeapFree(Heap(), 0, block);
    InterlockedDecrement(&g_liveBlocks);
}

long StringHeapLiveBlocks() { return g_liveBlocks; }

}  // namespace rastelle::com
