// The Windows directory, where the log lives and "<WINDOWS>" points.
#pragma once

#include <windows.h>

// Into dir (size bytes): its length, or 0 when unavailable or too long (the
// call then answers the size it needs, and dir holds no directory).
inline unsigned readWindowsDirectory(char* dir, unsigned size)
{
    UINT length = GetWindowsDirectoryA(dir, size);
    return length < size ? length : 0;
}
