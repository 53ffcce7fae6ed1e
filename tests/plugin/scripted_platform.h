// A stand-in for the system services behind install locations and
// fingerprints, told in advance what to answer. It reaches the failures a
// real system gives only when it is broken (no system directory, a mapping
// refused for a file that has bytes, a handle that will not close) and
// counts the handles left open.
#pragma once

#include <stdint.h>

#include <string>

struct ScriptedPlatform {
    // Directories. The registry and the profile reader are left to the tests
    // under Wine: here the components key never opens.
    bool systemDirectoryFails = false;
    bool windowsDirectoryFails = false;

    // The one file there is: it always opens.
    uint32_t size = 0;
    std::string bytes;  // what a view shows
    bool mappingFails = false;
    bool viewFails = false;
    bool unmapFails = false;
    bool mappingCloseFails = false;
    bool fileCloseFails = false;
    uint32_t viewLength = 0;  // the length last asked of a view
    int handlesOpen = 0;
    int viewsOpen = 0;
};

// The one stand-in of the test program, reset to the defaults above.
ScriptedPlatform& resetPlatform();
