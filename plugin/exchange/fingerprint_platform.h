// The file services a fingerprint is read through: open, size, a read-only
// mapping and a view of the file's head. Kept apart so the fingerprint's
// rules read (and build) on their own.
#pragma once

#include <stdint.h>

// Opens an existing file for reading, letting others only read it meanwhile.
// Returns the file, or null with the system's error code in *error.
void* openFileForReading(const char* path, uint32_t* error);

// The low 32 bits of the file's size; 0xFFFFFFFF when the query fails.
uint32_t fileSizeLow(void* file);

// A read-only mapping of the whole file, or null (always for an empty file).
void* mapFileReadOnly(void* file);

// A view of the mapping's first length bytes, or null.
const unsigned char* viewHead(void* mapping, uint32_t length);

// Each returns non-zero on success.
int releaseView(const unsigned char* view);
int closeFileHandle(void* handle);
