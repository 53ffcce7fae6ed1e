// The two lists of game titles that the pass fills for the summary: one
// title per line, each followed by a line feed.
#pragma once

#include <stddef.h>

// The line that ends a list which could take no more titles.
#define kListFullLine "...\n"

// Appends title and a line feed to `list` (capacity characters, terminator
// included). When that would leave no room for kListFullLine, the list ends
// with kListFullLine instead and takes no further titles, so a full list
// shows that games are missing from it.
void appendTitle(char* list, size_t capacity, const char* title);
