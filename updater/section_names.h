// The service INI file's section list as the profile service returns it:
// every name followed by a zero, the list closed by a second zero.
#pragma once

#include <stddef.h>

// The number of zeros among the first `length` characters of `list`, which
// is the number of names when `length` leaves out only the closing zero.
int countSectionNames(const char* list, int length);

// Where name number n (counted from 1; n below 2 gives the first) of the
// first `length` characters of `list` begins; `length` when the list has
// fewer names.
int sectionNameAt(const char* list, int length, int n);

// Copies name number n (counted from 1; n below 2 gives the first) of the
// first `length` characters of `list` into `out`, lower-cased (ASCII A to Z
// only). `out` becomes empty when the list has fewer names. A name longer
// than outSize - 1 is cut. Returns 1.
int nthSectionName(const char* list, int length, int n, char* out, size_t outSize);
