// The Windows directory, where the log lives and "<WINDOWS>" points.
#pragma once

#include <windows.h>

// The directory into dir (size bytes). Returns the text's length, or 0 when
// the directory is unavailable or does not fit: the call answers the size it
// needs, not a length, when the buffer is too small.
inline unsigned readWindowsDirectory(char* dir, unsigned size)
{
    UINT length = GetWindowsDirectoryA(dir, size);
    return length < size ? length : 0;
}
