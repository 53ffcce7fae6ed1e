// The counting allocator: malloc underneath, a table of live blocks on top.
// Blocks are numbered in order of handing out so the transcript can say
// which block a free gives back.
#include "allocator.h"

#include <stdlib.h>
#include <string.h>

#include <map>

struct Block {
    long number;
    uint32_t size;
};

static std::map<void*, Block> live;
static MemoryCount count;

void* countedAlloc(uint32_t size, std::string& described)
{
    // A zero-byte request still gets a distinct block, as browsers give.
    void* block = malloc(size ? size : 1);
    if (!block) {
        described = "null (out of memory)";
        return nullptr;
    }
    // A pattern instead of zeros, so reliance on cleared memory shows.
    memset(block, 0xA5, size);
    count.allocations++;
    count.liveBlocks++;
    count.liveBytes += size;
    live[block] = Block{count.allocations, size};
    described = "block #" + std::to_string(count.allocations) + " (" + std::to_string(size) + " bytes)";
    return block;
}

void countedFree(void* block, std::string& described)
{
    if (!block) {
        described = "null pointer, nothing freed";
        return;
    }
    auto found = live.find(block);
    if (found == live.end()) {
        count.foreignFrees++;
        described = "ERROR: not a live block from NPN_MemAlloc; not freed";
        return;
    }
    described = "block #" + std::to_string(found->second.number) + " (" +
                std::to_string(found->second.size) + " bytes)";
    count.frees++;
    count.liveBlocks--;
    count.liveBytes -= found->second.size;
    live.erase(found);
    free(block);
}

const MemoryCount& memoryCount()
{
    return count;
}
