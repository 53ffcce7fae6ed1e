// The parts of the Wine prefix that the tests set up: the service's registry
// key and INI file, a game's files and a stand-in launcher.
#pragma once

#include "fake_browser.h"

// "C:\vk system" with the stand-in vkclient.exe; iTestGame in "C:\vk game"
// with a.exe ("abc"), "b dat" (2000 times "a") and empty.dat; iNoStart without
// StartIn, iEmptyStart with an empty one; the tests' server kTestServer the
// one trusted server. Gone before and after, with all of
// HKLM\Software\Velkor Games Online.
struct InstalledService {
    InstalledService();
    ~InstalledService();
    // Stores bytes under name in the components key, creating it; a string
    // (REG_SZ, 1) with its terminator, any other type exactly.
    void setValue(const char* name, const std::string& bytes, unsigned long type = 1);
    void removeKey();                        // the components key, values and all
    // TrustedServers under the plug-in's key, stored as setValue stores; the
    // key without it; no key at all.
    void trustServers(const std::string& bytes, unsigned long type = 1);
    void trustNoValue();
    void trustAnyServer();  // in both registry views
    // The list as a string in the registry view of the other width only.
    void trustServersInOtherView(const std::string& text);
    void writeIni(const std::string& text);  // "" removes the file
    std::string iniPath;
};

// The command line and working directory of the one start the stand-in
// recorded, waited for a few seconds; what it recorded when it was not one.
Lines waitForLaunch();
