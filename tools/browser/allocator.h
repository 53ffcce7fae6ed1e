// The browser's allocator behind NPN_MemAlloc and NPN_MemFree: it counts
// what the plug-in takes and gives back, and catches blocks freed that it
// never handed out.
#pragma once

#include <stdint.h>

#include <string>

struct MemoryCount {
    long allocations = 0;
    long frees = 0;
    long liveBlocks = 0;
    unsigned long long liveBytes = 0;
    long foreignFrees = 0;  // frees of blocks not live from this allocator
};

// Each returns the transcript text of its result ("block #3 (280 bytes)").
void* countedAlloc(uint32_t size, std::string& described);
void countedFree(void* block, std::string& described);

const MemoryCount& memoryCount();
