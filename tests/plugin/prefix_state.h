// The parts of the Wine prefix that the tests set up: the service's registry
// key and INI file, and a whole installed service with a stand-in launcher.
#pragma once

#include "fake_browser.h"

// HKLM\Software\Velkor Games Online and velkorgo.ini, cleared before and after.
struct ServiceGuard {
    ServiceGuard();
    ~ServiceGuard();
    // Stores bytes under name in the components key exactly, creating it.
    void setValue(const char* name, const std::string& bytes, unsigned long type);
    void setString(const char* name, const std::string& text);  // with its terminator
    void removeKey();                        // the components key, values and all
    void writeIni(const std::string& text);  // "" removes the file
    std::string iniPath;
};

// The components in "C:\vk system" with the stand-in vkclient.exe; the game
// iTestGame in "C:\vk game" with a.exe ("abc"), "b dat" (2000 times "a") and
// empty.dat; the game iNoStart without StartIn, iEmptyStart with an empty one.
struct InstalledService : ServiceGuard {
    InstalledService();
    ~InstalledService();
};

// The command line and working directory the stand-in last reported; empty
// when no report came within a few seconds.
Lines waitForLaunch();
