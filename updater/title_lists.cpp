// Appending to the summary's title lists without ever writing past them.
#include "title_lists.h"

#include <string.h>

void appendTitle(char* list, size_t capacity, const char* title)
{
    const size_t fullLen = sizeof kListFullLine - 1;
    if (capacity < fullLen + 1)
        return;
    size_t used = strnlen(list, capacity - 1);
    if (used >= fullLen && memcmp(list + used - fullLen, kListFullLine, fullLen) == 0)
        return;  // already full: later titles would hide the gap

    size_t titleLen = strlen(title);
    // Every title leaves room for the full line behind it.
    if (used + titleLen + 1 + fullLen + 1 <= capacity) {
        memcpy(list + used, title, titleLen);
        list[used + titleLen] = '\n';
        list[used + titleLen + 1] = '\0';
    } else if (used + fullLen + 1 <= capacity) {
        memcpy(list + used, kListFullLine, fullLen + 1);
    }
}
