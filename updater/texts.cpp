// Loading the string table of the program's own resources.
#include "texts.h"

#include <windows.h>

#include "run_state.h"

void loadText(unsigned id, char* out, size_t capacity)
{
    if (capacity == 0)
        return;
    int room = capacity > 0x7fffffff ? 0x7fffffff : int(capacity);
    if (LoadStringA(static_cast<HINSTANCE>(runState.instance), id, out, room) <= 0)
        out[0] = '\0';
}
