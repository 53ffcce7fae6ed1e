// Walking the section list of the service INI file.
#include "section_names.h"

int countSectionNames(const char* list, int length)
{
    int count = 0;
    for (int i = 0; i < length; ++i)
        if (list[i] == '\0')
            ++count;
    return count;
}

int sectionNameAt(const char* list, int length, int n)
{
    // Step by position, not by empty names: a section written "[]" gives an
    // empty name, and the names behind it still count.
    int at = 0;
    for (int name = 1; name < n && at < length; ++name) {
        while (at < length && list[at] != '\0')
            ++at;
        ++at;  // over the name's zero
    }
    return at < length ? at : length;
}

int nthSectionName(const char* list, int length, int n, char* out, size_t outSize)
{
    int at = sectionNameAt(list, length, n);
    size_t copied = 0;
    while (at < length && list[at] != '\0' && copied + 1 < outSize) {
        char c = list[at++];
        out[copied++] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    if (outSize > 0)
        out[copied] = '\0';
    return 1;
}
