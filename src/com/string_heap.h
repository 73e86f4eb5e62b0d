// A private heap for the system's internal string buffers, created when the
// module loads and destroyed when it unloads.
#pragma once

#include <cstddef>

namespace rastelle::com {

bool CreateStringHeap();
void DestroyStringHeap();
// Falls back on the process heap while the private heap is missing.
void* StringHeapAlloc(std::size_t bytes);
void StringHeapFree(void* block);
// Blocks handed out and not yet freed.
long StringHeapLiveBlocks();

}  // namespace rastelle::com
