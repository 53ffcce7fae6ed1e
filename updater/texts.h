// The program's texts from its string table.
#pragma once

#include <stddef.h>

// Copies at most capacity - 1 characters of string `id` into `out` and
// terminates them; a missing string gives "".
void loadText(unsigned id, char* out, size_t capacity);
